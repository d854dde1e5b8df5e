#include "container_names.h"

#include "container_record.h"

namespace {

bool HasBadCharacter(std::string_view name, bool controlsAllowed) {
    if (!IsValidUtf8(name)) return true;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (!controlsAllowed && (u < 0x20 || u == 0x7F)) return true;
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return true;
    }
    return false;
}

int ValidateName(std::string_view name, bool controlsAllowed) {
    if (name.empty()) return kCisNameEmpty;
    // More bytes than 255 characters can take is too long without decoding.
    if (name.size() > 4 * kCisMaxNameCharacters) return kCisNameTooLong;
    if (!IsValidUtf8(name)) return kCisNameBadCharacter;
    if (Utf8Length(name) > kCisMaxNameCharacters) return kCisNameTooLong;
    if (HasBadCharacter(name, controlsAllowed)) return kCisNameBadCharacter;
    const auto edge = [](char c) { return c == ' ' || c == '.'; };
    if (edge(name.front()) || edge(name.back())) return kCisNameBadCharacter;
    return kCisNameOk;
}

} // namespace

int CisValidateEntryName(std::string_view name) {
    return ValidateName(name, false);
}

bool CisNameHasBadCharacter(std::string_view name) {
    return HasBadCharacter(name, false);
}

bool IsLoadableCisName(std::string_view name) {
    return ValidateName(name, true) == kCisNameOk;
}

bool IsValidCisFileName(std::string_view name) {
    return CisValidateEntryName(name) == kCisNameOk;
}

CisImageNameFault CisImageNameCheck(std::string_view name, bool folder) {
    if (name.size() > (folder ? kCisMaxImageFolderName : kCisMaxImageFileName))
        return CisImageNameFault::TooLong;
    if (folder && name.find(';') != std::string_view::npos) return CisImageNameFault::FolderVersion;
    return CisImageNameFault::None;
}

std::string UpperCaseName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}
