// The CD-server password query against a simulated CD server, with a scripted user: which
// passwords are checked in which order and as what, when the dialog and the retry question show,
// what is kept afterwards, and how refusals, cancels and communication errors end the query.
#include "cdh_password.h"
#include "cdh_test_support.h"

#include "form1.h"
#include "msgbox.h"
#include "password.h"

#include "vcl/application.h"
#include "vcl/testing/scripted_responder.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using cdhtest::ClientTest;

constexpr std::uint32_t kAdminOpensAll = 1u << 0;   // capability flags bit 0
constexpr std::uint32_t kMirrorSuffices = 1u << 29; // capability flags bit 29

// One password check the server received: kind, argument and the text whose digest it carried.
struct Sent {
    int kind;
    int argument;
    std::string password;
};

// What the user meets, in order.
enum class Act { Type, Cancel, RetryYes, RetryNo };
struct Step {
    Act act;
    std::string text; // the typed password
};

cdsim::ServerConfig Tables() {
    cdsim::ServerConfig c;
    c.adminPassword = "admin1";
    c.mirrorPassword = "mirror2";
    c.groupPasswords[7] = "admin1"; // group "sales" shares the administrator password
    c.groupPasswords[9] = "share3"; // group "docs"
    c.status.groupCount = 2;
    c.groups = {{"sales", 7, 1, 0}, {"docs", 9, 1, 0}};
    return c;
}

class PasswordQueryTest : public ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app_ = std::make_unique<vcl::TApplication>();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        vcl::Application->CreateForm(Form_Password);
        vcl::Application->CreateForm(Form1);
        server = StartServer(Tables());
    }
    void TearDown() override {
        server.reset();
        delete Form_Password;
        delete Form1;
        Form1 = nullptr;
        LanguageIndex = savedLanguage_;
        app_.reset();
        ClientTest::TearDown();
    }

    // A record of the simulated server with its group list loaded and the given kept passwords.
    std::unique_ptr<TCdhSvr> Record(std::uint32_t capabilities, const char* admin,
                                    const char* mirror) {
        auto record = RecordFor(2);
        std::strcpy(record->Name, "TOWER");
        record->Capabilities = capabilities;
        std::strcpy(record->Password, admin);
        std::strcpy(record->SecondPassword, mirror);
        EXPECT_EQ(CdhNetClass().RefreshGroupList(record.get()), kCdhfOk);
        return record;
    }

    // The password checks (command 19) the server received, decoded.
    std::vector<Sent> Checks() const {
        std::vector<Sent> out;
        for (const cdsim::Request& r : server->requests()) {
            if (r.command != cdsim::kPassword) continue;
            EXPECT_EQ(r.payload.size(), cdsim::kPasswordBlockSize);
            if (r.payload.size() != cdsim::kPasswordBlockSize) continue;
            out.push_back({cdsim::GetU16(r.payload.data()), cdsim::GetU16(r.payload.data() + 2),
                           DigestedText(r.payload.data() + 4)});
        }
        return out;
    }

    // The text among those a test uses whose digest this is, or "?".
    std::string DigestedText(const std::uint8_t* digest) const {
        for (const std::string& text : candidates)
            if (cdsim::PasswordDigest(text) == Digest(digest)) return text;
        return "?";
    }
    static std::array<std::uint8_t, 16> Digest(const std::uint8_t* p) {
        std::array<std::uint8_t, 16> d{};
        std::memcpy(d.data(), p, d.size());
        return d;
    }

    // Scripts the user's steps; the dialog's and the question's texts are checked on the way.
    void Script(vcl::testing::ScriptedResponder& responder, const std::vector<Step>& steps,
                const std::string& caption, const std::string& prompt,
                const std::string& question) {
        for (const Step& step : steps) {
            switch (step.act) {
            case Act::Type:
            case Act::Cancel:
                responder.ExpectModal("Form_Password", [=](vcl::TForm& form) {
                    auto& dialog = dynamic_cast<TForm_Password&>(form);
                    EXPECT_EQ(dialog.GetCaption(), caption);
                    EXPECT_EQ(dialog.Label_Prompt->GetCaption(), prompt);
                    EXPECT_EQ(dialog.Edit_Password->GetText(), "");
                    if (step.act == Act::Cancel) return dialog.Button_Cancel->Click();
                    dialog.Edit_Password->SetText(step.text);
                    dialog.Button_Ok->Click();
                });
                break;
            case Act::RetryYes:
            case Act::RetryNo:
                responder.ExpectModal("Form1", [=](vcl::TForm& form) {
                    auto& box = dynamic_cast<TForm1&>(form);
                    EXPECT_EQ(box.GetCaption(), "Error");
                    EXPECT_EQ(box.Label1->GetCaption(), question);
                    EXPECT_TRUE(box.Button2->GetVisible()); // Yes
                    EXPECT_TRUE(box.Button4->GetVisible()); // No
                    (step.act == Act::RetryYes ? box.Button2 : box.Button4)->Click();
                });
                break;
            }
        }
    }

    std::unique_ptr<cdsim::Server> server;
    // Digests are of upper-cased texts: lower-case candidates name them all.
    std::vector<std::string> candidates = {"",        "old",    "nope", "admin1",
                                           "mirror2", "share3", "wrong"};

private:
    std::unique_ptr<vcl::TApplication> app_;
    int savedLanguage_ = 0;
};

void ExpectChecks(const std::vector<Sent>& got, const std::vector<Sent>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("check " + std::to_string(i));
        EXPECT_EQ(got[i].kind, want[i].kind);
        EXPECT_EQ(got[i].argument, want[i].argument);
        EXPECT_EQ(got[i].password, want[i].password);
    }
}

Step Type(const char* text) {
    return {Act::Type, text};
}
const Step kCancel{Act::Cancel, ""};
const Step kRetry{Act::RetryYes, ""};
const Step kGiveUp{Act::RetryNo, ""};

TEST_F(PasswordQueryTest, DecisionTable) {
    struct Query {
        int kind;
        int group; // index into the group list: 0 sales (id 7), 1 docs (id 9)
        std::uint32_t capabilities;
        const char* keptAdmin;
        const char* keptMirror;
    };
    struct Kept {
        const char* mirror; // null: not checked
        const char* third;
    };
    struct Case {
        const char* what;
        Query query;
        std::vector<Step> steps;
        bool result;
        std::vector<Sent> checks;
        Kept after;
    };
    const Case cases[] = {
        // Administrator password.
        {"kept administrator password accepted",
         {0, 0, 0, "ADMIN1", ""},
         {},
         true,
         {{0, 0, "admin1"}},
         {}},
        {"kept refused, the typed one accepted",
         {0, 0, 0, "OLD", ""},
         {Type("admin1")},
         true,
         {{0, 0, "old"}, {0, 0, "admin1"}},
         {}},
        {"prompt cancelled", {0, 0, 0, "", ""}, {kCancel}, false, {{0, 0, ""}}, {}},
        {"wrong, try again, right",
         {0, 0, 0, "", ""},
         {Type("nope"), kRetry, Type("ADMIN1")},
         true,
         {{0, 0, ""}, {0, 0, "nope"}, {0, 0, "admin1"}},
         {}},
        {"wrong, no retry",
         {0, 0, 0, "", ""},
         {Type("nope"), kGiveUp},
         false,
         {{0, 0, ""}, {0, 0, "nope"}},
         {}},

        // Mirror password.
        {"administrator password opens the mirror: never asked",
         {1, 0, kAdminOpensAll, "ADMIN1", ""},
         {},
         true,
         {{0, 0, "admin1"}},
         {"ADMIN1", nullptr}},
        {"administrator and kept mirror accepted",
         {1, 0, 0, "ADMIN1", "MIRROR2"},
         {},
         true,
         {{0, 0, "admin1"}, {1, 0, "mirror2"}},
         {"MIRROR2", nullptr}},
        {"administrator refused, the mirror password suffices here",
         {1, 0, kMirrorSuffices, "OLD", "MIRROR2"},
         {},
         true,
         {{0, 0, "old"}, {1, 0, "mirror2"}},
         {}},
        {"administrator refused, the mirror password is not enough: typed administrator's",
         {1, 0, 0, "OLD", "MIRROR2"},
         {Type("admin1")},
         true,
         {{0, 0, "old"}, {1, 0, "mirror2"}, {0, 0, "admin1"}},
         {"admin1", nullptr}},
        {"both refused: the typed mirror password",
         {1, 0, 0, "OLD", "OLD"},
         {Type("mirror2")},
         true,
         {{0, 0, "old"}, {1, 0, "old"}, {0, 0, "mirror2"}, {1, 0, "mirror2"}},
         {}},
        {"mirror refused: a typed text is checked as mirror password only",
         {1, 0, 0, "ADMIN1", ""},
         {Type("wrong"), kGiveUp},
         false,
         {{0, 0, "admin1"}, {1, 0, ""}, {1, 0, "wrong"}},
         {}},

        // Share-folder password.
        {"administrator password opens the share: never asked",
         {2, 1, kAdminOpensAll, "ADMIN1", ""},
         {},
         true,
         {{0, 0, "admin1"}},
         {nullptr, "ADMIN1"}},
        {"the administrator password is the group's",
         {2, 0, 0, "ADMIN1", ""},
         {},
         true,
         {{0, 0, "admin1"}, {2, 7, "admin1"}},
         {nullptr, "ADMIN1"}},
        {"group refused: the typed group password",
         {2, 1, 0, "ADMIN1", ""},
         {Type("wrong"), kRetry, Type("share3")},
         true,
         {{0, 0, "admin1"}, {2, 9, "admin1"}, {2, 9, "wrong"}, {2, 9, "share3"}},
         {nullptr, "share3"}},
        {"administrator refused: the typed administrator password",
         {2, 1, 0, "OLD", ""},
         {Type("admin1")},
         true,
         {{0, 0, "old"}, {0, 0, "admin1"}},
         {nullptr, "admin1"}},
        {"administrator refused: the group password alone is not enough",
         {2, 1, 0, "OLD", ""},
         {Type("share3"), kGiveUp},
         false,
         {{0, 0, "old"}, {0, 0, "share3"}},
         {nullptr, ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Query& q = c.query;
        auto record = Record(q.capabilities, q.keptAdmin, q.keptMirror);
        const std::size_t before = Checks().size();

        std::string caption = "TOWER";
        std::string prompt = "Please input administrator password.";
        std::string question = "TOWER : Wrong password, do you want to try again?";
        if (q.kind == 1) {
            prompt = "Please input mirror(administrator) password.";
            question = "TOWER : Mirror";
        } else if (q.kind == 2) {
            caption += std::string("\\Share Folder\\") + (q.group == 0 ? "sales" : "docs");
            question = caption + " : Share";
        }
        {
            vcl::testing::ScriptedResponder responder;
            Script(responder, c.steps, caption, prompt, question);
            EXPECT_EQ(Form_Password->QueryServerPassword(record.get(), q.kind, q.group), c.result);
        }
        const std::vector<Sent> all = Checks();
        ExpectChecks(
            std::vector<Sent>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
            c.checks);
        if (c.after.mirror) {
            EXPECT_STREQ(record->SecondPassword, c.after.mirror);
        }
        if (c.after.third) {
            EXPECT_STREQ(record->ThirdPassword, c.after.third);
        }
    }
}

TEST_F(PasswordQueryTest, TypedPasswordIsCutToFifteenBytesAtACharacterBoundary) {
    struct Case {
        const char* typed;
        const char* checked;
        const char* kept; // upper-cased
    };
    const Case cases[] = {
        {"abcdefghijklmnoXYZ", "abcdefghijklmno", "ABCDEFGHIJKLMNO"}, // 18 characters
        {"abcdefghijklmno", "abcdefghijklmno", "ABCDEFGHIJKLMNO"},
        // Eight two-byte characters: the eighth would end at byte 16, so seven stay.
        {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        cdsim::ServerConfig config = Tables();
        config.adminPassword = c.checked;
        server.reset();
        server = StartServer(config, 3);
        candidates = {"", c.checked};
        auto record = RecordFor(3);
        vcl::testing::ScriptedResponder responder;
        Script(responder, {Type(c.typed)}, "", "Please input administrator password.", "");
        EXPECT_TRUE(Form_Password->QueryServerPassword(record.get(), 0, 0));
        ExpectChecks(Checks(), {{0, 0, ""}, {0, 0, c.checked}});
        EXPECT_STREQ(record->Password, c.kept);
    }
}

TEST_F(PasswordQueryTest, NoQueryForAnUnknownKindAGroupNotLoadedOrNoRecord) {
    auto record = Record(0, "OLD", "");
    const std::size_t requests = server->requests().size();
    vcl::testing::ScriptedResponder responder; // any dialog fails the test
    for (const auto& [kind, group] : {std::pair{3, 0}, {-1, 0}, {2, 2}, {2, -1}}) {
        SCOPED_TRACE("kind " + std::to_string(kind) + " group " + std::to_string(group));
        EXPECT_FALSE(Form_Password->QueryServerPassword(record.get(), kind, group));
    }
    EXPECT_FALSE(Form_Password->QueryServerPassword(nullptr, 0, 0));
    EXPECT_EQ(server->requests().size(), requests);
    EXPECT_TRUE(responder.ModalForms().empty());
}

TEST_F(PasswordQueryTest, CommunicationErrorEndsTheQueryWithoutAMessage) {
    using cdsim::FaultKind;
    struct Case {
        const char* what;
        int kind;
        unsigned failingCheck; // which password check of the query the server breaks
        FaultKind fault;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"kept administrator check closed unanswered", 0, 1, FaultKind::CloseWithoutReply, {}},
        {"kept mirror check never answered", 1, 2, FaultKind::Silence, {}},
        {"typed check answered with a bad frame",
         0,
         2,
         FaultKind::NonZeroReserved,
         {Type("admin1")}},
        {"typed share check cut short", 2, 3, FaultKind::CutAfter, {Type("share3")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.reset();
        server = StartServer(Tables());
        auto record = Record(0, c.kind == 2 ? "ADMIN1" : "OLD", "OLD");
        server->addFault(cdhtest::Fault(cdsim::kPassword, c.failingCheck, c.fault, 10));
        const auto start = std::chrono::steady_clock::now();
        {
            vcl::testing::ScriptedResponder responder; // no retry question may show
            Script(responder, c.steps, c.kind == 2 ? "TOWER\\Share Folder\\docs" : "TOWER",
                   "Please input administrator password.", "");
            EXPECT_FALSE(Form_Password->QueryServerPassword(record.get(), c.kind, 1));
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, cdhtest::kBound);
    }
}

TEST_F(PasswordQueryTest, UnreachableServerEndsTheQueryWithoutAMessage) {
    auto record = RecordFor(9); // nothing listens on 127.0.0.9
    vcl::testing::ScriptedResponder responder;
    EXPECT_FALSE(Form_Password->QueryServerPassword(record.get(), 0, 0));
    EXPECT_TRUE(responder.ModalForms().empty());
}

} // namespace
