// The drop targets by the data they take: files (TDropFileTarget), text (TDropTextTarget) and
// nothing at all (TDropDummy, which accepts every drag and leaves the effect to OnDragOver).
#pragma once

#include "droptarget.h"
#include "vcl/string_list.h"

#include <string>

// Takes the local files of a file list. Files holds their absolute paths in drop order while
// OnDrop runs (and after PasteFromClipboard); a drag that names no local file is refused.
class TDropFileTarget : public TDropTarget {
public:
    using TDropTarget::TDropTarget;

    // Files := the clipboard's local files (emptied when it has none); the effect the clipboard
    // prefers, copy when it says nothing, 0 when there are no files.
    int PasteFromClipboard() override;

    vcl::TStringList Files;
    // Names that a source maps the dropped files to; no source of this desktop supplies them,
    // so it stays empty.
    vcl::TStringList MappedNames;

protected:
    bool DoGetData() override;
    void ClearData() override;
    bool HasValidFormats(const vcl::TDragData& data) const override;
};

// Takes plain text into Text.
class TDropTextTarget : public TDropTarget {
public:
    using TDropTarget::TDropTarget;

    // Text := the clipboard's text; copy, or 0 (and Text empty) when it has none.
    int PasteFromClipboard() override;

    std::string Text;

protected:
    bool DoGetData() override;
    void ClearData() override;
    bool HasValidFormats(const vcl::TDragData& data) const override;
};

// Accepts every drag and takes no data: OnDrop runs only with GetDataOnEnter.
class TDropDummy : public TDropTarget {
public:
    using TDropTarget::TDropTarget;

protected:
    bool DoGetData() override { return false; }
    void ClearData() override {}
    bool HasValidFormats(const vcl::TDragData&) const override { return true; }
};
