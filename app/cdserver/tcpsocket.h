// The CD-server client's sockets: TTcpSocket, the one manager per run that learns the own host
// name and address and owns every open socket (at most 255), and TTcpSession, one socket with its
// last result. Failures are small integer codes, never exceptions.
//
// Sockets are non-blocking with close-on-exec; callers wait with poll and a deadline. A session's
// handle is never descriptor 0, so that 0 can mean "no socket".
#pragma once

#include "linklist.h"

#include <cstddef>
#include <cstdint>
#include <sys/socket.h>

// Manager codes (its last error and the results of its operations).
enum TcpSocketCode : std::uint32_t {
    kTcpOk = 0,
    kTcpNoMemory = 1,        // a session could not be allocated
    kTcpStartFailed = 2,     // the requested sockets version is not supported
    kTcpNoHostAddress = 3,   // the own host name has no IPv4 address ("0.0.0.0" kept)
    kTcpNoSocket = 4,        // the socket could not be created
    kTcpNotInList = 5,       // release of a session that the manager does not hold
    kTcpTooManySessions = 7, // 255 sessions are open already
    kTcpCountZero = 8,       // release while the session count is 0
    kTcpInvalidSession = 9,  // an operation on a session whose socket was never created
};

class TTcpSession {
public:
    ~TTcpSession();
    TTcpSession(const TTcpSession&) = delete;
    TTcpSession& operator=(const TTcpSession&) = delete;

    // Each operation keeps its result in LastError and returns it: 0 success, -1 failure,
    // kTcpInvalidSession when the socket was never created.
    int Bind(const sockaddr* address, socklen_t length);
    int SetOption(int level, int option, const void* value, socklen_t length);
    // One datagram, whole or not at all.
    int SendTo(const void* buffer, std::size_t length, int flags, const sockaddr* destination,
               socklen_t destinationLength);
    // One datagram of at most length bytes; *received (when given) is its size.
    int ReceiveFrom(void* buffer, std::size_t length, int flags, sockaddr* source,
                    socklen_t* sourceLength, std::size_t* received = nullptr);
    // Connects within waitMs milliseconds; success sets Connected.
    int Connect(const sockaddr* address, socklen_t length, int waitMs);
    // Closes the socket (once); result 0.
    int Close();

    std::uint32_t Valid = 0;     // 1 while the socket exists
    std::uint32_t Connected = 0; // 1 between a successful Connect and Close
    std::int32_t LastError = 0;
    int Handle = -1;

private:
    friend class TTcpSocket;
    TTcpSession(int family, int type, int protocol);
    int Keep(int result) { return LastError = result; }
};

class TTcpSocket {
public:
    static constexpr std::uint32_t MaxSessions = 255;

    // Starts the sockets layer for the requested version (low byte major, high byte minor; a
    // major version of 0 is not supported: code 2) and learns the own host name and address.
    explicit TTcpSocket(std::uint16_t requestedVersion);
    // Closes and frees every session.
    ~TTcpSocket();
    TTcpSocket(const TTcpSocket&) = delete;
    TTcpSocket& operator=(const TTcpSocket&) = delete;

    // A new socket (socket(2) arguments); *session is set only on success (code 0).
    std::uint32_t CreateSession(int family, int type, int protocol, TTcpSession** session);
    // Closes and frees a session that this manager handed out.
    std::uint32_t ReleaseSession(TTcpSession* session);

    std::uint32_t Started = 0;
    std::uint32_t LastError = 0;
    std::uint16_t Version = 0;
    std::uint16_t HighVersion = 0;
    std::uint32_t SessionCount = 0;
    std::uint32_t MaxSockets = 0;
    std::uint32_t MaxUdpDatagram = 0;
    char HostName[128] = {};
    char OwnAddress[16] = {}; // dotted IPv4, "0.0.0.0" when the look-up failed
    char Description[257] = {};
    char SystemStatus[129] = {};

private:
    TLinkList sessions_{32};
};

// The program's one manager; made by the CD-server list or the facade on first use, freed by the
// list's destructor.
extern TTcpSocket* TcpSocketManager;
