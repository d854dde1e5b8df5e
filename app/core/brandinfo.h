// Branding: the product name, contact texts and links that the branding data file supplies per
// language, read once when the about box is made.
//
// The file is a sequence of records: a 4-byte ASCII tag, a 4-byte little-endian payload length and
// the payload. "_ENV" payloads hold "KEY = value" lines ended by CR LF, normally one block per
// language starting with its LANG line; "_IMG" payloads hold a picture that is not used. The file
// comes from outside: lengths are capped to the bytes that are there, unknown records are skipped
// by their length, a text block larger than kMaxBrandEnvSize is refused unread, values are cut to
// their capacity, and nothing is written to disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

struct TBrandInfo {
    // Capacities in characters; longer values are cut.
    static constexpr std::size_t TelCapacity = 19;
    static constexpr std::size_t FaxCapacity = 19;
    static constexpr std::size_t EmailCapacity = 49;
    static constexpr std::size_t WebCapacity = 49;
    static constexpr std::size_t CompanyCapacity = 49;
    static constexpr std::size_t LangCapacity = 5;
    static constexpr std::size_t AppNameCapacity = 19;

    std::string TEL;
    std::string FAX;
    std::string EMAIL;
    std::string WEB;
    std::string COMPANY;
    std::string LANG; // language code of the last block read
    std::string APPNAME = "Quorvik";
};

// The branding of this run; the product name is the product word until a branding file is read.
extern TBrandInfo BrandInfo;

inline constexpr std::size_t kBrandRecordHeaderSize = 8; // tag (4) + payload length (4)
inline constexpr char kBrandEnvTag[] = "_ENV";
inline constexpr char kBrandImageTag[] = "_IMG";

// "EN", "TC" or "SC" for language index 0, 1, 2; empty for any other index.
std::string_view BrandLanguageCode(int languageIndex);

// The largest "_ENV" block read: its few short lines fit many times over. A block that declares
// more is refused before anything is allocated for it.
inline constexpr std::size_t kMaxBrandEnvSize = 64 * 1024;

// Reads the branding file into BrandInfo. A file that cannot be opened leaves BrandInfo as it was.
// Empty, or what was refused, for the user (naming the file and the reason).
std::string ReadAboutFile(const std::string& fileName);
// Reads branding records from a seekable stream into BrandInfo. Empty, or how many text blocks
// were refused and where the first one is.
std::string ReadBrandRecords(std::istream& in);

// Applies one "_ENV" block for the current message language (LanguageIndex): a block of another
// language is ignored, and a block of the current language is applied only once.
void ParseBrandEnv(std::string_view block);

// The address the about box opens for the web text: WEB itself when it is an http or https
// address, "http://" + WEB when it names no scheme; empty (nothing to open) otherwise.
std::string BrandWebUrl(std::string_view web);
// "mailto:" + EMAIL for a plain address (one "@", no blanks, controls, ":" or "?"); else empty.
std::string BrandMailUrl(std::string_view email);
