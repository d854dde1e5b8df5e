// CNasServer where it opens windows: Authenticate for every kind of credentials with a scripted
// password dialog and retry question, counting the checks the unit sees; the pending-task query
// and its task page. Offscreen, against simulated units.
#include "../platform/app_fixture.h"
#include "nas_unit_fixture.h"

#include "fmmsg.h"
#include "form1.h"
#include "msgbox.h"
#include "nasserver.h"
#include "password.h"

#include "vcl/testing/scripted_responder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using servertest::PointAt;
using servertest::PutText;
using servertest::RequestCount;
using servertest::StartUnit;

class NasServerWindowsTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        vcl::Application->CreateForm(Form1);
        nassim::UnitConfig config;
        config.state.users = {{"bob", "secret"}, {"long", "abcdefghijklmnopqrs"}};
        config.state.adminPassword = "adminpw";
        unit_ = StartUnit(config);
        ASSERT_TRUE(unit_);
    }
    void TearDown() override {
        unit_.reset();
        delete Form1;
        Form1 = nullptr;
        delete Form_Password;
        delete FmMsg;
        FmMsg = nullptr;
        LanguageIndex = savedLanguage_;
        AppTest::TearDown();
    }

    std::unique_ptr<nassim::Unit> unit_;
    int savedLanguage_ = 0;
};

// One dialog that Authenticate shows, and the answer given.
struct Step {
    enum Kind { Type, Cancel, RetryYes, RetryNo, Refused } kind;
    int mode = 0; // Type and Cancel: the password dialog's mode (1 password, 2 name and password)
    std::string user;
    std::string password;
    std::string userShown; // Type: what the user-name box holds when the dialog shows
};

Step Type(int mode, const std::string& user, const std::string& password,
          const std::string& userShown = "") {
    return {Step::Type, mode, user, password, userShown};
}
Step Answer(Step::Kind kind, int mode = 0) {
    return {kind, mode, "", "", ""};
}
// The box that refuses what was typed, holding part.
Step Refused(const std::string& part) {
    return {Step::Refused, 0, "", part, ""};
}

struct AuthCase {
    const char* name;
    int kind;
    std::string storedUser;
    std::string storedPassword;
    std::uint32_t capabilities;
    std::vector<Step> steps;
    bool result;
    std::string user; // stored afterwards
    std::string password;
    std::size_t userChecks;
    std::size_t passwordChecks;
};

const std::vector<AuthCase>& AuthCases() {
    static const std::vector<AuthCase> cases = {
        {"another kind asks nothing and forgets an account",
         36,
         "bob",
         "secret",
         0,
         {},
         false,
         "",
         "",
         0,
         0},
        {"kind 0 keeps an administrator password",
         0,
         "",
         "adminpw",
         0,
         {},
         false,
         "",
         "adminpw",
         0,
         0},
        {"a stored account that the unit accepts goes on at once",
         17,
         "bob",
         "secret",
         0,
         {},
         true,
         "bob",
         "secret",
         1,
         0},
        {"a refused stored account is forgotten and one is asked",
         33,
         "bob",
         "old",
         0,
         {Type(2, "bob", "secret")},
         true,
         "bob",
         "secret",
         2,
         0},
        {"after an administrator login an account is asked at once; a retry keeps the name",
         29,
         "",
         "adminpw",
         0,
         {Type(2, "bob", "wrong"), Answer(Step::RetryYes), Type(2, "bob", "secret", "bob")},
         true,
         "bob",
         "secret",
         2,
         0},
        {"a refused account and No",
         17,
         "",
         "",
         0,
         {Type(2, "bob", "wrong"), Answer(Step::RetryNo)},
         false,
         "",
         "",
         1,
         0},
        {"cancel", 18, "", "", 0, {Answer(Step::Cancel, 2)}, false, "", "", 0, 0},
        {"a refused stored account stays forgotten when the dialog is cancelled",
         16,
         "bob",
         "old",
         0,
         {Answer(Step::Cancel, 2)},
         false,
         "",
         "",
         1,
         0},
        {"a password longer than the unit's 19 bytes is refused where it is typed, not cut",
         17,
         "",
         "",
         0,
         {Type(2, "long", "abcdefghijklmnopqrsTUVW"), Refused("Too long for the unit"),
          Type(2, "long", "abcdefghijklmnopqrs", "long")},
         true,
         "long",
         "abcdefghijklmnopqrs",
         1,
         0},
        {"administrator: an account is forgotten, the password checked and kept",
         4,
         "bob",
         "secret",
         0,
         {Type(1, "", "adminpw")},
         true,
         "",
         "adminpw",
         0,
         1},
        {"administrator: wrong, Yes, right",
         5,
         "",
         "",
         0,
         {Type(1, "", "bad"), Answer(Step::RetryYes), Type(1, "", "adminpw")},
         true,
         "",
         "adminpw",
         0,
         2},
        {"administrator: wrong and No keeps the earlier password",
         3,
         "",
         "old",
         0,
         {Type(1, "", "bad"), Answer(Step::RetryNo)},
         false,
         "",
         "old",
         0,
         1},
        {"administrator of a unit with bit 31: not asked, the typed password stands",
         4,
         "",
         "",
         1u << 31,
         {Type(1, "", "anything")},
         true,
         "",
         "anything",
         0,
         0},
        {"domain account: stored beside the account, nothing checked",
         35,
         "bob",
         "secret",
         0,
         {Type(2, "dom\\admin", "dompw")},
         true,
         "bob",
         "secret",
         0,
         0},
    };
    return cases;
}

void Script(vcl::testing::ScriptedResponder& responder, const Step& step,
            const std::string& retry) {
    switch (step.kind) {
    case Step::Type:
    case Step::Cancel:
        responder.ExpectModal("Form_Password", [step](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            EXPECT_EQ(dialog.GetCaption(), "NAS1");
            EXPECT_EQ(dialog.Edit_UserName->GetVisible(), step.mode == 2);
            EXPECT_EQ(dialog.Edit_UserName->GetText(), step.userShown);
            EXPECT_EQ(dialog.Edit_Password->GetText(), "");
            if (step.kind == Step::Cancel) {
                dialog.Button_Cancel->Click();
                return;
            }
            dialog.Edit_UserName->SetText(step.user);
            dialog.Edit_Password->SetText(step.password);
            dialog.Button_Ok->Click();
        });
        break;
    case Step::Refused:
        responder.ExpectBox(step.password, vcl::IDOK);
        break;
    case Step::RetryYes:
    case Step::RetryNo:
        responder.ExpectModal("Form1", [step, retry](vcl::TForm& form) {
            auto& choice = dynamic_cast<TForm1&>(form);
            EXPECT_EQ(choice.Label1->GetCaption(), retry);
            EXPECT_EQ(choice.GetCaption(), "Error");
            (step.kind == Step::RetryYes ? choice.Button2 : choice.Button4)->Click();
        });
        break;
    }
}

TEST_F(NasServerWindowsTest, AuthenticateForEveryKindOfCredentials) {
    for (const AuthCase& c : AuthCases()) {
        SCOPED_TRACE(c.name);
        unit_->clearRecords();
        CNasServer server;
        PointAt(server, *unit_, c.capabilities);
        PutText(server.Info.name, 16, "NAS1");
        PutText(server.UserName, sizeof server.UserName, c.storedUser);
        PutText(server.Password, sizeof server.Password, c.storedPassword);
        const bool administrator = c.kind >= 3 && c.kind <= 5;
        const std::string retry = administrator ? "NAS1 : Wrong password, do you want to try again?"
                                                : "User Name or Password error, \n Retry?";
        {
            vcl::testing::ScriptedResponder responder;
            for (const Step& step : c.steps)
                Script(responder, step, retry);
            EXPECT_EQ(server.Authenticate(c.kind), c.result);
        }
        EXPECT_STREQ(server.UserName, c.user.c_str());
        EXPECT_STREQ(server.Password, c.password.c_str());
        EXPECT_EQ(RequestCount(*unit_, nassim::kCommandCheckUser), c.userChecks);
        EXPECT_EQ(RequestCount(*unit_, nassim::kCommandCheckPassword), c.passwordChecks);
        if (c.userChecks + c.passwordChecks > 0) {
            EXPECT_EQ(server.LastResult, c.result ? 0 : nassim::kStatusInvalidPassword);
        }
    }
}

TEST_F(NasServerWindowsTest, TheDomainAccountIsTakenAsTypedAndAnEmptyOneIsNotGiven) {
    CNasServer server;
    PointAt(server, *unit_);
    PutText(server.Info.name, 16, "NAS1");
    {
        vcl::testing::ScriptedResponder responder;
        responder.ExpectModal("Form_Password", [](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            EXPECT_EQ(dialog.Label_Prompt->GetCaption(), GetMessageText(921));
            dialog.Edit_UserName->SetText("dom\\admin");
            dialog.Edit_Password->SetText("dompw");
            dialog.Button_Ok->Click();
        });
        EXPECT_TRUE(server.Authenticate(kAuthDomainAccount));
    }
    EXPECT_STREQ(server.DomainUserName, "dom\\admin");
    EXPECT_STREQ(server.DomainPassword, "dompw");
    EXPECT_EQ(server.DomainAccountGiven, 1u);
    {
        vcl::testing::ScriptedResponder responder;
        responder.ExpectModal("Form_Password", [](vcl::TForm& form) {
            dynamic_cast<TForm_Password&>(form).Button_Ok->Click();
        });
        EXPECT_TRUE(server.Authenticate(kAuthDomainAccount));
    }
    EXPECT_STREQ(server.DomainUserName, "");
    EXPECT_STREQ(server.DomainPassword, "");
    EXPECT_EQ(server.DomainAccountGiven, 0u);
    EXPECT_TRUE(unit_->requests().empty());
}

std::vector<nassim::Bytes> TaskRecords(const std::vector<std::string>& names) {
    std::vector<nassim::Bytes> records;
    for (const std::string& name : names) {
        nassim::Bytes record(nassim::kTaskRecordSize, 0);
        std::memcpy(record.data(), name.data(), name.size());
        records.push_back(record);
    }
    return records;
}

TEST_F(NasServerWindowsTest, PendingTasksAreCountedAndListedOnTheTaskPage) {
    CNasServer server;
    PointAt(server, *unit_);
    PutText(server.Info.name, 16, "NAS1");
    unit_->setTasks(TaskRecords({"backup", "scan"}), 2, 0);

    // Without show a busy unit answers its count and nothing is shown.
    EXPECT_EQ(server.GetPendingTasks(false), 2);
    EXPECT_TRUE(FmMsg == nullptr || !FmMsg->GetVisible());

    // With show the message form is made when missing and lists the tasks.
    EXPECT_EQ(server.GetPendingTasks(true), 2);
    ASSERT_NE(FmMsg, nullptr);
    EXPECT_TRUE(FmMsg->GetVisible());
    EXPECT_EQ(FmMsg->PageControl_Msg->GetActivePage(), FmMsg->TabSheet_TaskInfo);
    ASSERT_EQ(FmMsg->ListView_Task->Items()->Count(), 2);
    EXPECT_EQ(FmMsg->ListView_Task->Items()->Item(0)->GetCaption(), "backup");
    EXPECT_NE(FmMsg->Label_TaskInfo->GetCaption().find("NAS1"), std::string::npos);

    // An idle unit: 0.
    FmMsg->Hide();
    unit_->setTasks({}, 0, 0);
    EXPECT_EQ(server.GetPendingTasks(true), 0);
    EXPECT_EQ(server.GetPendingTasks(false), 0);
    EXPECT_FALSE(FmMsg->GetVisible());

    // A unit that counts tasks but sends none of their records: the count, and no rows.
    unit_->setTasks({}, 3, 0);
    EXPECT_EQ(server.GetPendingTasks(false), 3);
    EXPECT_EQ(server.GetPendingTasks(true), 3);
    EXPECT_EQ(FmMsg->ListView_Task->Items()->Count(), 0);
    EXPECT_NE(FmMsg->Label_TaskInfo->GetCaption().find(" 3"), std::string::npos);
}

TEST_F(NasServerWindowsTest, PendingTasksOfUnitsNotAskedOrNotAnswering) {
    unit_->setTasks(TaskRecords({"backup"}), 1, 0);
    CNasServer flagged;
    PointAt(flagged, *unit_, 1u << 31);
    EXPECT_EQ(flagged.GetPendingTasks(true), 0); // asked, but such units never block
    EXPECT_TRUE(FmMsg == nullptr || !FmMsg->GetVisible());

    nassim::CommandFault refused;
    refused.command = nassim::kCommandTaskList;
    refused.status = 1;
    unit_->addCommandFault(refused);
    CNasServer busy;
    PointAt(busy, *unit_);
    EXPECT_EQ(busy.GetPendingTasks(false), -1);

    CNasServer nowhere;
    nowhere.Info.ipAddress[0] = nassim::Ipv4(127, 0, 63, 252);
    EXPECT_EQ(nowhere.GetPendingTasks(false), -1);
    ASSERT_NE(FmMsg, nullptr);
    EXPECT_FALSE(FmMsg->GetVisible());
}

} // namespace
