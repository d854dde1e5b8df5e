// CD sector layout (sync, header, subheader, EDC, P and Q parity) for the simulated drive.
#pragma once

#include <cstddef>
#include <cstdint>

namespace discsim {

// Minute, second and frame of an LBA (150 frames ahead: LBA 0 is 00:02:00), binary.
struct Msf {
    std::uint8_t minute = 0, second = 0, frame = 0;
};
Msf LbaToMsf(std::uint32_t lba);
std::uint8_t ToBcd(std::uint8_t value); // 0..99

// The 32-bit error detection code of data sectors over `length` bytes.
std::uint32_t Edc(const std::uint8_t* data, std::size_t length);

// Fills the 172 P-parity and 104 Q-parity bytes (offsets 2076 and 2248) of a 2352-byte sector
// whose bytes 12..2075 are set. Mode 2 form 1 sectors are encoded with the header taken as zero.
void ComputeEcc(std::uint8_t* sector, bool zeroHeader);

// Whole 2352-byte sectors: sync, header (BCD address, mode), and for data sectors the EDC and ECC.
// userData holds 2048 bytes (mode 1, form 1) or 2324 bytes (form 2); subheader 4 bytes (file,
// channel, submode, coding information), written twice.
void EncodeMode1Sector(std::uint32_t lba, const std::uint8_t* userData, std::uint8_t* out);
void EncodeMode2Form1Sector(std::uint32_t lba, const std::uint8_t* subheader,
                            const std::uint8_t* userData, std::uint8_t* out);
void EncodeMode2Form2Sector(std::uint32_t lba, const std::uint8_t* subheader,
                            const std::uint8_t* userData, std::uint8_t* out);

} // namespace discsim
