#include "vcl/single_instance.h"

#include "vcl/application.h"

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vcl {

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShowAnswer[] = "ok\n";
constexpr int kWaitMs = 2000;

// Why folder cannot hold the socket (empty when it can): it must be a directory, not a symbolic
// link, owned by this user and closed to everyone else, so that no other local user can put a
// socket of their own in its place or take ours.
std::string FolderProblem(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return folder + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return folder + " is not a folder";
    if (st.st_uid != ::getuid()) return folder + " belongs to another user";
    if ((st.st_mode & 077) != 0) return folder + " is open to other users";
    return {};
}

// The path of the named socket, or empty (with the reason) when no private folder is at hand.
QString SocketPath(const std::string& name, std::string& problem) {
    const auto folder = TSingleInstance::SocketFolder(problem);
    if (!folder) return {};
    return QString::fromStdString(*folder + "/" + name);
}

} // namespace

TInstanceRequest ReadInstanceRequest(QIODevice& connection) {
    // A request is one short line; anything longer is not ours.
    if (!connection.canReadLine())
        return connection.bytesAvailable() > 64 ? TInstanceRequest::TooLong
                                                : TInstanceRequest::Wait;
    return connection.readLine(64) == kShowRequest ? TInstanceRequest::Show
                                                   : TInstanceRequest::Other;
}

struct TSingleInstance::Impl {
    QString path;        // empty when there is no private folder for it
    std::string problem; // why not
    std::unique_ptr<QLocalServer> server;
};

std::optional<std::string> TSingleInstance::SocketFolder(std::string& problem) {
    problem.clear();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && FolderProblem(runtime).empty()) return std::string(runtime);
    // No usable runtime folder: a folder of this user's own in the temporary folder.
    const char* temp = std::getenv("TMPDIR");
    std::string folder = temp && temp[0] == '/' ? temp : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    folder += "/brimlet-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = folder + ": " + std::strerror(errno);
        return std::nullopt;
    }
    problem = FolderProblem(folder);
    if (!problem.empty()) return std::nullopt;
    return folder;
}

std::string TSingleInstance::NameFor(std::string_view programFolder) {
    std::uint64_t hash = 0xcbf29ce484222325ULL; // FNV-1a
    for (char c : programFolder) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char name[64];
    std::snprintf(name, sizeof name, "brimlet-%u-%016llx", static_cast<unsigned>(getuid()),
                  static_cast<unsigned long long>(hash));
    return name;
}

TSingleInstance::TSingleInstance(std::string name) : impl_(std::make_unique<Impl>()) {
    impl_->path = SocketPath(name, impl_->problem);
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim() {
    if (impl_->path.isEmpty()) {
        // Neither asked nor made where another user could answer or take it: the program runs,
        // but a later start does not find it.
        std::fprintf(stderr, "brimlet: no single-instance socket: %s\n", impl_->problem.c_str());
        return true;
    }
    // Ask first: listening would replace a socket that another instance still serves.
    {
        QLocalSocket first;
        first.connectToServer(impl_->path);
        if (first.waitForConnected(kWaitMs)) {
            first.write(kShowRequest);
            first.waitForBytesWritten(kWaitMs);
            first.waitForReadyRead(kWaitMs);
            return false;
        }
    }
    // Nobody answers: whatever socket is there was left by an instance that died.
    QLocalServer::removeServer(impl_->path);
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(impl_->path)) {
        // Without the socket the program still runs; it just cannot be found by a later start.
        std::fprintf(stderr, "brimlet: single-instance socket %s: %s\n",
                     impl_->path.toLocal8Bit().constData(),
                     server->errorString().toLocal8Bit().constData());
        return true;
    }
    QLocalServer* raw = server.get();
    QObject::connect(raw, &QLocalServer::newConnection, raw, [this, raw] {
        while (QLocalSocket* socket = raw->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket,
                             &QLocalSocket::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                const TInstanceRequest request = ReadInstanceRequest(*socket);
                if (request == TInstanceRequest::Wait) return;
                if (request == TInstanceRequest::TooLong) {
                    socket->abort();
                    return;
                }
                if (request == TInstanceRequest::Show) {
                    socket->write(kShowAnswer);
                    socket->flush();
                    if (OnShowRequest) Guarded(nullptr, OnShowRequest);
                }
                socket->disconnectFromServer();
            });
        }
    });
    impl_->server = std::move(server);
    return true;
}

} // namespace vcl
