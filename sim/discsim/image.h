// Internal: image files behind a Disc and the assembly of whole sectors from any disc source.
#pragma once

#include "discsim.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace discsim {

// An open image file, read from any thread. Sectors are read in order, so each read is served
// from a window read ahead in one pread, instead of one system call per sector.
class ImageFile {
public:
    enum class Layout { UserData2048, Raw2352 };
    ImageFile(int fd, Layout layout, std::uint64_t size);
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    Layout layout() const { return layout_; }
    // Reads `length` bytes at `offset`; bytes past the end of the file read as zero. False on an
    // I/O error.
    bool read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const;

    // Raw layout: index of the first stored sector of each track, by the track's start LBA.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> trackOffsets;

private:
    bool readFile(std::uint64_t offset, std::uint8_t* out, std::size_t length) const;

    int fd_;
    Layout layout_;
    std::uint64_t size_;
    mutable std::mutex windowLock_;
    mutable std::vector<std::uint8_t> window_; // file bytes from windowStart_ on
    mutable std::uint64_t windowStart_ = 0;
};

// MODE SENSE medium type of a CD: 01h data only, 02h audio only, 03h data and audio.
std::uint8_t CdMediumType(const std::vector<Session>& sessions);

// One sector of a disc as the drive sees it.
struct Sector {
    enum class Type { Audio, Mode1, Mode2Form1, Mode2Form2 };
    Type type = Type::Mode1;
    std::uint8_t raw[kRawSectorSize] = {};
    std::size_t userOffset() const {
        return type == Type::Mode1 ? 16 : type == Type::Audio ? 0 : 24;
    }
    std::size_t userSize() const {
        return type == Type::Audio        ? kRawSectorSize
               : type == Type::Mode2Form2 ? kForm2UserDataSize
                                          : kUserDataSize;
    }
};

// Fills `out` with sector lba of `track` (ending before `end`). With whole = false only the type,
// the subheader and the user data are certain; with whole = true every byte is (sync, header,
// EDC and ECC as the medium carries them). False on an I/O error of an image file.
bool FetchSector(const Disc& disc, const Track& track, std::uint32_t lba, bool whole, Sector& out);

} // namespace discsim
