#include "droptarget_kinds.h"

// ---- TDropFileTarget ----

bool TDropFileTarget::HasValidFormats(const vcl::TDragData& data) const {
    return !data.files.empty();
}

void TDropFileTarget::ClearData() {
    Files.Clear();
    MappedNames.Clear();
}

bool TDropFileTarget::DoGetData() {
    ClearData();
    const vcl::TDragData* data = Data();
    if (!data) return false;
    for (const std::string& file : data->files)
        Files.Add(file);
    return Files.Count() > 0;
}

int TDropFileTarget::PasteFromClipboard() {
    const vcl::TDragData clip = vcl::ClipboardData();
    // Emptied in every case, so that no earlier paste's files pass for the clipboard's.
    Files.Clear();
    for (const std::string& file : clip.files)
        Files.Add(file);
    if (Files.Count() == 0) return vcl::DROPEFFECT_NONE;
    return clip.preferredEffect != vcl::DROPEFFECT_NONE ? clip.preferredEffect
                                                        : vcl::DROPEFFECT_COPY;
}

// ---- TDropTextTarget ----

bool TDropTextTarget::HasValidFormats(const vcl::TDragData& data) const {
    return data.hasText;
}

void TDropTextTarget::ClearData() {
    Text.clear();
}

bool TDropTextTarget::DoGetData() {
    if (!Text.empty()) return true;
    const vcl::TDragData* data = Data();
    if (!data || !data->hasText) return false;
    Text = data->text;
    return !Text.empty();
}

int TDropTextTarget::PasteFromClipboard() {
    const vcl::TDragData clip = vcl::ClipboardData();
    Text = clip.hasText ? clip.text : std::string();
    return Text.empty() ? vcl::DROPEFFECT_NONE : vcl::DROPEFFECT_COPY;
}
