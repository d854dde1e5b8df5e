// The folder of the single-instance socket: the desktop's runtime folder when it is the user's
// own and closed, else a private folder of the user's in the temporary folder, made closed and
// checked; a folder another user could reach is never used.
#include "vcl/single_instance.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class SocketFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/socket-folder-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::unsetenv("XDG_RUNTIME_DIR");
        ::setenv("TMPDIR", root_.c_str(), 1);
    }
    void TearDown() override {
        const char* names[] = {"XDG_RUNTIME_DIR", "TMPDIR"};
        for (int i = 0; i < 2; ++i) {
            if (saved_[i])
                ::setenv(names[i], saved_[i]->c_str(), 1);
            else
                ::unsetenv(names[i]);
        }
        fs::remove_all(root_);
    }
    std::string Private() const { return root_ + "/brimlet-" + std::to_string(::getuid()); }
    static mode_t Mode(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    }

    std::string root_;
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(SocketFolderTest, WithoutARuntimeFolderAPrivateOneIsMadeAndUsedAgain) {
    std::string problem;
    const auto folder = vcl::TSingleInstance::SocketFolder(problem);
    ASSERT_TRUE(folder.has_value()) << problem;
    EXPECT_EQ(*folder, Private());
    EXPECT_EQ(Mode(*folder), 0700u);
    // A second start finds the same folder.
    EXPECT_EQ(vcl::TSingleInstance::SocketFolder(problem), folder);
}

TEST_F(SocketFolderTest, ARuntimeFolderIsUsedOnlyWhenClosed) {
    const std::string runtime = root_ + "/run";
    fs::create_directory(runtime);
    ::chmod(runtime.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::string problem;
    EXPECT_EQ(vcl::TSingleInstance::SocketFolder(problem), runtime);
    // Open to others: the private folder instead.
    ::chmod(runtime.c_str(), 0755);
    EXPECT_EQ(vcl::TSingleInstance::SocketFolder(problem), Private());
    ::setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    EXPECT_EQ(vcl::TSingleInstance::SocketFolder(problem), Private());
}

TEST_F(SocketFolderTest, AFolderOthersCouldReachIsRefusedWithTheReason) {
    struct Case {
        const char* what;
        void (*make)(const std::string& path, const std::string& root);
        const char* reason;
    };
    const Case cases[] = {
        {"open folder",
         [](const std::string& path, const std::string&) {
             fs::create_directory(path);
             ::chmod(path.c_str(), 0755);
         },
         "open to other users"},
        {"link to a closed folder",
         [](const std::string& path, const std::string& root) {
             fs::create_directory(root + "/elsewhere");
             ::chmod((root + "/elsewhere").c_str(), 0700);
             fs::create_directory_symlink(root + "/elsewhere", path);
         },
         "is not a folder"},
        {"file",
         [](const std::string& path, const std::string&) {
             std::FILE* f = std::fopen(path.c_str(), "w");
             if (f) std::fclose(f);
         },
         "is not a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Private());
        fs::remove_all(root_ + "/elsewhere");
        c.make(Private(), root_);
        std::string problem;
        EXPECT_EQ(vcl::TSingleInstance::SocketFolder(problem), std::nullopt);
        EXPECT_NE(problem.find(Private()), std::string::npos) << problem;
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
    }
    // A closed folder of another user, where the test may give one away.
    fs::remove_all(Private());
    fs::create_directory(Private());
    ::chmod(Private().c_str(), 0700);
    if (::chown(Private().c_str(), 65534, 65534) != 0) GTEST_SKIP() << "cannot give a folder away";
    std::string problem;
    EXPECT_EQ(vcl::TSingleInstance::SocketFolder(problem), std::nullopt);
    EXPECT_NE(problem.find("belongs to another user"), std::string::npos) << problem;
}

} // namespace
