// Extraction of the one entry of a password-protected zip archive. The entry's stored name is
// never used: its content goes straight to the path the caller gives, so an archive cannot place a
// file anywhere else. Archives with more or fewer than one entry, an entry larger than the cap, a
// wrong password, a damaged body or a CRC that does not match are refused with a reason; a refused
// extraction leaves no output file.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct UnzipResult {
    bool ok = false;
    std::string error;      // why the extraction was refused (empty on success)
    std::uint64_t size = 0; // bytes written
};

// Extracts the single entry of archivePath, decrypted with password (traditional zip encryption;
// an empty password for an entry that is not encrypted), to outputPath, replacing a file there.
UnzipResult ExtractSingleEntry(const std::string& archivePath, const std::string& password,
                               const std::string& outputPath, std::uint64_t maxSize);

} // namespace platform
