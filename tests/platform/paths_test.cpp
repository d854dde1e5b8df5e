#include "paths/paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/paths-test-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root_ = templ;
        unsetenv("BRIMLET_HOME");
        unsetenv("XDG_CONFIG_HOME");
        setenv("HOME", (root_ + "/home").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string root_;
};

TEST_F(PathsTest, ProgramFolderIsChosenFromTheEnvironmentAndMade) {
    const std::string unset = "<unset>";
    const struct {
        std::string brimletHome;
        std::string xdgConfigHome;
        std::string expected;
    } cases[] = {
        {unset, unset, root_ + "/home/.config/brimlet"},
        {unset, "", root_ + "/home/.config/brimlet"},
        {unset, "relative/cfg", root_ + "/home/.config/brimlet"}, // not absolute: ignored
        {unset, root_ + "/xdg/", root_ + "/xdg/brimlet"},
        {root_ + "/own//", root_ + "/xdg", root_ + "/own"},
    };
    auto put = [&](const char* name, const std::string& value) {
        if (value == unset)
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    };
    for (const auto& c : cases) {
        put("BRIMLET_HOME", c.brimletHome);
        put("XDG_CONFIG_HOME", c.xdgConfigHome);
        EXPECT_EQ(platform::ProgramFolder(), c.expected);
        EXPECT_TRUE(fs::is_directory(c.expected)) << c.expected;
    }
    EXPECT_EQ(platform::ProgramFilePath("brimlet.ini"), root_ + "/own/brimlet.ini");
    struct stat st {};
    ASSERT_EQ(stat((root_ + "/xdg/brimlet").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u); // made for the owner only
}

TEST_F(PathsTest, WorkFolderIsPrivateAndRemovedAtExit) {
    setenv("TMPDIR", root_.c_str(), 1);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child makes its work folder, leaves a file in it and exits normally.
        const std::string folder = platform::WorkFolder();
        std::ofstream(folder + "/work.tmp") << "data";
        bool same = platform::WorkFolder() == folder;
        std::string report = (same ? "1" : "0") + folder;
        if (write(fds[1], report.data(), report.size()) < 0) _exit(2);
        std::exit(0);
    }
    close(fds[1]);
    char buf[4096];
    ssize_t n = read(fds[0], buf, sizeof buf);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_GT(n, 1);
    const std::string report(buf, static_cast<size_t>(n));
    EXPECT_EQ(report[0], '1'); // one folder for the whole run
    const std::string folder = report.substr(1);
    EXPECT_EQ(folder.rfind(root_ + "/brimlet-", 0), 0u) << folder;
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_FALSE(fs::exists(folder)) << folder;

    // Here too: made with mode 0700.
    const std::string mine = platform::WorkFolder();
    struct stat st {};
    ASSERT_EQ(stat(mine.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

} // namespace
