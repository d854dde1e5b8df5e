#include "remotenas_settings.h"

#include "remotenas.h"
#include "rmtnasip_mask.h"
#include "utils.h"

#include "vcl/ini_file.h"
#include "vcl/string_list.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

std::string Key(const char* prefix, int number) {
    return prefix + std::to_string(number);
}

std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

} // namespace

void LoadRemoteNasSettings(const vcl::TIniFile& ini, TForm_RemoteNAS& list) {
    vcl::TStringList keys;
    ini.ReadSection(kRemoteNasSection, keys);
    const int number = std::min(ini.ReadInteger(kRemoteNasSection, "NASNumber", 0), keys.Count());
    for (int i = number; i >= 1; --i) {
        const std::optional<std::uint32_t> address =
            ipbox::ParseAddressText(ini.ReadString(kRemoteNasSection, Key("IP", i), ""));
        if (address) list.AddEntry(*address);
    }
}

void SaveRemoteNasSettings(vcl::TIniFile& ini, const TForm_RemoteNAS& list) {
    // The whole list in one write of the file.
    ini.BeginUpdate();
    try {
        int number = 0;
        for (const RMT_NAS_DATA* entry = list.GetRemoteList(); entry; entry = entry->Next) {
            ++number;
            ini.WriteString(kRemoteNasSection, Key("NAS", number), OneLine(entry->Name));
            ini.WriteString(kRemoteNasSection, Key("IP", number), utils::IpToText(entry->Address));
        }
        ini.WriteInteger(kRemoteNasSection, "NASNumber", number);
    } catch (...) {
        ini.CancelUpdate();
        throw;
    }
    ini.EndUpdate();
}
