// Start-up: the TCP/IP check through an injected resolver, and one instance per program folder
// across two processes (this test and the real program).
#include "../platform/app_fixture.h"

#include "msgbox.h"
#include "tcpipcheck.h"

#include "vcl/dialog_host.h"
#include "vcl/single_instance.h"
#include "vcl/testing/scripted_responder.h"

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

class FakeResolver : public THostResolver {
public:
    FakeResolver(bool hasName, bool resolves) : hasName_(hasName), resolves_(resolves) {}
    bool LocalHostName(std::string& name) override {
        if (!hasName_) return false;
        name = "unit-host";
        return true;
    }
    bool ResolvesToIPv4(const std::string& name) override {
        asked = name;
        return resolves_;
    }
    std::string asked;

private:
    bool hasName_;
    bool resolves_;
};

class TcpIpTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        saved_ = LanguageIndex;
        LanguageIndex = 0;
    }
    void TearDown() override {
        LanguageIndex = saved_;
        AppTest::TearDown();
    }
    int saved_ = 0;
};

TEST_F(TcpIpTest, AMissingStackIsToldUnderErrorWithTheStopIcon) {
    for (FakeResolver resolver : {FakeResolver(false, true), FakeResolver(true, false)}) {
        vcl::testing::ScriptedResponder responder;
        responder.ExpectBox("No TCP/IP Protocol", vcl::IDOK);
        EXPECT_FALSE(CheckTcpIp(resolver));
        ASSERT_EQ(responder.Boxes().size(), 1u);
        const vcl::TMessageBoxRequest& box = responder.Boxes()[0].Request;
        EXPECT_EQ(box.Text, "No TCP/IP Protocol installed on the system. Quorvik can't work.\n"
                            "Please restart Quorvik after TCP/IP enabled.");
        EXPECT_EQ(box.Caption, "Error");
        EXPECT_EQ(box.Icon, vcl::TBoxIcon::Stop);
        EXPECT_EQ(box.Buttons, vcl::TBoxButtons::Ok);
        EXPECT_EQ(vcl::Application->FormCount(), 0);
    }
}

TEST_F(TcpIpTest, AResolvingHostNamePassesSilently) {
    FakeResolver resolver(true, true);
    vcl::testing::ScriptedResponder responder; // any box would fail the test
    EXPECT_TRUE(CheckTcpIp(resolver));
    EXPECT_EQ(resolver.asked, "unit-host");
}

// A private program folder and runtime folder, so that the instance socket is this test's own.
class SingleInstanceTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        char folder[] = "/tmp/instance-test-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        root_ = folder;
        std::filesystem::create_directories(root_ + "/home");
        std::filesystem::create_directories(root_ + "/run");
        // A runtime folder as the desktop makes it: the user's own, closed to others.
        std::filesystem::permissions(root_ + "/run", std::filesystem::perms::owner_all);
        setenv("BRIMLET_HOME", (root_ + "/home").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root_ + "/run").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        name_ = vcl::TSingleInstance::NameFor(root_ + "/home");
        // The program refuses to start on a host whose name does not resolve.
        if (!TcpIpInstalled(SystemHostResolver())) GTEST_SKIP() << "the host name does not resolve";
    }
    void TearDown() override {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        AppTest::TearDown();
        std::filesystem::remove_all(root_);
    }
    void StartProgram() {
        char* argv[] = {const_cast<char*>(BRIMLET_PROGRAM), nullptr};
        ASSERT_EQ(posix_spawn(&child_, BRIMLET_PROGRAM, nullptr, nullptr, argv, environ), 0);
    }
    // Handles events until the program has ended; its exit status, or -1 after the bound.
    int WaitForProgram() {
        int status = 0;
        const bool ended = PumpUntil([&] { return waitpid(child_, &status, WNOHANG) == child_; });
        if (!ended) return -1;
        child_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string SocketPath() const { return root_ + "/run/" + name_; }

    std::string root_;
    std::string name_;
    pid_t child_ = 0;
};

TEST_F(SingleInstanceTest, ASecondStartAsksTheFirstToShowItselfAndEnds) {
    vcl::TSingleInstance first(name_);
    int requests = 0;
    first.OnShowRequest = [&] { ++requests; };
    ASSERT_TRUE(first.Claim());

    StartProgram();
    EXPECT_EQ(WaitForProgram(), 0);
    EXPECT_EQ(requests, 1);
}

TEST_F(SingleInstanceTest, TheRunningProgramIsFoundByALaterStart) {
    StartProgram();
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(SocketPath()); }));
    vcl::TSingleInstance second(name_);
    EXPECT_FALSE(second.Claim());
    // The program keeps running: it was not the one to end.
    int status = 0;
    EXPECT_EQ(waitpid(child_, &status, WNOHANG), 0);
}

TEST_F(SingleInstanceTest, ASocketLeftByADeadInstanceIsTakenOver) {
    // A socket file that nobody listens on, as a crashed program leaves it.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(SocketPath().size(), sizeof address.sun_path);
    SocketPath().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    ASSERT_TRUE(std::filesystem::exists(SocketPath()));

    vcl::TSingleInstance first(name_);
    EXPECT_TRUE(first.Claim());
    // The program started now finds this instance listening there.
    int requests = 0;
    first.OnShowRequest = [&] { ++requests; };
    StartProgram();
    EXPECT_EQ(WaitForProgram(), 0);
    EXPECT_EQ(requests, 1);
}

TEST(SingleInstanceName, FoldersAndUsersGetTheirOwnNames) {
    EXPECT_EQ(vcl::TSingleInstance::NameFor("/a"), vcl::TSingleInstance::NameFor("/a"));
    EXPECT_NE(vcl::TSingleInstance::NameFor("/a"), vcl::TSingleInstance::NameFor("/b"));
    EXPECT_NE(vcl::TSingleInstance::NameFor("/a").find("-" + std::to_string(getuid()) + "-"),
              std::string::npos);
}

} // namespace
