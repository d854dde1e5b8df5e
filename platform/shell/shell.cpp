#include "shell/shell.h"

#include "paths/paths.h"

#include <QDesktopServices>
#include <QUrl>

#include <cctype>
#include <climits>
#include <filesystem>
#include <unistd.h>

namespace platform {

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

bool HasControlOrBlank(std::string_view s) {
    for (unsigned char c : s)
        if (c <= ' ' || c == 0x7F) return true;
    return false;
}

class DesktopShell : public ShellHandler {
public:
    bool Open(const std::string& url) override {
        return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
    }
};

DesktopShell desktop;
ShellHandler* current = nullptr;

ShellHandler& Current() {
    return current ? *current : desktop;
}

} // namespace

std::optional<std::string> ShellUrl(std::string_view address) {
    // Leading and trailing blanks are what callers leave around a typed address.
    while (!address.empty() && (address.front() == ' ' || address.front() == '\t'))
        address.remove_prefix(1);
    while (!address.empty() && (address.back() == ' ' || address.back() == '\t'))
        address.remove_suffix(1);
    if (address.empty() || HasControlOrBlank(address)) return std::nullopt;
    if (address.size() > 2 && address[0] == '\\' && address[1] == '\\') {
        // A share: \\host or \\host\path. The host must be a plain name or address.
        std::string_view rest = address.substr(2);
        const size_t slash = rest.find('\\');
        const std::string_view host = rest.substr(0, slash);
        if (host.empty()) return std::nullopt;
        for (unsigned char c : host)
            if (!std::isalnum(c) && c != '.' && c != '-' && c != '_') return std::nullopt;
        std::string url = "smb://" + std::string(host) + "/";
        if (slash != std::string_view::npos) {
            std::string path(rest.substr(slash + 1));
            for (char& c : path)
                if (c == '\\') c = '/';
            url += path;
        }
        return QUrl(QString::fromStdString(url), QUrl::StrictMode).isValid()
                   ? std::optional<std::string>(url)
                   : std::nullopt;
    }
    std::string_view rest;
    if (StartsWithNoCase(address, "http://"))
        rest = address.substr(7);
    else if (StartsWithNoCase(address, "https://"))
        rest = address.substr(8);
    else if (StartsWithNoCase(address, "smb://"))
        rest = address.substr(6);
    else if (StartsWithNoCase(address, "mailto:"))
        rest = address.substr(7);
    else
        return std::nullopt;
    if (rest.empty()) return std::nullopt;
    const QUrl url(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())),
                   QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("mailto") && url.host().isEmpty()) return std::nullopt;
    return std::string(address);
}

ShellHandler* SetShellHandler(ShellHandler* handler) {
    ShellHandler* previous = current;
    current = handler == &desktop ? nullptr : handler;
    return previous;
}

bool ShellOpen(std::string_view address) {
    const auto url = ShellUrl(address);
    if (!url) return false;
    return Current().Open(*url);
}

std::vector<std::string> HelpFilePlaces(std::string_view fileName) {
    if (fileName.empty() || fileName.find('/') != std::string_view::npos) return {};
    std::vector<std::string> places{ProgramFilePath(fileName)};
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        places.push_back(
            (std::filesystem::path(self).parent_path() / std::string(fileName)).string());
    }
    return places;
}

std::optional<std::string> FindHelpFile(std::string_view fileName) {
    for (const std::string& path : HelpFilePlaces(fileName)) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return std::nullopt;
}

bool ShellOpenHelp(std::string_view fileName) {
    const std::optional<std::string> path = FindHelpFile(fileName);
    if (!path) return false;
    return Current().Open(
        QUrl::fromLocalFile(QString::fromStdString(*path)).toString().toStdString());
}

RecordingShell::RecordingShell() : previous_(SetShellHandler(this)) {}

RecordingShell::~RecordingShell() {
    SetShellHandler(previous_);
}

bool RecordingShell::Open(const std::string& url) {
    Opened.push_back(url);
    return Result;
}

} // namespace platform
