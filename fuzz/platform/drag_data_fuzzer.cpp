// Dropped and pasted data as the desktop offers it: a uri-list, a gnome-copied-files list with
// its copy or cut verb, the cut flag of the other desktops and plain text, read into the files,
// text and preferred effect that the drop targets take. Only absolute local paths may come out.
//
// Input: up to four parts, each [u16 length][bytes], for text/uri-list,
// x-special/gnome-copied-files, application/x-kde-cutselection and text/plain; a part whose
// length is 0xFFFF is left out of the data.
#include "vcl/dragdrop.h"

#include <QByteArray>
#include <QMimeData>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kFormats[] = {"text/uri-list", "x-special/gnome-copied-files",
                                           "application/x-kde-cutselection", "text/plain"};
    QMimeData mime;
    bool offersFiles = false;
    for (const char* format : kFormats) {
        if (size < 2) break;
        std::size_t length = data[0] | std::size_t{data[1]} << 8;
        data += 2;
        size -= 2;
        if (length == 0xFFFF) continue;
        if (length > size) length = size;
        mime.setData(format, QByteArray(reinterpret_cast<const char*>(data),
                                        static_cast<qsizetype>(length)));
        if (format == kFormats[0] || format == kFormats[1]) offersFiles = true;
        data += length;
        size -= length;
    }
    const vcl::TDragData d = vcl::DragDataOf(&mime);
    if (d.hasFileList != offersFiles) __builtin_trap();
    if (!d.hasFileList && !d.files.empty()) __builtin_trap();
    for (const std::string& path : d.files)
        if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos)
            __builtin_trap();
    if (d.preferredEffect != vcl::DROPEFFECT_NONE && d.preferredEffect != vcl::DROPEFFECT_COPY &&
        d.preferredEffect != vcl::DROPEFFECT_MOVE)
        __builtin_trap();
    if (!d.hasText && !d.text.empty()) __builtin_trap();
    if (vcl::DragDataOf(nullptr).hasFileList) __builtin_trap();
    return 0;
}
