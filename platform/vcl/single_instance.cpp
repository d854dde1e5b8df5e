#include "vcl/single_instance.h"

#include "vcl/application.h"

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace vcl {

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShowAnswer[] = "ok\n";
constexpr int kWaitMs = 2000;

// The socket path: in the user's runtime folder when the desktop gives one, else under the name
// alone, which the toolkit places in the temporary folder.
QString SocketPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return QString::fromStdString(std::string(runtime) + "/" + name);
    return QString::fromStdString(name);
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
    QString path;
    std::unique_ptr<QLocalServer> server;
};

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
    impl_->path = SocketPath(name);
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim() {
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
