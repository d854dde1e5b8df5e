// Drag and drop and the clipboard for drop targets: a control's drag events handed to a sink in
// the form layer's terms, and what a drag or the clipboard holds (local files, text, whether the
// files were cut or copied), read from the formats of the desktop: text/uri-list, text/plain,
// x-special/gnome-copied-files and application/x-kde-cutselection.
#pragma once

#include "vcl/control.h"

#include <string>
#include <vector>

class QMimeData;

namespace vcl {

// Drop effects: what a drag source offers and a target answers. The scroll bit tells that the
// target scrolls under the cursor; the toolkit never sees it.
inline constexpr int DROPEFFECT_NONE = 0;
inline constexpr int DROPEFFECT_COPY = 1;
inline constexpr int DROPEFFECT_MOVE = 2;
inline constexpr int DROPEFFECT_LINK = 4;
inline constexpr int DROPEFFECT_SCROLL = static_cast<int>(0x80000000u);

// What a drag carries or the clipboard holds, read once when asked for.
struct TDragData {
    // The data offers a file list.
    bool hasFileList = false;
    // Its local files as absolute host paths, in the list's order; entries that name no local
    // file (another scheme, another host, a relative name) are left out.
    std::vector<std::string> files;
    bool hasText = false;
    std::string text; // UTF-8
    // DROPEFFECT_MOVE when the source marked the files as cut, DROPEFFECT_COPY when it marked
    // them as copied, DROPEFFECT_NONE when it says nothing.
    int preferredEffect = DROPEFFECT_NONE;
};

// Receives the drag events of one control. Points are in the coordinates of the control's view
// (the viewport of a scrolling control, which its hit tests such as GetItemAt take), else of the
// control.
class TDropSink {
public:
    virtual ~TDropSink() = default;
    // Each returns the effect answered to the source (DROPEFFECT_NONE refuses).
    virtual int DragEnter(const TDragData& data, TShiftState shift, TPoint point, int offered) = 0;
    virtual int DragOver(TShiftState shift, TPoint point, int offered) = 0;
    virtual void DragLeave() = 0;
    virtual int Drop(const TDragData& data, TShiftState shift, TPoint point, int offered) = 0;
    // The control is being destroyed; its registration is gone with it.
    virtual void ControlDestroyed() = 0;
};

// Makes sink the drop target of control. False when control is null or has a drop target
// already: a control has one at most.
bool RegisterDropTarget(TWinControl* control, TDropSink* sink);
// Takes the drop target away; false when control has none.
bool RevokeDropTarget(TWinControl* control);

// What the clipboard holds now.
TDragData ClipboardData();
// What the given data of a drag or the clipboard holds (none for null).
TDragData DragDataOf(const QMimeData* mime);

// The part of a control that drags move over (the viewport of a scrolling control) and the
// scroll bars it shows.
struct TDropArea {
    int width = 0;
    int height = 0;
    bool horizontalBar = false;
    bool verticalBar = false;
};
TDropArea DropAreaOf(const TWinControl* control);
// Scrolls a control by one line: dx and dy of -1 (left, up), 0 or 1 (right, down).
void ScrollDropArea(TWinControl* control, int dx, int dy);

} // namespace vcl
