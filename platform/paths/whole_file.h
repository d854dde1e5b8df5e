// Reading and writing a whole file: read with a size limit, replaced in one step.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class WholeFileRead {
    Read,       // out holds the file
    Missing,    // there is no such file
    TooLarge,   // a regular file larger than the limit (found before it is read)
    NotRegular, // a pipe, device, socket or folder: refused before a byte is read
    Failed,     // unreadable
};

// Opens the file at path for reading without waiting: a pipe without a writer or a device is
// refused at once (NotRegular), never waited on. Read with fd set to the open descriptor (the
// caller closes it), else fd is -1.
WholeFileRead OpenRegularFile(const std::string& path, int& fd);

// Reads the regular file at path, at most maxSize bytes, into out (left empty unless Read).
WholeFileRead ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& out);

// Writes data to a new file beside path, flushes it to disk and renames it over path, so that a
// failed write never leaves a half-written file: false on any failure, and path is untouched
// then. The new file is readable by its owner only when ownerOnly is set; otherwise it takes the
// mode of the file it replaces (a file that did not exist: 0644 less the umask).
bool ReplaceFile(const std::string& path, std::string_view data, bool ownerOnly);

} // namespace platform
