// The validation dialog on temporary host trees: its texts and placement, the walk it starts when
// shown, questions answered by real clicks on its buttons (and by closing it), the entries
// updated, the labels it showed and the log written; the refusal while a task reads the container.
#include "../containers/container_fixtures.h"
#include "../platform/ui_fixture.h"

#include "form1.h"
#include "msgbox.h"
#include "utils.h"
#include "validate_form.h"

#include "vcl/screen.h"

#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;
using Record = MIRROR_CONTAINER::Record;

constexpr std::int64_t kAdded = 1600000000;
constexpr std::int64_t kTouched = 1700000000;

void SetTime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0},
                               {static_cast<time_t>(seconds), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// How a question is answered: a click on one of the buttons, or closing the window.
enum class Answer { Update, UpdateAll, Skip, SkipAll, Cancel, CloseWindow };

// What the dialog showed when it asked.
struct Question {
    std::string item, original, found;
    int itemHeight = 0;
    bool cancelVisible = false;
};

// Host tree (times kAdded):  docs/ a.txt (10) b.txt (20) sub/ c.txt (30);  top.txt (5)
class ValidateFormTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        utils::SetNumberLocale(std::locale::classic());
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        home_ = std::make_unique<fixtures::ProgramHome>(dir_.path());
        settings_.ValidateLogEnable = 1;
        settings_.OverWriteValidateLog = 1;
        settings_.ValidateLog = dir_ / "validate.log";
        MakeTree();
    }
    void TearDown() override {
        delete Form_Validate;
        LanguageIndex = savedLanguage_;
        UiTest::TearDown();
    }

    // The host tree as added, and a new container of it.
    void MakeTree() {
        fs::create_directories(Host("docs/sub"));
        File("docs/a.txt", 10);
        File("docs/b.txt", 20);
        File("docs/sub/c.txt", 30);
        File("top.txt", 5);
        RestoreFolderTimes();
        container_.NewContainer();
        container_.ImportHostPath(container_.GetRoot(), nullptr, Host("docs"));
        container_.ImportHostPath(container_.GetRoot(), nullptr, Host("top.txt"));
        ASSERT_EQ(container_.GetTotalFileCount(container_.GetRoot()), 4u);
    }

    std::string Host(const std::string& rel) const { return dir_ / ("host/" + rel); }
    void File(const std::string& rel, std::size_t size) {
        fixtures::WriteFile(Host(rel), Bytes(size, 'v'));
        SetTime(Host(rel), kAdded);
    }
    void RestoreFolderTimes() {
        for (const char* folder : {"docs/sub", "docs"})
            SetTime(Host(folder), kAdded);
    }
    // a.txt touched, b.txt resized, top.txt deleted.
    void ChangeSources() {
        SetTime(Host("docs/a.txt"), kTouched);
        fixtures::WriteFile(Host("docs/b.txt"), Bytes(1234, 'w'));
        SetTime(Host("docs/b.txt"), kAdded);
        fs::remove(Host("top.txt"));
        RestoreFolderTimes();
    }

    Record* Entry(const std::string& folder, const std::string& name) {
        Record* parent = container_.GetRoot();
        if (!folder.empty()) parent = container_.FindChildByName(parent, folder);
        return parent ? container_.FindChildByName(parent, name) : nullptr;
    }

    // Validates with the dialog, answering each question by its next answer while it is shown
    // modally; the questions it showed are kept.
    bool Validate(std::deque<Answer> answers) {
        Responder().ExpectModal("Form_Validate", [&](vcl::TForm& form) {
            // Questions are asked inside the walk, which runs in the dialog's timer: a timer of
            // the test answers them from the event loop that the dialog's wait runs.
            QTimer clicker;
            QObject::connect(&clicker, &QTimer::timeout, [&] {
                TForm_Validate& f = *Form_Validate;
                if (!f.Button_Yes->GetVisible()) return;
                if (answers.empty()) {
                    ADD_FAILURE() << "unexpected question about " << f.Label_ItemName->GetCaption();
                    W(&f)->close(); // answers Cancel, and no further question is asked
                    return;
                }
                questions_.push_back(
                    {f.Label_ItemName->GetCaption(), f.Label_OldSource->GetCaption(),
                     f.Label_NewSource->GetCaption(), f.Label_ItemName->GetHeight(),
                     f.Button_Cancel->GetVisible()});
                const Answer answer = answers.front();
                answers.pop_front();
                vcl::TButton* button = nullptr;
                switch (answer) {
                case Answer::Update:
                    button = f.Button_Yes;
                    break;
                case Answer::UpdateAll:
                    button = f.Button_YesAll;
                    break;
                case Answer::Skip:
                    button = f.Button_No;
                    break;
                case Answer::SkipAll:
                    button = f.Button_NoAll;
                    break;
                case Answer::Cancel:
                    button = f.Button_Cancel;
                    break;
                case Answer::CloseWindow:
                    W(&f)->close();
                    return;
                }
                QTest::mouseClick(W(button), Qt::LeftButton);
            });
            clicker.start(5);
            EXPECT_TRUE(PumpUntil([&] { return form.GetModalResult() != vcl::mrNone; }));
        });
        const bool started = StartValidate(container_, settings_, [&] { ++refreshes_; });
        EXPECT_TRUE(answers.empty()) << answers.size() << " answers left over";
        return started;
    }

    std::string Log() const {
        const auto bytes = fixtures::ReadFile(settings_.ValidateLog);
        return std::string(bytes.begin(), bytes.end());
    }
    // The action lines of the log, "Update", "Skip" or "Cancel" each.
    std::vector<std::string> Actions() const {
        std::vector<std::string> actions;
        const std::string log = Log();
        for (std::size_t at = 0; (at = log.find("     [", at)) != std::string::npos;) {
            const std::size_t end = log.find(']', at);
            actions.push_back(log.substr(at + 6, end - at - 6));
            at = end;
        }
        return actions;
    }
    static std::string Totals(int total, int check, int ok, int update, int skip) {
        const std::string indent = "\n" + std::string(27, ' ');
        return indent + "Total:  " + std::to_string(total) + "    (Item)" + indent +
               "Check:  " + std::to_string(check) + indent + "Ok:     " + std::to_string(ok) +
               indent + "Update: " + std::to_string(update) + indent +
               "Skip:   " + std::to_string(skip) +
               "\n============================ End Validate ============================";
    }

    fixtures::TempDir dir_;
    std::unique_ptr<fixtures::ProgramHome> home_;
    MIRROR_CONTAINER container_;
    VALIDATE_OPTIONS settings_;
    std::vector<Question> questions_;
    int refreshes_ = 0;
    int savedLanguage_ = 0;
};

TEST_F(ValidateFormTest, TextsPlacementAndAnUnchangedContainerOnAReusedDialog) {
    vcl::Application->CreateForm(Form_Validate);
    TForm_Validate* const form = Form_Validate;
    EXPECT_EQ(form->Button_Yes->GetCaption(), "&Yes");
    EXPECT_EQ(form->Button_YesAll->GetCaption(), "Yes To &All");
    EXPECT_EQ(form->Button_No->GetCaption(), "&No");
    EXPECT_EQ(form->Button_NoAll->GetCaption(), "N&o To All");
    EXPECT_EQ(form->Button_Cancel->GetCaption(), "&Cancel");
    EXPECT_EQ(form->Label_OldSourceTitle->GetCaption(), "Original Source:");
    EXPECT_EQ(form->Label_NewSourceTitle->GetCaption(), "New Source:");
    EXPECT_EQ(form->GetClientWidth(), 497);
    EXPECT_EQ(form->GetClientHeight(), 380);
    EXPECT_FALSE(form->Timer_Auto->GetEnabled());

    settings_.OverWriteValidateLog = 0;
    for (int run = 0; run < 2; ++run) {
        Responder().ExpectModal("Form_Validate", [&](vcl::TForm& shown) {
            EXPECT_EQ(&shown, form);
            EXPECT_EQ(shown.GetCaption(), "Validate");
            EXPECT_EQ(form->Button_Yes->GetCaption(), "&Update");
            EXPECT_EQ(form->Button_YesAll->GetCaption(), "Update &All");
            EXPECT_EQ(form->Button_No->GetCaption(), "&Skip");
            EXPECT_EQ(form->Button_NoAll->GetCaption(), "S&kip All");
            EXPECT_EQ(shown.GetLeft(), (vcl::Screen->Width() - shown.GetWidth()) / 2);
            EXPECT_EQ(shown.GetTop(), (vcl::Screen->Height() - 400) / 2);
            EXPECT_FALSE(form->Button_Yes->GetVisible());
            EXPECT_FALSE(form->Panel_Source->GetVisible());
            EXPECT_TRUE(form->Button_Cancel->GetVisible());
            EXPECT_EQ(form->Label_ItemName->GetHeight(), 60);
            EXPECT_TRUE(form->Timer_Auto->GetEnabled());
            EXPECT_TRUE(PumpUntil([&] { return shown.GetModalResult() != vcl::mrNone; }));
        });
        EXPECT_TRUE(StartValidate(container_, settings_, [&] { ++refreshes_; }));
        EXPECT_EQ(Form_Validate, form); // made once, reused
    }

    // Two appended blocks, each with every entry checked and found unchanged.
    const std::string log = Log();
    const std::string totals = Totals(6, 6, 6, 0, 0);
    const std::size_t first = log.find(totals);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find(totals, first + 1), std::string::npos) << log;
    EXPECT_EQ(refreshes_, 2);
    EXPECT_FALSE(form->Timer_Auto->GetEnabled());

    // The last entry checked stays shown; moving the mouse over it copies it into the hint.
    EXPECT_EQ(form->Label_ItemName->GetCaption(), "\\top.txt");
    EXPECT_EQ(form->Label_ItemName->GetHint(), "");
    QWidget* label = W(form->Label_ItemName);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), label->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(label, &move);
    EXPECT_EQ(form->Label_ItemName->GetHint(), "\\top.txt");
}

struct AnswerCase {
    const char* name;
    std::deque<Answer> answers;
    std::vector<std::string> actions;
    bool cancelled;
    int totals[5];             // Total, Check, Ok, Update, Skip
    bool aUpdated, topRemoved; // a.txt's time taken from its source; top.txt's entry gone
    std::uint64_t bSize;       // b.txt's size in the container afterwards
};

// a.txt (touched), b.txt (resized) and top.txt (deleted) are asked about in walk order; the
// unchanged entries are checked without a question.
TEST_F(ValidateFormTest, ButtonsAndClosingAnswerTheQuestions) {
    const std::vector<AnswerCase> cases = {
        {"update skip update",
         {Answer::Update, Answer::Skip, Answer::Update},
         {"Update", "Skip", "Update"},
         false,
         {5, 6, 3, 2, 1},
         true,
         true,
         20},
        {"update all answers the rest",
         {Answer::UpdateAll},
         {"Update", "Update", "Update"},
         false,
         {5, 6, 3, 3, 0},
         true,
         true,
         1234},
        {"skip, then skip all",
         {Answer::Skip, Answer::SkipAll},
         {"Skip", "Skip", "Skip"},
         false,
         {6, 6, 3, 0, 3},
         false,
         false,
         20},
        {"cancel ends the walk",
         {Answer::Cancel},
         {"Cancel"},
         true,
         {6, 2, 1, 0, 0},
         false,
         false,
         20},
        {"closing the window cancels",
         {Answer::CloseWindow},
         {"Cancel"},
         true,
         {6, 2, 1, 0, 0},
         false,
         false,
         20},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        MakeTree();
        const Record* a = Entry("docs", "a.txt");
        const CisFileTime added = a->time;
        const std::string original =
            DescribeSource(a->source, false, a->size, a->time, a->attributes);
        ChangeSources();
        EXPECT_TRUE(Validate(c.answers));

        EXPECT_EQ(Actions(), c.actions);
        const std::string log = Log();
        const int* t = c.totals;
        EXPECT_NE(log.find(Totals(t[0], t[1], t[2], t[3], t[4])), std::string::npos) << log;
        EXPECT_EQ(log.find("Cancel validating !!") != std::string::npos, c.cancelled);
        EXPECT_EQ(refreshes_, 1);

        EXPECT_EQ(a->time != added, c.aUpdated);
        EXPECT_EQ(Entry("", "top.txt") == nullptr, c.topRemoved);
        EXPECT_EQ(container_.GetTotalSize(Entry("docs", "b.txt")), c.bSize);

        // What the first question showed: the entry, its source as added and as found now.
        ASSERT_FALSE(questions_.empty());
        const Question& q = questions_.front();
        EXPECT_EQ(q.item, "\\docs\\a.txt");
        EXPECT_EQ(q.itemHeight, 25);
        EXPECT_TRUE(q.cancelVisible);
        EXPECT_EQ(q.original, original);
        EXPECT_NE(q.original.find(Host("docs/a.txt")), std::string::npos) << q.original;
        EXPECT_NE(q.found.find("2023/11/14 PM 10:13:20"), std::string::npos) << q.found;
        if (questions_.size() == 3) {
            EXPECT_EQ(questions_[2].found, "Not   found .");
        }
        // Once the walk is over, the question view is hidden again.
        EXPECT_FALSE(Form_Validate->Panel_Source->GetVisible());
        EXPECT_EQ(Form_Validate->Label_ItemName->GetHeight(), 60);

        questions_.clear();
        refreshes_ = 0;
    }
}

TEST_F(ValidateFormTest, ABusyContainerIsRefused) {
    vcl::Application->CreateForm(Form1); // the message dialog
    container_.IncrementPending();
    Responder().ExpectModal("Form1", [](vcl::TForm& shown) {
        EXPECT_EQ(dynamic_cast<TForm1&>(shown).Label1->GetCaption(), "Can't validate.");
        shown.SetModalResult(vcl::mrOk);
    });
    EXPECT_FALSE(StartValidate(container_, settings_, [&] { ++refreshes_; }));
    EXPECT_EQ(Responder().ModalForms(), std::vector<std::string>{"Form1"}); // no validation
    EXPECT_FALSE(fs::exists(settings_.ValidateLog));
    EXPECT_EQ(refreshes_, 0);
    delete Form1;
    Form1 = nullptr;
}

// A dialog closed before its timer fired ends without a walk: no log, no rebuild, neither while
// the close is pending nor later on the hidden dialog.
TEST_F(ValidateFormTest, ClosedBeforeTheWalkStartsNothing) {
    Responder().ExpectModal("Form_Validate", [&](vcl::TForm& form) {
        W(&form)->close();
        PumpFor(std::chrono::milliseconds(300));
    });
    EXPECT_TRUE(StartValidate(container_, settings_, [&] { ++refreshes_; }));
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(settings_.ValidateLog));
    EXPECT_EQ(refreshes_, 0);
}

} // namespace
