// The code page of callers' texts follows the environment's locale by the rule that chooses the
// program's message language: a name typed in the program under a Chinese locale reaches the unit
// as the right UTF-8.
#include "msgbox.h"
#include "nas_test_support.h"
#include "nasapi.h"
#include "nassim.h"
#include "text_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

// Sets the three locale variables for the life of the scope and restores them afterwards.
class ScopedLocale {
public:
    ScopedLocale(const char* all, const char* messages, const char* lang) {
        Set("LC_ALL", all);
        Set("LC_MESSAGES", messages);
        Set("LANG", lang);
    }
    ~ScopedLocale() {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
        LanguageIndex = 0;
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(LocaleCodePage, LibraryAndProgramChooseTheSameCodePage) {
    const struct {
        const char* all;
        const char* messages;
        const char* lang;
        const char* codePage;
    } cases[] = {
        {"zh_TW.UTF-8", nullptr, nullptr, "CP950"},
        {"zh_HK", nullptr, "zh_CN.UTF-8", "CP950"}, // LC_ALL before LANG
        {nullptr, "zh_CN.GB2312", "en_US.UTF-8", "CP936"},
        {"", "", "zh_SG.UTF-8", "CP936"}, // empty variables are passed over
        {nullptr, nullptr, "en_GB.UTF-8", "CP1252"},
        {"fr_FR.UTF-8", nullptr, nullptr, "CP1252"}, // no table language: English stays
        {nullptr, nullptr, nullptr, "CP1252"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.all ? c.all : "-") + " " + (c.messages ? c.messages : "-") +
                     " " + (c.lang ? c.lang : "-"));
        ScopedLocale locale(c.all, c.messages, c.lang);
        LanguageIndex = 0;
        SelectLanguage();
        EXPECT_STREQ(AnsiCodePageName(), c.codePage);
        EXPECT_EQ(nas::NetConfig::Defaults().ansiCodePage, c.codePage);
        EXPECT_EQ(nas::NetConfig().ansiCodePage, c.codePage);
    }
}

TEST(LocaleCodePage, ChineseNameTypedInTheProgramReachesTheUnitAsUtf8) {
    const struct {
        const char* locale;
        std::string name; // UTF-8, as typed
    } cases[] = {
        {"zh_TW.UTF-8", "\xE6\xB8\xAC\xE8\xA9\xA6\xE6\xA9\x9F"}, // three traditional characters
        {"zh_CN.UTF-8", "\xE6\xB5\x8B\xE8\xAF\x95\xE6\x9C\xBA"}, // three simplified characters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        ScopedLocale locale(c.locale, nullptr, nullptr);
        SelectLanguage();

        nassim::UnitConfig unitConfig;
        unitConfig.address = nastest::Ipv4(127, 0, 91, 2);
        unitConfig.tcpPort = nassim::FreeTcpPort();
        unitConfig.state.adminPassword = "secret";
        unitConfig.encodingKind = 1; // takes UTF-8 texts only
        nassim::Unit unit(unitConfig);
        // The library's configuration as the program leaves it: only the ports point at the unit.
        nas::NetConfig config = nas::NetConfig::Defaults();
        config.tcpPort = unit.tcpPort();
        config.oneShotReplyMs = 3000;
        nastest::ScopedNetConfig scope(config);

        // The program hands the library its texts in the code page of its message language.
        const std::optional<std::string> typed =
            nas::ConvertText(c.name, nas::kUtf8, AnsiCodePageName());
        ASSERT_TRUE(typed.has_value());
        NasServerSetting setting;
        std::memset(&setting, 0, sizeof setting);
        setting.route = 1;
        setting.mode = 1; // the unit keeps its texts in UTF-8
        std::memcpy(setting.name, typed->data(), typed->size());
        std::strcpy(setting.workgroup, "WORKGROUP");
        std::strcpy(setting.currentPassword, "secret");
        const std::array<uint32_t, 3> addrs{unit.address(), 0, 0};
        ASSERT_EQ(NasApiSetServer(addrs.data(), &setting), 0);

        const auto requests = unit.requestsFor(nassim::kCommandSetServer);
        ASSERT_EQ(requests.size(), 1u);
        const auto& bytes = requests[0].bytes;
        ASSERT_GE(bytes.size(), 256u);
        // The name field: 16 bytes at 240, zero after the text.
        EXPECT_EQ(std::string(nas::FieldText(bytes.data() + 240, 16)), c.name);
    }
}

} // namespace
