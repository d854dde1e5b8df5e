#include "paths/paths.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Owns the work folder and removes it at exit (a function-local static's destructor).
class WorkFolderHolder {
public:
    WorkFolderHolder() : owner_(getpid()) {
        std::string base = Env("TMPDIR");
        if (base.empty() || base.front() != '/') base = "/tmp";
        std::string templ = WithoutTrailingSlashes(base) + "/brimlet-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) path_ = buf.data();
    }
    ~WorkFolderHolder() {
        // A forked child shares the folder with its parent; only the process that made it cleans
        // up.
        if (!path_.empty() && getpid() == owner_) {
            std::error_code ec;
            fs::remove_all(path_, ec);
        }
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    pid_t owner_;
};

} // namespace

std::string ProgramFolder() {
    std::string folder = Env("BRIMLET_HOME");
    if (folder.empty()) {
        std::string xdg = Env("XDG_CONFIG_HOME");
        std::string base = (!xdg.empty() && xdg.front() == '/') ? xdg : HomeFolder() + "/.config";
        folder = WithoutTrailingSlashes(base) + "/brimlet";
    } else {
        std::error_code ec;
        fs::path abs = fs::absolute(folder, ec);
        if (!ec) folder = abs.string();
    }
    folder = WithoutTrailingSlashes(folder);
    std::error_code ec;
    if (!fs::is_directory(folder, ec) && fs::create_directories(folder, ec))
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    return folder;
}

std::string ProgramFilePath(std::string_view name) {
    std::string folder = ProgramFolder();
    if (folder != "/") folder += '/';
    return folder.append(name);
}

std::string WorkFolder() {
    static WorkFolderHolder holder;
    return holder.Path();
}

} // namespace platform
