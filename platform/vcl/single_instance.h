// One running program per user and program folder: the first start listens on a local socket
// that only its user may reach; a later start finds it there, asks it to show itself and ends.
#pragma once

#include "vcl/events.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QIODevice;

namespace vcl {

// What the first instance makes of the bytes a later start has sent so far: wait for more, show
// itself (the line is the show request), another line (ignored), or more than a short line
// without its end (the connection is cut).
enum class TInstanceRequest { Wait, Show, Other, TooLong };
TInstanceRequest ReadInstanceRequest(QIODevice& connection);

class TSingleInstance {
public:
    // The socket name for a program folder: the program's name, the user id and a hash of the
    // folder, so that runs with separate folders (tests, a second account) stay apart.
    static std::string NameFor(std::string_view programFolder);
    // The folder the socket lives in: XDG_RUNTIME_DIR when it is this user's own closed folder,
    // else "brimlet-<uid>" in the temporary folder ($TMPDIR or /tmp), made with mode 0700 when
    // missing. Either must be a directory (not a link) owned by the user and closed to others;
    // nothing, with the reason in problem, when it is not (then no socket is asked or made).
    static std::optional<std::string> SocketFolder(std::string& problem);

    // Needs the application object; made and used on the GUI thread.
    explicit TSingleInstance(std::string name);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // True when this process is the first instance and now answers later starts. False when
    // another instance runs: it has been asked to show itself (waits for its answer up to
    // about two seconds). A socket left behind by an instance that died is taken over.
    bool Claim();

    // Raised on the GUI thread when a later start asks this instance to show itself.
    std::function<void()> OnShowRequest;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vcl
