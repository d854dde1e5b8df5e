// The settings record of the main window: defaults, reading the INI file at start and writing it
// back at close.
#include "central.h"

#include "kinddialog.h"
#include "message_format.h"
#include "msgbox.h"
#include "startup_notes.h"
#include "utils.h"

#include "paths/paths.h"
#include "vcl/exception.h"
#include "vcl/ini_file.h"
#include "vcl/screen.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr char kMainForm[] = "MainForm";
constexpr char kOption[] = "Option";
constexpr char kRemoteList[] = "Remote NAS List";
constexpr int kMinHeight = 240;
constexpr int kMinWidth = 320;

std::string Numbered(const char* prefix, int i) {
    char key[32];
    std::snprintf(key, sizeof key, "%s%d", prefix, i);
    return key;
}

// A dotted IPv4 address (four decimal parts) in host byte order; 255.255.255.255 counts as no
// address.
bool ParseDotted(const std::string& text, std::uint32_t& address) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    address = ntohl(a.s_addr);
    return address != 0xFFFFFFFFu;
}

// A file name that the log can have: not empty, no separators or control characters, not "." or
// "..", no blanks or dots at its end, at most 255 bytes.
bool IsValidLogFileName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == '/' || c == '\\' || c == 0x7F) return false;
    return name.back() != ' ' && name.back() != '.';
}

// The log path when its folder exists (not the root) and its file name is valid.
bool IsUsableLogPath(const std::string& path) {
    if (path.empty()) return false;
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return false; // no folder, or the root
    std::error_code ec;
    if (!std::filesystem::is_directory(path.substr(0, slash), ec)) return false;
    return IsValidLogFileName(path.substr(slash + 1));
}

// Whether a file can be made in folder (a probe file, removed at once): the settings file is
// replaced through a new file beside it.
bool CanWriteIn(const std::string& folder) {
    std::string probe = folder + "/.brimlet-write-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::string DefaultLogPath() {
    return platform::ProgramFilePath("validate.log");
}

} // namespace

void SetDefaultColumnWidths(_INI_DATA_& data) {
    static const std::initializer_list<int> kWidths[kListLayoutCount] = {
        {160, 250},
        {190, 105, 250},
        {160, 105, 105},
        {160, 65, 95, 180, 100, 95, 300},
        {150, 150, 130, 85, 160, 200},
        {150, 215, 70, 60, 105, 105},
        {150, 110, 100, 100},
        {150, 100, 100},
        {150, 150, 150, 150, 150, 150, 150},
        {150},
        {160, 250},
        {150, 200, 100, 100, 100, 100, 100, 100},
    };
    for (int layout = 0; layout < kListLayoutCount; ++layout) {
        int i = 0;
        for (int w : kWidths[layout])
            data.ColumnWidth[layout][i++] = w;
        for (; i < kLayoutColumnCount; ++i)
            data.ColumnWidth[layout][i] = -1;
    }
}

std::string TForm_Central::IniFilePath() {
    return platform::ProgramFilePath("brimlet.ini");
}

void TForm_Central::SetDefaultSettings() {
    const int screenWidth = vcl::Screen ? vcl::Screen->Width() : 0;
    const int screenHeight = vcl::Screen ? vcl::Screen->Height() : 0;
    IniData.MainTop = (screenHeight - GetHeight()) / 2;
    IniData.MainLeft = (screenWidth - GetWidth()) / 2;
    IniData.MainHeight = 450;
    IniData.MainWidth = 600;
    IniData.MainMaximized = 0;
    IniData.RefreshEnable = 1;
    IniData.RefreshInterval = 10;
    IniData.LoadWizard = 0;
    IniData.LoadContainer = 0;
    IniData.DefaultContainer.clear();
    IniData.LoadExplorer = 1;
    IniData.ValidateLogEnable = 1;
    IniData.OverWriteValidateLog = 1;
    IniData.ValidateLog = DefaultLogPath();
    IniData.AutoValidate = 1;
    SetDefaultColumnWidths(IniData);
}

void TForm_Central::LoadSettings() {
    vcl::TIniFile ini(IniFilePath());
    // A file that is not read is kept as it is (never written at close): the user hears why.
    if (ini.Loaded() == vcl::TIniFile::LoadResult::TooLarge)
        AddStartupNote(
            FormatMessageText(GetMessageText(953),
                              {ini.FileName(), std::to_string(vcl::TIniFile::MaxFileSize >> 20)}) +
            " " + GetMessageText(955));
    else if (ini.Loaded() == vcl::TIniFile::LoadResult::NotRegular)
        AddStartupNote(FormatMessageText(GetMessageText(960), {ini.FileName()}) + " " +
                       GetMessageText(955));
    else if (ini.Loaded() == vcl::TIniFile::LoadResult::Unreadable)
        AddStartupNote(FormatMessageText(GetMessageText(954), {ini.FileName()}) + " " +
                       GetMessageText(955));
    else if (ini.Writable()) {
        // Told now, once: the close then saves nothing and says nothing more about it.
        const std::string folder = std::filesystem::path(ini.FileName()).parent_path().string();
        settingsUnwritable_ = !CanWriteIn(folder);
        if (settingsUnwritable_) AddStartupNote(FormatMessageText(GetMessageText(956), {folder}));
    }
    const int screenWidth = vcl::Screen ? vcl::Screen->Width() : 0;
    const int screenHeight = vcl::Screen ? vcl::Screen->Height() : 0;
    // A stored size larger than the screen is cut to it, and a window that would reach below
    // the screen moves up, so that the status bar stays in view. (No screen: as stored.)
    const auto fit = [](int v, int screen, int least) {
        return screen >= least ? std::min(v, screen) : v;
    };

    if (ini.SectionExists(kMainForm)) {
        int v = ini.ReadInteger(kMainForm, "MainHeight", -1);
        if (v >= kMinHeight) IniData.MainHeight = fit(v, screenHeight, kMinHeight);
        SetHeight(IniData.MainHeight);
        v = ini.ReadInteger(kMainForm, "MainWidth", -1);
        if (v >= kMinWidth) IniData.MainWidth = fit(v, screenWidth, kMinWidth);
        SetWidth(IniData.MainWidth);
        v = ini.ReadInteger(kMainForm, "MainTop", -1);
        if (v > -10 && v < screenHeight - 20) IniData.MainTop = v;
        if (screenHeight >= kMinHeight && IniData.MainTop + IniData.MainHeight > screenHeight)
            IniData.MainTop = std::max(0, screenHeight - IniData.MainHeight);
        SetTop(IniData.MainTop);
        v = ini.ReadInteger(kMainForm, "MainLeft", -1);
        if (v > 100 - GetWidth() && v < screenWidth - 30) IniData.MainLeft = v;
        SetLeft(IniData.MainLeft);
        if (ini.ReadInteger(kMainForm, "MainMaximized", -1) == 1) {
            IniData.MainMaximized = 1;
            SetWindowState(vcl::wsMaximized);
        } else {
            IniData.MainMaximized = 0;
            SetWindowState(vcl::wsNormal);
        }
    }

    if (ini.SectionExists(kOption)) {
        const auto flag = [&](const char* key, std::int32_t& field) {
            int v = ini.ReadInteger(kOption, key, -1);
            if (v == 0 || v == 1) field = v;
        };
        const auto onlyOne = [&](const char* key, std::int32_t& field) {
            field = ini.ReadInteger(kOption, key, -1) == 1 ? 1 : 0;
        };
        flag("RefreshEnable", IniData.RefreshEnable);
        int interval = ini.ReadInteger(kOption, "RefreshInterval", -1);
        if (interval >= 1 && interval <= 60) IniData.RefreshInterval = interval;
        flag("LoadWizard", IniData.LoadWizard);
        int load = ini.ReadInteger(kOption, "LoadContainer", -1);
        if (load == 0 || load == 1) {
            IniData.LoadContainer = load;
            std::string path = ini.ReadString(kOption, "DefaultContainer", "");
            if (!path.empty()) IniData.DefaultContainer = path;
        }
        flag("LoadExplorer", IniData.LoadExplorer);
        onlyOne("ValidateLogEnable", IniData.ValidateLogEnable);
        onlyOne("OverWriteValidateLog", IniData.OverWriteValidateLog);
        std::string log = ini.ReadString(kOption, "ValidateLog", "");
        IniData.ValidateLog = IsUsableLogPath(log) ? log : DefaultLogPath();
        onlyOne("AutoValidate", IniData.AutoValidate);
    }

    if (ini.SectionExists(kRemoteList) && Form_RemoteNAS) {
        // The count comes from the file: never more entries than the list is made for.
        int n = std::clamp(ini.ReadInteger(kRemoteList, "NASNumber", 0), 0, kMaxRemoteNasNumber);
        for (int i = n; i >= 1; --i) {
            std::string text = ini.ReadString(kRemoteList, Numbered("IP", i), "");
            std::uint32_t address = 0;
            if (!text.empty() && ParseDotted(text, address)) Form_RemoteNAS->AddEntry(address);
        }
    }
}

void TForm_Central::SaveSettings() {
    vcl::TIniFile ini(IniFilePath());
    if (!ini.Writable()) return; // not read at start (the user was told): what it holds stays
    // Every value in one write of the file.
    ini.BeginUpdate();
    try {
        WriteSettings(ini);
        ini.EndUpdate();
    } catch (const vcl::EIniFileTooLarge&) {
        ini.CancelUpdate();
        // The file would be one the next start refuses: it stays as it was.
        ShowKindMessage(
            FormatMessageText(GetMessageText(961),
                              {ini.FileName(), std::to_string(vcl::TIniFile::MaxFileSize >> 20)}),
            52);
    } catch (const vcl::EIniFileException&) {
        ini.CancelUpdate();
        // Found unwritable at start (the user was told then): tried again, silently, in case the
        // folder was mended meanwhile.
        if (!settingsUnwritable_) throw;
    }
}

void TForm_Central::WriteSettings(vcl::TIniFile& ini) {
    ini.WriteInteger(kMainForm, "MainTop", IniData.MainTop);
    ini.WriteInteger(kMainForm, "MainLeft", IniData.MainLeft);
    ini.WriteInteger(kMainForm, "MainHeight", IniData.MainHeight);
    ini.WriteInteger(kMainForm, "MainWidth", IniData.MainWidth);
    ini.WriteInteger(kMainForm, "MainMaximized", IniData.MainMaximized);
    ini.WriteInteger(kOption, "RefreshEnable", IniData.RefreshEnable);
    ini.WriteInteger(kOption, "RefreshInterval", IniData.RefreshInterval);
    ini.WriteInteger(kOption, "LoadWizard", IniData.LoadWizard);
    ini.WriteInteger(kOption, "LoadContainer", IniData.LoadContainer);
    ini.WriteString(kOption, "DefaultContainer", IniData.DefaultContainer);
    ini.WriteInteger(kOption, "LoadExplorer", IniData.LoadExplorer);
    ini.WriteInteger(kOption, "ValidateLogEnable", IniData.ValidateLogEnable);
    ini.WriteInteger(kOption, "OverWriteValidateLog", IniData.OverWriteValidateLog);
    ini.WriteString(kOption, "ValidateLog", IniData.ValidateLog);
    ini.WriteInteger(kOption, "AutoValidate", IniData.AutoValidate);

    ini.EraseSection(kRemoteList);
    ini.WriteInteger(kRemoteList, "NASNumber", 0);
    int written = 0;
    if (Form_RemoteNAS) {
        for (RMT_NAS_DATA* e = Form_RemoteNAS->GetRemoteList(); e && written < kMaxRemoteNasNumber;
             e = e->Next) {
            ++written;
            std::string name = e->Name;
            for (char& c : name)
                if (static_cast<unsigned char>(c) < 0x20) c = ' '; // one line per value
            ini.WriteString(kRemoteList, Numbered("NAS", written), name);
            ini.WriteString(kRemoteList, Numbered("IP", written), utils::IpToText(e->Address));
        }
    }
    ini.WriteInteger(kRemoteList, "NASNumber", written);
}
