// The shell: only web, mail and share addresses reach the desktop; shares turn into smb://
// addresses; the help file is found in the program folder.
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

TEST(Shell, AddressFilter) {
    struct Case {
        const char* address;
        const char* url; // null: refused
    };
    const Case cases[] = {
        {"http://127.0.0.5/admin/", "http://127.0.0.5/admin/"},
        {"HTTPS://example.test/a?b=c", "HTTPS://example.test/a?b=c"},
        {"  http://127.0.0.5/  ", "http://127.0.0.5/"},
        {"mailto:help@example.test", "mailto:help@example.test"},
        {"smb://127.0.0.7/share", "smb://127.0.0.7/share"},
        {"\\\\127.0.0.7", "smb://127.0.0.7/"},
        {"\\\\nas-1\\images\\cd 1", nullptr}, // a blank is no part of an address
        {"\\\\nas-1\\images\\cd1", "smb://nas-1/images/cd1"},
        {"\\\\bad/host", nullptr},
        {"\\\\", nullptr},
        {"http://", nullptr},
        {"http:///path", nullptr},
        {"mailto:", nullptr},
        {"file:///etc/passwd", nullptr},
        {"javascript:alert(1)", nullptr},
        {"ftp://127.0.0.5/", nullptr},
        {"/usr/bin/xterm", nullptr},
        {"www.example.test", nullptr},
        {"http://a\nb", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const auto url = platform::ShellUrl(c.address);
        if (c.url)
            EXPECT_EQ(url.value_or("<refused>"), c.url) << c.address;
        else
            EXPECT_FALSE(url.has_value()) << c.address << " gave " << *url;
    }
}

TEST(Shell, OpensThroughTheCurrentHandlerOnly) {
    platform::RecordingShell shell;
    EXPECT_TRUE(platform::ShellOpen("\\\\127.0.0.9"));
    EXPECT_FALSE(platform::ShellOpen("file:///etc/passwd"));
    shell.Result = false; // the desktop could not
    EXPECT_FALSE(platform::ShellOpen("http://127.0.0.9/"));
    EXPECT_EQ(shell.Opened, (std::vector<std::string>{"smb://127.0.0.9/", "http://127.0.0.9/"}));
}

TEST(Shell, HelpFileComesFromTheProgramFolder) {
    char pattern[] = "/tmp/shell_home.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    ::setenv("BRIMLET_HOME", pattern, 1);
    std::ofstream(std::string(pattern) + "/Help.chm") << "help";
    platform::RecordingShell shell;
    EXPECT_TRUE(platform::ShellOpenHelp("Help.chm"));
    EXPECT_FALSE(platform::ShellOpenHelp("Missing.chm"));
    EXPECT_FALSE(platform::ShellOpenHelp("../Help.chm"));
    EXPECT_FALSE(platform::ShellOpenHelp(""));
    EXPECT_EQ(shell.Opened,
              std::vector<std::string>{"file://" + std::string(pattern) + "/Help.chm"});
    // Where it is looked for: the program folder first; a name with a folder in it nowhere.
    EXPECT_EQ(platform::FindHelpFile("Help.chm"), std::string(pattern) + "/Help.chm");
    EXPECT_EQ(platform::FindHelpFile("Missing.chm"), std::nullopt);
    const std::vector<std::string> places = platform::HelpFilePlaces("Missing.chm");
    ASSERT_FALSE(places.empty());
    EXPECT_EQ(places.front(), std::string(pattern) + "/Missing.chm");
    EXPECT_TRUE(platform::HelpFilePlaces("../Help.chm").empty());
    std::filesystem::remove_all(pattern);
}

} // namespace
