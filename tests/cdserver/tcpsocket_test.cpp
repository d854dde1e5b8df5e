// The socket manager: its session limit and codes, host-name look-up, and the session's handle
// rules (never descriptor 0, closed once).
#include "tcpsocket.h"
#include "tovexcdh_config.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d) != nullptr)
            ++n;
        ::closedir(d);
    }
    return n;
}

class TcpSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        CdhNetConfig config;
        config.hostName = "cdh-test-host";
        config.resolveHost = [this](const std::string& name) -> std::optional<std::uint32_t> {
            askedName = name;
            return resolved;
        };
        SetCdhConfig(config);
    }
    void TearDown() override { ResetCdhConfig(); }

    std::optional<std::uint32_t> resolved = 0x7F000001u;
    std::string askedName;
};

TEST_F(TcpSocketTest, StartsAndLearnsTheOwnAddress) {
    TTcpSocket manager(0x0101);
    EXPECT_EQ(manager.Started, 1u);
    EXPECT_EQ(manager.LastError, 0u);
    EXPECT_EQ(manager.Version, 0x0101);
    EXPECT_EQ(askedName, "cdh-test-host");
    EXPECT_STREQ(manager.HostName, "cdh-test-host");
    EXPECT_STREQ(manager.OwnAddress, "127.0.0.1");
}

TEST_F(TcpSocketTest, AFailedLookUpKeepsZeroAddressButStaysStarted) {
    resolved = std::nullopt;
    TTcpSocket manager(0x0101);
    EXPECT_EQ(manager.Started, 1u);
    EXPECT_EQ(manager.LastError, kTcpNoHostAddress);
    EXPECT_STREQ(manager.OwnAddress, "0.0.0.0");
}

TEST_F(TcpSocketTest, AnUnsupportedVersionDoesNotStart) {
    TTcpSocket manager(0x0100); // major version 0
    EXPECT_EQ(manager.Started, 0u);
    EXPECT_EQ(manager.LastError, kTcpStartFailed);
}

TEST_F(TcpSocketTest, The256thSessionIsRefusedWithoutOpeningASocket) {
    TTcpSocket manager(0x0101);
    std::vector<TTcpSession*> sessions;
    for (std::uint32_t i = 0; i < TTcpSocket::MaxSessions; ++i) {
        TTcpSession* s = nullptr;
        ASSERT_EQ(manager.CreateSession(AF_INET, SOCK_DGRAM, 0, &s), kTcpOk) << i;
        sessions.push_back(s);
    }
    EXPECT_EQ(manager.SessionCount, 255u);
    const int before = OpenDescriptors();
    TTcpSession* extra = nullptr;
    EXPECT_EQ(manager.CreateSession(AF_INET, SOCK_DGRAM, 0, &extra), kTcpTooManySessions);
    EXPECT_EQ(extra, nullptr);
    EXPECT_EQ(manager.LastError, kTcpTooManySessions);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(manager.SessionCount, 255u);

    // One released: there is room for one again.
    ASSERT_EQ(manager.ReleaseSession(sessions.back()), kTcpOk);
    EXPECT_EQ(manager.CreateSession(AF_INET, SOCK_DGRAM, 0, &extra), kTcpOk);
}

TEST_F(TcpSocketTest, ReleaseOfTheOnlySessionAndOfForeignSessions) {
    TTcpSocket manager(0x0101);
    TTcpSocket other(0x0101);
    TTcpSession* only = nullptr;
    TTcpSession* foreign = nullptr;
    ASSERT_EQ(manager.CreateSession(AF_INET, SOCK_STREAM, 0, &only), kTcpOk);
    ASSERT_EQ(other.CreateSession(AF_INET, SOCK_STREAM, 0, &foreign), kTcpOk);
    const int handle = only->Handle;

    // The only session stands at index 0: it is closed, freed and removed.
    EXPECT_EQ(manager.ReleaseSession(only), kTcpOk);
    EXPECT_EQ(manager.SessionCount, 0u);
    EXPECT_EQ(::fcntl(handle, F_GETFD), -1);

    // A session this manager never handed out is refused and left open.
    EXPECT_EQ(manager.ReleaseSession(foreign), kTcpNotInList);
    EXPECT_EQ(manager.ReleaseSession(nullptr), kTcpNotInList);
    EXPECT_EQ(manager.SessionCount, 0u);
    EXPECT_EQ(foreign->Valid, 1u);
    EXPECT_NE(::fcntl(foreign->Handle, F_GETFD), -1);
}

TEST_F(TcpSocketTest, ASessionHandleIsNeverDescriptorZero) {
    TTcpSocket manager(0x0101);
    const int savedStdin = ::dup(0);
    ASSERT_GE(savedStdin, 0);
    ::close(0);
    TTcpSession* s = nullptr;
    const std::uint32_t code = manager.CreateSession(AF_INET, SOCK_DGRAM, 0, &s);
    const int handle = code == kTcpOk ? s->Handle : -1;
    ::dup2(savedStdin, 0);
    ::close(savedStdin);
    ASSERT_EQ(code, kTcpOk);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(::fcntl(handle, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
}

TEST_F(TcpSocketTest, CloseClosesOnceSoAReusedNumberSurvives) {
    TTcpSocket manager(0x0101);
    TTcpSession* s = nullptr;
    ASSERT_EQ(manager.CreateSession(AF_INET, SOCK_DGRAM, 0, &s), kTcpOk);
    const int handle = s->Handle;
    EXPECT_EQ(s->Close(), 0);
    EXPECT_EQ(s->Valid, 0u);
    // The number is given to a new file; a second Close (and the release) must leave it alone.
    const int reused = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(reused, handle);
    EXPECT_EQ(s->Close(), 0);
    EXPECT_EQ(s->Bind(nullptr, 0), kTcpInvalidSession);
    EXPECT_EQ(manager.ReleaseSession(s), kTcpOk);
    EXPECT_NE(::fcntl(reused, F_GETFD), -1);
    ::close(reused);
}

TEST_F(TcpSocketTest, ConnectToAPortNobodyListensOnFailsAtOnce) {
    TTcpSocket manager(0x0101);
    TTcpSession* s = nullptr;
    ASSERT_EQ(manager.CreateSession(AF_INET, SOCK_STREAM, 0, &s), kTcpOk);
    // Take a free port and let it go: nothing listens there.
    int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(0x7F000001u);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    socklen_t len = sizeof sa;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&sa), &len);
    ::close(probe);
    EXPECT_EQ(s->Connect(reinterpret_cast<sockaddr*>(&sa), sizeof sa, 2000), -1);
    EXPECT_EQ(s->Connected, 0u);
}

} // namespace
