#include "tcpsocket.h"

#include "tovexcdh_config.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <new>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

TTcpSocket* TcpSocketManager = nullptr;

namespace {

// The largest UDP payload over IPv4.
constexpr std::uint32_t kMaxUdpPayload = 65507;

// Moves a descriptor off 0, which callers use for "no socket".
int AvoidZero(int fd) {
    if (fd != 0) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

std::optional<std::uint32_t> SystemResolve(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    std::optional<std::uint32_t> address;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in sa;
            std::memcpy(&sa, a->ai_addr, sizeof sa);
            address = ntohl(sa.sin_addr.s_addr);
            break;
        }
    }
    ::freeaddrinfo(found);
    return address;
}

void CopyText(char* field, std::size_t width, const char* text) {
    std::snprintf(field, width, "%s", text);
}

} // namespace

// ---- TTcpSession ----

TTcpSession::TTcpSession(int family, int type, int protocol) {
    const int fd = ::socket(family, type | SOCK_CLOEXEC | SOCK_NONBLOCK, protocol);
    if (fd < 0) {
        LastError = kTcpNoSocket;
        return;
    }
    Handle = AvoidZero(fd);
    if (Handle < 0) {
        LastError = kTcpNoSocket;
        return;
    }
    Valid = 1;
}

TTcpSession::~TTcpSession() {
    Close();
}

int TTcpSession::Bind(const sockaddr* address, socklen_t length) {
    if (!Valid) return Keep(kTcpInvalidSession);
    return Keep(::bind(Handle, address, length) == 0 ? 0 : -1);
}

int TTcpSession::SetOption(int level, int option, const void* value, socklen_t length) {
    if (!Valid) return Keep(kTcpInvalidSession);
    return Keep(::setsockopt(Handle, level, option, value, length) == 0 ? 0 : -1);
}

int TTcpSession::SendTo(const void* buffer, std::size_t length, int flags,
                        const sockaddr* destination, socklen_t destinationLength) {
    if (!Valid) return Keep(kTcpInvalidSession);
    ssize_t sent;
    do {
        sent =
            ::sendto(Handle, buffer, length, flags | MSG_NOSIGNAL, destination, destinationLength);
    } while (sent < 0 && errno == EINTR);
    return Keep(sent == static_cast<ssize_t>(length) ? 0 : -1);
}

int TTcpSession::ReceiveFrom(void* buffer, std::size_t length, int flags, sockaddr* source,
                             socklen_t* sourceLength, std::size_t* received) {
    if (received != nullptr) *received = 0;
    if (!Valid) return Keep(kTcpInvalidSession);
    ssize_t n;
    do {
        n = ::recvfrom(Handle, buffer, length, flags, source, sourceLength);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Keep(-1);
    if (received != nullptr) *received = static_cast<std::size_t>(n);
    return Keep(0);
}

int TTcpSession::Connect(const sockaddr* address, socklen_t length, int waitMs) {
    if (!Valid) return Keep(kTcpInvalidSession);
    // An interrupted connect goes on in the background, like one in progress.
    const int rc = ::connect(Handle, address, length);
    if (rc < 0 && errno != EINPROGRESS && errno != EINTR) return Keep(-1);
    if (rc < 0) {
        // In progress: wait for the outcome within the deadline. A refused connection reports
        // writable too, so the socket's own error decides.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return Keep(-1);
            pollfd p{Handle, POLLOUT, 0};
            const int n = ::poll(&p, 1, static_cast<int>(left.count()));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return Keep(-1);
            break;
        }
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(Handle, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0)
            return Keep(-1);
    }
    Connected = 1;
    return Keep(0);
}

int TTcpSession::Close() {
    // The descriptor is closed once: afterwards the session is no longer valid, so a second
    // Close (the destructor's) cannot close a number that has been reused meanwhile.
    if (Valid) {
        ::close(Handle);
        Handle = -1;
        Valid = 0;
        Connected = 0;
    }
    return Keep(0);
}

// ---- TTcpSocket ----

TTcpSocket::TTcpSocket(std::uint16_t requestedVersion) {
    if ((requestedVersion & 0xFF) == 0) {
        LastError = kTcpStartFailed;
        return;
    }
    Started = 1;
    Version = requestedVersion;
    HighVersion = requestedVersion;
    rlimit files{};
    MaxSockets = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 0xFFFFFFFFu
                     ? static_cast<std::uint32_t>(files.rlim_cur)
                     : 0xFFFFFFFFu;
    MaxUdpDatagram = kMaxUdpPayload;
    CopyText(Description, sizeof Description, "POSIX sockets");
    CopyText(SystemStatus, sizeof SystemStatus, "Running");

    const CdhNetConfig& config = CurrentCdhConfig();
    if (config.hostName) {
        CopyText(HostName, sizeof HostName, config.hostName->c_str());
    } else if (::gethostname(HostName, sizeof HostName) != 0) {
        HostName[0] = '\0';
    }
    HostName[sizeof HostName - 1] = '\0';

    const std::optional<std::uint32_t> own = HostName[0] == '\0'  ? std::nullopt
                                             : config.resolveHost ? config.resolveHost(HostName)
                                                                  : SystemResolve(HostName);
    if (own) {
        in_addr a{htonl(*own)};
        inet_ntop(AF_INET, &a, OwnAddress, sizeof OwnAddress);
    } else {
        CopyText(OwnAddress, sizeof OwnAddress, "0.0.0.0");
        LastError = kTcpNoHostAddress;
    }
}

TTcpSocket::~TTcpSocket() {
    for (int i = 0; i < sessions_.Count(); ++i)
        delete static_cast<TTcpSession*>(sessions_.Item(i));
    sessions_.Clear();
    SessionCount = 0;
}

std::uint32_t TTcpSocket::CreateSession(int family, int type, int protocol, TTcpSession** session) {
    if (SessionCount >= MaxSessions) return LastError = kTcpTooManySessions;
    TTcpSession* created = new (std::nothrow) TTcpSession(family, type, protocol);
    if (created == nullptr) return LastError = kTcpNoMemory;
    if (!created->Valid) {
        const std::uint32_t code = static_cast<std::uint32_t>(created->LastError);
        delete created;
        return LastError = code;
    }
    sessions_.Add(created);
    ++SessionCount;
    *session = created;
    return kTcpOk;
}

std::uint32_t TTcpSocket::ReleaseSession(TTcpSession* session) {
    const int index = session == nullptr ? -1 : sessions_.IndexOf(session);
    if (index < 0) return LastError = kTcpNotInList;
    if (SessionCount == 0) return LastError = kTcpCountZero;
    sessions_.Remove(index);
    delete session;
    --SessionCount;
    return kTcpOk;
}
