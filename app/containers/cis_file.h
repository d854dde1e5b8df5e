// The ".CIS" container file: a fixed header and every entry of the tree, depth first, each entry
// a fixed record header followed by its source text and its display name (both with their zero
// byte). Version 0x0400 is written and read; version 0x0100 is read. All numbers little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class MIRROR_CONTAINER;

namespace cis {

inline constexpr std::uint32_t kSignature = 0x00534943; // "CIS" and a zero byte
inline constexpr std::size_t kSignatureAt = 0;
inline constexpr std::size_t kVersionAt = 4;
inline constexpr std::uint16_t kVersion4 = 0x0400;
inline constexpr std::uint16_t kVersion1 = 0x0100;

// Header, version 0x0400: signature, version, zeros, and the byte sum of the first 136 bytes.
inline constexpr std::size_t kHeader4Size = 140;
inline constexpr std::size_t kHeader4SumAt = 136;
static_assert(kHeader4SumAt + 4 == kHeader4Size);

// How the texts of a file are stored. The format keeps them in the ANSI code page of the system
// that wrote them; this program's names are UTF-8 and its host paths are bytes that no code page
// need hold (a Chinese name under an English code page), so writing the code page would lose
// them. This program therefore writes the texts as they are (names UTF-8, sources the host path's
// bytes) and says so with the four bytes "UTF8" in the zero area of the version 0x0400 header,
// which the checksum covers and which readers of the format do not interpret. A reader takes the
// texts of a file with the mark as they are stored; every other file (version 0x0100, or 0x0400
// without the mark: the files of the earlier program) holds code-page texts, converted from the
// code page of the message language. Nothing is guessed from the bytes of a text.
inline constexpr std::size_t kTextMarkAt = 6;
inline constexpr char kTextMark[4] = {'U', 'T', 'F', '8'};
static_assert(kTextMarkAt + sizeof kTextMark <= kHeader4SumAt);
// Header, version 0x0100: the byte sum of the first 28 bytes at 28.
inline constexpr std::size_t kHeader1Size = 32;
inline constexpr std::size_t kHeader1SumAt = 28;
static_assert(kHeader1SumAt + 4 == kHeader1Size);

// Entry record "R4".
inline constexpr std::uint16_t kR4Signature = 0x3452;
inline constexpr std::size_t kR4HeaderSize = 68;
inline constexpr std::size_t kR4SignatureAt = 0;   // u16
inline constexpr std::size_t kR4LengthAt = 2;      // u16: 68 + source length + name length
inline constexpr std::size_t kR4AttributesAt = 4;  // u32
inline constexpr std::size_t kR4ReservedAt = 8;    // u32, 0
inline constexpr std::size_t kR4TimeAt = 12;       // u64 FILETIME
inline constexpr std::size_t kR4DirNumberAt = 20;  // folder: u16
inline constexpr std::size_t kR4LevelAt = 22;      // folder: u16
inline constexpr std::size_t kR4SecondTimeAt = 20; // file: u64 over 20-27
inline constexpr std::size_t kR4SubFoldersAt = 24; // folder: u32
inline constexpr std::size_t kR4TotalFoldersAt = 28;
inline constexpr std::size_t kR4FilesAt = 32;
inline constexpr std::size_t kR4TotalFilesAt = 36;
inline constexpr std::size_t kR4SizeAt = 40;         // u64
inline constexpr std::size_t kR4AllocatedAt = 48;    // u64
inline constexpr std::size_t kR4ExtentAt = 56;       // u64
inline constexpr std::size_t kR4SourceLengthAt = 64; // u16, terminator included
inline constexpr std::size_t kR4NameLengthAt = 66;   // u16, terminator included
static_assert(kR4SecondTimeAt + 8 == kR4TotalFoldersAt);
static_assert(kR4ExtentAt + 8 == kR4SourceLengthAt);
static_assert(kR4NameLengthAt + 2 == kR4HeaderSize);

// Entry record "R1" (read only).
inline constexpr std::uint16_t kR1Signature = 0x3152;
inline constexpr std::size_t kR1HeaderSize = 64;
inline constexpr std::size_t kR1AttributesAt = 20;   // u32
inline constexpr std::size_t kR1TimeAt = 24;         // u32 seconds since 1970
inline constexpr std::size_t kR1SecondTimeAt = 28;   // file: u32 seconds since 1970
inline constexpr std::size_t kR1DirNumberAt = 28;    // folder: u16
inline constexpr std::size_t kR1LevelAt = 30;        // folder: u16
inline constexpr std::size_t kR1SubFoldersAt = 32;   // u16
inline constexpr std::size_t kR1TotalFoldersAt = 34; // u16
inline constexpr std::size_t kR1FilesAt = 36;        // u32
inline constexpr std::size_t kR1TotalFilesAt = 40;   // u32
inline constexpr std::size_t kR1SizeAt = 48;         // u32
inline constexpr std::size_t kR1AllocatedAt = 52;    // u32
inline constexpr std::size_t kR1ExtentAt = 56;       // u32
inline constexpr std::size_t kR1SourceLengthAt = 60; // u16, terminator not included
inline constexpr std::size_t kR1NameLengthAt = 62;   // u16, terminator not included
static_assert(kR1NameLengthAt + 2 == kR1HeaderSize);

// Records of a folder must fit in the bytes left: no record is shorter than a header with
// an empty source and a one-character name.
inline constexpr std::size_t kR4MinimumRecord = kR4HeaderSize + 1 + 2;
inline constexpr std::size_t kR1MinimumRecord = kR1HeaderSize + 1 + 2;

} // namespace cis

// The text shown after a save: "Files:\n", then the source of each of the first ten entries below
// the root and "\n", then "...etc\n" when there are more; empty when the root has no entries.
std::string CisSaveSummary(const MIRROR_CONTAINER& container);
