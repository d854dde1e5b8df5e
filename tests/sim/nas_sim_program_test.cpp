// The nas-sim program: runs units until SIGTERM and binds nothing outside loopback.
#include "nassim.h"
#include "raw_client.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace simtest;
using nassim::Ipv4;

namespace {

// nas-sim with its standard output and error in one pipe.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        out_ = fds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        args.insert(args.begin(), NAS_SIM_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, NAS_SIM_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0) throw std::runtime_error("posix_spawn");
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        ::close(out_);
    }
    // Output until count newlines have arrived or the stream ends.
    std::string ReadLines(int count) {
        std::string text;
        char c;
        while (count > 0 && ::read(out_, &c, 1) == 1) {
            text += c;
            if (c == '\n') --count;
        }
        return text;
    }
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Signal(int sig) { ::kill(pid_, sig); }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

TEST(NasSimProgram, RunsUnitsThatAnswerAndStopsOnSigterm) {
    const std::uint16_t udp = nassim::FreeUdpPort();
    const std::uint16_t tcp = nassim::FreeTcpPort();
    Program program({"--count", "2", "--first-address", "127.0.0.51", "--udp-port",
                     std::to_string(udp), "--tcp-port", std::to_string(tcp), "--name", "DEMO"});
    const std::string lines = program.ReadLines(3);
    EXPECT_NE(lines.find("DEMO1 at 127.0.0.51"), std::string::npos) << lines;
    EXPECT_NE(lines.find("DEMO2 at 127.0.0.52"), std::string::npos) << lines;
    ASSERT_NE(lines.find("running"), std::string::npos) << lines;

    UdpClient client(Ipv4(127, 0, 0, 1));
    ASSERT_TRUE(client.Send(DiscoveryRequest(), nassim::kLoopbackBroadcast, udp));
    const std::vector<Datagram> replies = client.ReceiveAll(milliseconds(500));
    ASSERT_EQ(replies.size(), 2u);
    for (const Datagram& d : replies)
        EXPECT_EQ(Text(d.bytes, 236, 16).substr(0, 4), "DEMO");

    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), 0);
}

TEST(NasSimProgram, ServesFoldersImagesAndAProfileFromASettingsFile) {
    char dir[] = "/tmp/nassim-program-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string profile = std::string(dir) + "/profile.cfg";
    const std::string settings = std::string(dir) + "/units.conf";
    {
        std::FILE* f = std::fopen(profile.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(std::string(300, 'P').c_str(), f);
        std::fclose(f);
        f = std::fopen(settings.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f,
                     "# two folders and two images\nimage-folder ISO\nimage-folder Music CDs  \n"
                     "image ISO/Holiday\nimage ISO/Sized:3M\nprofile %s\nstore %s/store\n",
                     profile.c_str(), dir);
        std::fclose(f);
        // An image listed without a size takes the size of its file in the store.
        ::mkdir((std::string(dir) + "/store").c_str(), 0700);
        ::mkdir((std::string(dir) + "/store/ISO").c_str(), 0700);
        f = std::fopen((std::string(dir) + "/store/ISO/Holiday").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(std::string(5000, 'H').c_str(), f);
        std::fclose(f);
    }
    const std::uint16_t tcp = nassim::FreeTcpPort();
    Program program({"--first-address", "127.0.0.53", "--udp-port",
                     std::to_string(nassim::FreeUdpPort()), "--tcp-port", std::to_string(tcp),
                     "--settings", settings, "--user", "guest:pw"});
    const std::string lines = program.ReadLines(2);
    ASSERT_NE(lines.find("2 image folders, 2 images"), std::string::npos) << lines;

    auto ask = [&](const Bytes& request, std::size_t head) {
        TcpClient client;
        EXPECT_EQ(client.Connect(Ipv4(127, 0, 0, 53), tcp), 0);
        const Bytes h = client.Exchange(request, head, milliseconds(10000));
        return h.size() == 40 ? client.Read(Get32(h, 36), milliseconds(10000)) : h;
    };
    const Bytes folders = ask(Bare(13), 40);
    ASSERT_EQ(folders.size(), 256u);
    EXPECT_EQ(Text(folders, 8, 120), "ISO");
    EXPECT_EQ(Text(folders, 128 + 8, 120), "Music CDs");
    const Bytes images = ask(Bare(14), 40);
    ASSERT_EQ(images.size(), 2 * 196u);
    EXPECT_EQ(Text(images, 80, 112), "ISO/Holiday");
    EXPECT_EQ(Get32(images, 76), 3u); // 5000 bytes in 2048-byte sectors
    EXPECT_EQ(Text(images, 196 + 80, 112), "ISO/Sized");
    EXPECT_EQ(Get32(images, 196 + 76), 1536u);
    Bytes read = Message(106, 4, 1, true);
    Put32(read, 32, 6);
    EXPECT_EQ(ask(read, 40), Bytes(300, 'P'));
    const Bytes refused =
        ask(WithData(20, 16, AccountData(52, "guest", nassim::PasswordDigest("no"))), 32);
    EXPECT_EQ(Get16(refused, 30), 6);

    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), 0);
    std::filesystem::remove_all(dir);
}

TEST(NasSimProgram, RefusesAddressesOutsideLoopback) {
    const std::vector<std::vector<std::string>> cases = {
        {"--first-address", "192.168.1.5"},
        {"--first-address", "127.255.255.250", "--count", "10"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[1]);
        Program program(args);
        const std::string output = program.ReadLines(5);
        EXPECT_EQ(program.Wait(), 2);
        EXPECT_NE(output.find("only addresses in 127.0.0.0/8"), std::string::npos) << output;
        EXPECT_EQ(output.find("unit 1:"), std::string::npos) << output;
    }
}

} // namespace
