#include "brandinfo.h"

#include "msgbox.h"
#include "textcodec.h"

#include "paths/whole_file.h"

#include <algorithm>
#include <ext/stdio_filebuf.h>
#include <istream>
#include <vector>

TBrandInfo BrandInfo;

namespace {

std::string FieldValue(std::string_view raw, std::size_t capacity) {
    if (IsValidUtf8(raw)) return std::string(CutUtf8Characters(raw, capacity));
    // Texts that are not UTF-8 are in the code page; characters that do not convert are dropped.
    const std::string text = AnsiToUtf8(raw, "", CutTail::AsBadBytes).value_or(std::string());
    return std::string(CutUtf8Characters(text, capacity));
}

enum class Key { Lang, Tel, Fax, Email, Web, Company, AppName };

struct KeyEntry {
    std::string_view word;
    Key key;
    std::size_t capacity;
};

// In the order the scan tests them.
constexpr KeyEntry kKeys[] = {
    {"LANG", Key::Lang, TBrandInfo::LangCapacity},
    {"TEL", Key::Tel, TBrandInfo::TelCapacity},
    {"FAX", Key::Fax, TBrandInfo::FaxCapacity},
    {"EMAIL", Key::Email, TBrandInfo::EmailCapacity},
    {"WEB", Key::Web, TBrandInfo::WebCapacity},
    {"COMPANY", Key::Company, TBrandInfo::CompanyCapacity},
    {"APPNAME", Key::AppName, TBrandInfo::AppNameCapacity},
};

std::uint32_t LittleEndian32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

std::string_view BrandLanguageCode(int languageIndex) {
    switch (languageIndex) {
    case 0:
        return "EN";
    case 1:
        return "TC";
    case 2:
        return "SC";
    default:
        return {};
    }
}

void ParseBrandEnv(std::string_view block) {
    const std::string_view code = BrandLanguageCode(LanguageIndex);
    if (!code.empty() && BrandInfo.LANG == code) return; // this language's block was applied

    TBrandInfo working; // every key the block does not set falls back to its initial value
    working.LANG = BrandInfo.LANG;

    std::size_t pos = 0;
    while (pos < block.size()) {
        if (block[pos] == ' ')
            ++pos;
        else if (block.substr(pos, 2) == "\r\n")
            pos += 2;
        else
            break;
    }

    while (pos < block.size()) {
        const KeyEntry* match = nullptr;
        for (const KeyEntry& entry : kKeys) {
            if (block.substr(pos, entry.word.size()) == entry.word) {
                match = &entry;
                break;
            }
        }
        if (!match) {
            ++pos;
            continue;
        }
        std::size_t start = pos + match->word.size();
        while (start < block.size() && (block[start] == ' ' || block[start] == '='))
            ++start;
        if (start >= block.size()) break;
        const std::size_t end = block.find("\r\n", start);
        if (end == std::string_view::npos) break; // a line cut short ends the block
        const std::string value = FieldValue(block.substr(start, end - start), match->capacity);
        switch (match->key) {
        case Key::Lang:
            BrandInfo.LANG = value;
            working.LANG = value;
            if (!code.empty() && !value.empty() && std::string_view(value).substr(0, 2) != code)
                return; // another language's block
            break;
        case Key::Tel:
            working.TEL = value;
            break;
        case Key::Fax:
            working.FAX = value;
            break;
        case Key::Email:
            working.EMAIL = value;
            break;
        case Key::Web:
            working.WEB = value;
            break;
        case Key::Company:
            working.COMPANY = value;
            break;
        case Key::AppName:
            working.APPNAME = value;
            break;
        }
        pos = end + 2;
    }
    BrandInfo = std::move(working);
}

std::string ReadBrandRecords(std::istream& in) {
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return {};
    in.seekg(0, std::ios::beg);

    std::string firstRefused;
    std::size_t refused = 0;
    auto left = static_cast<std::uint64_t>(size);
    while (left >= kBrandRecordHeaderSize) {
        const std::uint64_t offset = static_cast<std::uint64_t>(size) - left;
        unsigned char header[kBrandRecordHeaderSize];
        if (!in.read(reinterpret_cast<char*>(header), sizeof header)) break;
        left -= kBrandRecordHeaderSize;
        const std::string_view tag(reinterpret_cast<const char*>(header), 4);
        const std::uint32_t declared = LittleEndian32(header + 4);
        // A declared length beyond the end of the file is cut to what is there.
        const std::uint64_t length = std::min<std::uint64_t>(declared, left);
        if (tag == kBrandEnvTag && length <= kMaxBrandEnvSize) {
            std::vector<char> block(static_cast<std::size_t>(length));
            if (!in.read(block.data(), static_cast<std::streamsize>(block.size()))) break;
            ParseBrandEnv(std::string_view(block.data(), block.size()));
        } else {
            // A text block larger than any branding text is refused before it is read. The
            // picture of "_IMG" is not used, and records of other tags are not ours: all are
            // skipped by their length.
            if (tag == kBrandEnvTag && refused++ == 0)
                firstRefused = "at offset " + std::to_string(offset) + " declares " +
                               std::to_string(declared) + " bytes";
            in.seekg(static_cast<std::streamoff>(length), std::ios::cur);
            if (!in) break;
        }
        left -= length;
    }
    if (refused == 0) return {};
    return std::to_string(refused) + (refused == 1 ? " text block was" : " text blocks were") +
           " skipped, larger than the " + std::to_string(kMaxBrandEnvSize) +
           " bytes a text block may hold (the first " + firstRefused + ")";
}

std::string ReadAboutFile(const std::string& fileName) {
    // Opened without waiting: a pipe or a device in its place is refused at once, and told.
    int fd = -1;
    switch (platform::OpenRegularFile(fileName, fd)) {
    case platform::WholeFileRead::Read:
        break;
    case platform::WholeFileRead::NotRegular:
        return "The branding file " + fileName +
               " is not a regular file (a pipe, a device or a folder) and was not read.";
    default:
        return {};
    }
    __gnu_cxx::stdio_filebuf<char> buffer(fd, std::ios::in | std::ios::binary); // closes fd
    std::istream file(&buffer);
    const std::string refused = ReadBrandRecords(file);
    if (refused.empty()) return {};
    return "The branding file " + fileName + " was not read in full: " + refused + ".";
}

std::string BrandWebUrl(std::string_view web) {
    if (web.empty()) return {};
    for (char c : web)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return {};
    const std::size_t colon = web.find(':');
    const std::size_t slash = web.find('/');
    const bool hasScheme = colon != std::string_view::npos &&
                           (slash == std::string_view::npos || colon < slash) &&
                           web.substr(0, colon).find('.') == std::string_view::npos;
    if (!hasScheme) return "http://" + std::string(web);
    std::string scheme(web.substr(0, colon));
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if ((scheme == "http" || scheme == "https") && web.substr(colon + 1, 2) == "//")
        return std::string(web);
    return {};
}

std::string BrandMailUrl(std::string_view email) {
    const std::size_t at = email.find('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == email.size() ||
        email.find('@', at + 1) != std::string_view::npos)
        return {};
    for (char c : email)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == ':' || c == '?' || c == '/' ||
            c == '\\')
            return {};
    return "mailto:" + std::string(email);
}
