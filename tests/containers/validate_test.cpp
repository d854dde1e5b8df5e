// Container validation on temporary host trees whose sources are touched, resized, deleted and
// renamed, with scripted answers and golden validate logs under a pinned time zone, number locale
// and clock; and the texts the dialog shows.
#include "container_fixtures.h"

#include "clock/clock.h"
#include "utils.h"
#include "validate.h"
#include "validate_format.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

using Bytes = std::vector<std::uint8_t>;

void SetTime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0},
                               {static_cast<time_t>(seconds), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

constexpr std::int64_t kAdded = 1600000000;   // 2020-09-13 12:26:40 UTC: the sources as added
constexpr std::int64_t kTouched = 1700000000; // 2023-11-14 22:13:20 UTC
constexpr std::int64_t kNow = 1750000000;     // 2025-06-15 15:06:40 UTC, the validation's clock

// The dialog, scripted: the answers it gives in order, what it was shown.
class ScriptedQuestions : public ValidateQuestions {
public:
    void ShowEntry(const std::string& entryPath) override { shown.push_back(entryPath); }
    int AskChange(const std::string& originalSource, const std::string& newSource) override {
        asked.push_back({originalSource, newSource});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question:\n" << originalSource << "\n" << newSource;
            return validate_choice::Cancel;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ProcessMessages() override { ++messageRuns; }

    std::deque<int> answers;
    std::vector<std::string> shown;
    std::vector<std::pair<std::string, std::string>> asked;
    int messageRuns = 0;
};

// Host tree (times kAdded):  docs/ a.txt (10) b.txt (20) sub/ c.txt (30);  top.txt (5)
class Validation : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        utils::SetNumberLocale(std::locale::classic());
        home_ = std::make_unique<fixtures::ProgramHome>(dir_.path());
        fs::create_directories(Host("docs/sub"));
        File("docs/a.txt", 10);
        File("docs/b.txt", 20);
        File("docs/sub/c.txt", 30);
        File("top.txt", 5);
        for (const char* folder : {"docs/sub", "docs"})
            SetTime(Host(folder), kAdded);
        container_.NewContainer();
        container_.ImportHostPath(container_.GetRoot(), nullptr, Host("docs"));
        container_.ImportHostPath(container_.GetRoot(), nullptr, Host("top.txt"));
        ASSERT_EQ(container_.GetTotalFileCount(container_.GetRoot()), 4u);
        settings_.ValidateLogEnable = 1;
        settings_.OverWriteValidateLog = 1;
        settings_.ValidateLog = dir_ / "validate.log";
    }

    std::string Host(const std::string& rel) const { return dir_ / ("host/" + rel); }
    void File(const std::string& rel, std::size_t size) {
        fixtures::WriteFile(Host(rel), Bytes(size, 'v'));
        SetTime(Host(rel), kAdded);
    }
    // Folder times put back after a change inside them, so that only the files differ.
    void RestoreFolderTimes() {
        for (const char* folder : {"docs/sub", "docs"})
            SetTime(Host(folder), kAdded);
    }

    void Validate() {
        platform::ManualClock clock(0, kNow);
        platform::ScopedClock scoped(clock);
        ContainerValidation validation(container_, settings_, questions_, [&] { ++refreshes_; });
        validation.ValidateContainer();
        checked_ = validation.Checked();
        unchanged_ = validation.Unchanged();
        updated_ = validation.Updated();
        skipped_ = validation.Skipped();
        EXPECT_EQ(validation.Sticky(), validate_sticky::Ask);
    }

    // The log with the temporary folder written as <tmp>.
    std::string Log() const {
        const auto bytes = fixtures::ReadFile(settings_.ValidateLog);
        std::string text(bytes.begin(), bytes.end());
        for (std::size_t at; (at = text.find(dir_.path())) != std::string::npos;)
            text.replace(at, dir_.path().size(), "<tmp>");
        return text;
    }

    TempDir dir_;
    std::unique_ptr<fixtures::ProgramHome> home_;
    MIRROR_CONTAINER container_;
    VALIDATE_OPTIONS settings_;
    ScriptedQuestions questions_;
    int refreshes_ = 0;
    std::uint32_t checked_ = 0, unchanged_ = 0, updated_ = 0, skipped_ = 0;
};

const std::string kStamp = "\n{Sun Jun 15 15:06:40 2025} ";

std::string Line(const std::string& text) {
    return "\n" + std::string(27, ' ') + text;
}

std::string Header() {
    return "\n============================== Validate =============================="
           "\n[Source File] <tmp>/TEMP.CIS" +
           kStamp + "Begin...";
}

std::string Totals(int total, int check, int ok, int update, int skip) {
    return kStamp + "...End" + Line("Total:  " + std::to_string(total) + "    (Item)") +
           Line("Check:  " + std::to_string(check)) + Line("Ok:     " + std::to_string(ok)) +
           Line("Update: " + std::to_string(update)) + Line("Skip:   " + std::to_string(skip)) +
           "\n============================ End Validate ============================";
}

// The log block of a changed file: its original and its new source (none when gone; the same
// path unless newSource is given) and the action line.
std::string Item(const std::string& entry, const std::string& source, const std::string& size,
                 const std::string& date, const std::string& newSize, const std::string& newDate,
                 const std::string& action, bool gone = false, const std::string& newSource = "") {
    std::string block = kStamp + "Item:" + Line("     " + entry) + Line("Original Source:") +
                        Line("     <tmp>/host/" + source) + Line("     " + size) +
                        Line("     " + date) + Line("     A._._._._._") + Line("New Source:");
    if (gone)
        block += Line("     not found !");
    else
        block += Line("     <tmp>/host/" + (newSource.empty() ? source : newSource)) +
                 Line("     " + newSize) + Line("     " + newDate) + Line("     A._._._._._");
    return block + Line("Action:") + Line("     " + action);
}

const std::string kAddedDate = "2020/09/13 PM 12:26:40";
const std::string kTouchedDate = "2023/11/14 PM 10:13:20";

TEST_F(Validation, UnchangedContainerLogsOnlyItsTotals) {
    Validate();
    EXPECT_EQ(Log(), Header() + Totals(6, 6, 6, 0, 0));
    EXPECT_TRUE(questions_.asked.empty());
    EXPECT_EQ(questions_.shown,
              (std::vector<std::string>{"\\docs", "\\docs\\a.txt", "\\docs\\b.txt", "\\docs\\sub",
                                        "\\docs\\sub\\c.txt", "\\top.txt"}));
    EXPECT_EQ(refreshes_, 1);
}

// A container file from elsewhere may hold names that no image can: each is logged with its
// reason and counted as skipped, never as "Ok", though its source is unchanged.
TEST_F(Validation, NamesNoImageHoldsAreReportedAndNotOk) {
    const std::uint64_t added = (kAdded + 11644473600ull) * 10000000ull;
    for (const char* name : {"t1", "t2"})
        File(name, 1);
    const Bytes file = fixtures::ContainerFileOf({
        {std::string(220, 'L'), false, Host("t1"), 1, added},
        {"x;1", true},
        {"fine", false, Host("t2"), 1, added},
    });
    fixtures::WriteFile(dir_ / "TEMP.CIS", file);
    ASSERT_EQ(container_.LoadFile(dir_ / "TEMP.CIS"), 0);
    Validate();
    const auto block = [](const std::string& entry, const std::string& reason) {
        return kStamp + "Item:" + Line("     " + entry) + Line("     " + reason) + Line("Action:") +
               Line("     [Skip]");
    };
    EXPECT_EQ(Log(),
              Header() +
                  block("\\" + std::string(220, 'L'),
                        "The name is longer than an image's directory record holds (221 bytes "
                        "for a folder, 219 for a file).") +
                  block("\\x;1", "A folder name with ';' comes back from an image without what "
                                 "follows the ';', which readers take as a version number.") +
                  Totals(3, 3, 1, 0, 2));
    EXPECT_TRUE(questions_.asked.empty());
    EXPECT_EQ(skipped_, 2u);
    EXPECT_EQ(unchanged_, 1u);
}

// Touched, resized, deleted and renamed sources: Update, Skip, then Update All, which answers
// the last change without a question.
TEST_F(Validation, ChangedSourcesAreUpdatedOrSkippedAsAnswered) {
    SetTime(Host("docs/a.txt"), kTouched);
    fs::rename(Host("docs/b.txt"), Host("docs/B.txt"));
    fixtures::WriteFile(Host("docs/sub/c.txt"), Bytes(1234, 'w'));
    SetTime(Host("docs/sub/c.txt"), kTouched);
    fs::remove(Host("top.txt"));
    RestoreFolderTimes();
    questions_.answers = {validate_choice::Update, validate_choice::Skip,
                          validate_choice::UpdateAll};
    Validate();

    EXPECT_EQ(questions_.asked.size(), 3u);
    EXPECT_EQ(Log(),
              Header() +
                  Item("\\docs\\a.txt", "docs/a.txt", "10 bytes", kAddedDate, "10 bytes",
                       kTouchedDate, "[Update]") +
                  Item("\\docs\\b.txt", "docs/b.txt", "20 bytes", kAddedDate, "20 bytes",
                       kAddedDate, "[Skip]", false, "docs/B.txt") +
                  Item("\\docs\\sub\\c.txt", "docs/sub/c.txt", "30 bytes", kAddedDate,
                       "1,234 bytes", kTouchedDate, "[Update]") +
                  Item("\\top.txt", "top.txt", "5 bytes", kAddedDate, "", "", "[Update]", true) +
                  Totals(5, 6, 2, 3, 1));
    EXPECT_EQ(checked_, 6u);
    EXPECT_EQ(unchanged_, 2u);
    EXPECT_EQ(updated_, 3u);
    EXPECT_EQ(skipped_, 1u);

    // The container took the updates: the new time and size (rolled up), the deleted entry gone,
    // the skipped one kept.
    auto* root = container_.GetRoot();
    auto* docs = container_.FindChildByName(root, "docs");
    EXPECT_EQ(container_.GetTime(container_.FindChildByName(docs, "a.txt")),
              CisFileTimeFromUnix(kTouched, 0));
    EXPECT_NE(container_.FindChildByName(docs, "b.txt"), nullptr);
    EXPECT_EQ(container_.FindChildByName(root, "top.txt"), nullptr);
    EXPECT_EQ(container_.GetTotalSize(root), 10u + 20 + 1234);
    fixtures::CheckCounters(container_);
}

// Sources renamed only in letter case (a file, and a folder with all below it) are asked about as
// changed paths; Update keeps every entry, with the new spelling in its source.
TEST_F(Validation, CaseOnlyRenamesUpdatedKeepTheirEntries) {
    fs::rename(Host("docs/sub"), Host("docs/SUB"));
    fs::rename(Host("top.txt"), Host("Top.TXT"));
    RestoreFolderTimes();
    SetTime(Host("docs/SUB"), kAdded);
    questions_.answers = {validate_choice::UpdateAll};
    Validate();
    EXPECT_EQ(questions_.asked.size(), 1u);
    EXPECT_EQ(checked_, 6u);
    EXPECT_EQ(updated_, 3u); // SUB, SUB/c.txt, Top.TXT
    auto* root = container_.GetRoot();
    auto* docs = container_.FindChildByName(root, "docs");
    auto* sub = container_.FindChildByName(docs, "sub");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(container_.GetSourcePath(sub), Host("docs/SUB"));
    EXPECT_EQ(container_.GetSourcePath(container_.FindChildByName(sub, "c.txt")),
              Host("docs/SUB/c.txt"));
    EXPECT_EQ(container_.GetSourcePath(container_.FindChildByName(root, "top.txt")),
              Host("Top.TXT"));
    EXPECT_EQ(container_.GetTotalFileCount(root), 4u);
    EXPECT_EQ(container_.GetTotalSize(root), 10u + 20 + 30 + 5);
    fixtures::CheckCounters(container_);
}

TEST_F(Validation, QuestionShowsBothSourcesFourLinesEach) {
    fixtures::WriteFile(Host("docs/a.txt"), Bytes(2048, 'w'));
    SetTime(Host("docs/a.txt"), kTouched);
    fs::remove(Host("docs/b.txt"));
    RestoreFolderTimes();
    questions_.answers = {validate_choice::Skip, validate_choice::Skip};
    Validate();
    ASSERT_EQ(questions_.asked.size(), 2u);
    const std::string path = Host("docs/a.txt");
    EXPECT_EQ(questions_.asked[0].first, "File Path :    " + path +
                                             "\nFile Size :    10 bytes"
                                             "\nFile Last Modified Data&&Time :    " +
                                             kAddedDate + "\nFile Attribute :    A._._._._._");
    EXPECT_EQ(questions_.asked[0].second, "File Path :    " + path +
                                              "\nFile Size :    2,048 bytes"
                                              "\nFile Last Modified Data&&Time :    " +
                                              kTouchedDate + "\nFile Attribute :    A._._._._._");
    EXPECT_EQ(questions_.asked[1].second, "Not   found .");
}

// A folder whose source is gone, updated: the entry and everything below it leave the container
// without being visited, and the totals show the container after the removal.
TEST_F(Validation, DeletedFolderUpdatedTakesItsSubtreeAlong) {
    fs::remove_all(Host("docs"));
    questions_.answers = {validate_choice::Update};
    Validate();
    EXPECT_EQ(questions_.shown, (std::vector<std::string>{"\\docs", "\\top.txt"}));
    EXPECT_EQ(checked_, 2u);
    EXPECT_EQ(updated_, 1u);
    EXPECT_EQ(container_.FindChildByName(container_.GetRoot(), "docs"), nullptr);
    const std::string log = Log();
    EXPECT_NE(log.find(Line("     0 byte") + Line("     2020/09/13 PM 12:26:40") +
                       Line("     _.D._._._._") + Line("New Source:") + Line("     not found !")),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(Totals(1, 2, 1, 1, 0)), std::string::npos) << log;
    fixtures::CheckCounters(container_);
}

// Cancel, and a dialog closed without a button, end the walk at once.
TEST_F(Validation, CancelEndsTheWalk) {
    for (const int answer : {validate_choice::Cancel, validate_choice::None}) {
        SCOPED_TRACE(answer);
        SetTime(Host("docs/a.txt"), kTouched);
        SetTime(Host("top.txt"), kTouched);
        questions_ = ScriptedQuestions();
        questions_.answers = {answer};
        Validate();
        EXPECT_EQ(questions_.asked.size(), 1u);
        EXPECT_EQ(checked_, 2u);
        EXPECT_EQ(Log(), Header() +
                             Item("\\docs\\a.txt", "docs/a.txt", "10 bytes", kAddedDate, "10 bytes",
                                  kTouchedDate, "[Cancel]") +
                             kStamp + "Cancel validating !!" + Totals(6, 2, 1, 0, 0));
        EXPECT_EQ(container_.GetTime(container_.FindChildByName(
                      container_.FindChildByName(container_.GetRoot(), "docs"), "a.txt")),
                  CisFileTimeFromUnix(kAdded, 0));
    }
}

TEST_F(Validation, SkipAllLeavesEveryLaterChangeWithoutAsking) {
    SetTime(Host("docs/a.txt"), kTouched);
    SetTime(Host("docs/sub/c.txt"), kTouched);
    fs::remove(Host("top.txt"));
    questions_.answers = {validate_choice::SkipAll};
    Validate();
    EXPECT_EQ(questions_.asked.size(), 1u);
    EXPECT_EQ(skipped_, 3u);
    EXPECT_EQ(updated_, 0u);
    EXPECT_NE(container_.FindChildByName(container_.GetRoot(), "top.txt"), nullptr);
}

// The log is appended to, truncated, or not written, as the settings say.
TEST_F(Validation, LogIsAppendedOverwrittenOrLeftOutAsSet) {
    fixtures::WriteFile(settings_.ValidateLog, {'o', 'l', 'd'});
    settings_.OverWriteValidateLog = 0;
    Validate();
    EXPECT_EQ(Log(), "old" + Header() + Totals(6, 6, 6, 0, 0));
    Validate();
    EXPECT_EQ(Log(), "old" + Header() + Totals(6, 6, 6, 0, 0) + Header() + Totals(6, 6, 6, 0, 0));
    settings_.OverWriteValidateLog = 1;
    Validate();
    EXPECT_EQ(Log(), Header() + Totals(6, 6, 6, 0, 0));
    fs::remove(settings_.ValidateLog);
    settings_.ValidateLogEnable = 0;
    Validate();
    EXPECT_FALSE(fs::exists(settings_.ValidateLog));
    EXPECT_EQ(checked_, 6u);
}

TEST(ValidateTexts, SizesDatesAndAttributes) {
    utils::SetNumberLocale(std::locale::classic());
    EXPECT_EQ(FormatFileSize(0, 1), "0 byte");
    EXPECT_EQ(FormatFileSize(1, 1), "1 byte");
    EXPECT_EQ(FormatFileSize(1234, 1), "1,234 bytes");
    EXPECT_EQ(FormatFileSize(~0ull, 1), "");

    EXPECT_EQ(FormatFileAttributes(0x21), "A._._.R._._");
    EXPECT_EQ(FormatFileAttributes(0x10010), "_.D._._._.I");
    EXPECT_EQ(FormatFileAttributes(0x27), "A._.H.R.S._");

    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const char* format = "yyyy/mm/dd AM/PM hh:nn:ss";
    EXPECT_EQ(FormatFileDate(CisFileTimeFromUnix(1577837100, 0), format), "2020/01/01 AM 12:05:00");
    EXPECT_EQ(FormatFileDate(CisFileTimeFromUnix(1577883600, 0), format), "2020/01/01 PM 01:00:00");
    EXPECT_EQ(FormatFileDate(CisFileTimeFromUnix(1577883600, 0), "dd.mm.yy hh:nn"),
              "01.01.20 13:00");
    EXPECT_EQ(ValidateTimeText(std::chrono::system_clock::from_time_t(1765357531)),
              "Wed Dec 10 09:05:31 2025");
}

TEST(ValidateTexts, LongPathsWrapEvery53CharactersUpTo290) {
    const std::string path = "/" + std::string(400, 'p');
    const std::string text = DescribeSource(path, false, 1, 0, 0);
    const std::string first = text.substr(0, text.find("\nFile Size"));
    std::string expected = "File Path :    ";
    const std::string kept = path.substr(0, 290);
    for (std::size_t i = 0; i < kept.size(); i += 53)
        expected += (i ? "\n" : "") + kept.substr(i, 53);
    EXPECT_EQ(first, expected);
}

} // namespace
