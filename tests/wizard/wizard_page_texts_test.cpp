// What the wizard's pages show: every control inside its page in each language, whole job
// descriptions, the job's picture, the server selection's rows under their own columns, the
// whole name of a long image folder while the folder list is open, the "Please wait" page while
// a container job reads its disc, Update All and Load Other Container.
#include "wizard_fixture.h"

#include "devices/mounts.h"
#include "fmmsg.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

namespace {

// Languages of the message table: English and Traditional Chinese.
constexpr int kLanguages[] = {0, 1};

// Records, each time a form's window is shown, what the test asks of that moment.
class ShowWatch : public QObject {
public:
    ShowWatch(QWidget* widget, std::function<void()> onShow) : onShow_(std::move(onShow)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) onShow_();
        return false;
    }

private:
    std::function<void()> onShow_;
};

class WizardPageTextsTest : public WizardTest {
protected:
    void TearDown() override {
        WizardTest::TearDown();
        mounts_.reset();
    }

    // A control that its parent cuts off, or "" when every visible control on parent fits.
    static std::string Clipped(vcl::TWinControl* parent) {
        for (int i = 0; i < parent->ControlCount(); ++i) {
            vcl::TControl* c = parent->Controls(i);
            if (!c->GetVisible()) continue;
            const vcl::TRect r = c->BoundsRect();
            if (r.Left < 0 || r.Top < 0 || r.Right > parent->GetClientWidth() ||
                r.Bottom > parent->GetClientHeight())
                return c->Name + " in " + parent->Name;
            if (auto* inner = dynamic_cast<vcl::TWinControl*>(c))
                if (std::string found = Clipped(inner); !found.empty()) return found;
        }
        return {};
    }

    // The wizard made again by the window, in the current language.
    TFmWizard& NewWizard() {
        Window();
        delete FmWizard;
        FmWizard = nullptr;
        return Wizard();
    }

    // The Video CD in E: mounted at a folder of the program's: its root holds MPEGAV/AVSEQ01.DAT.
    void MountVideoCd() {
        const std::filesystem::path disc = std::filesystem::path(home_) / "mounted-vcd";
        std::filesystem::create_directories(disc / "MPEGAV");
        std::ofstream(disc / "MPEGAV" / "AVSEQ01.DAT") << std::string(4096, 'v');
        mounts_.emplace("40 30 11:1 / " + disc.string() + " ro,relatime - iso9660 sim:VIDEO ro\n");
    }

    std::optional<platform::devices::ScopedMountTable> mounts_;
};

// Texts differ in length between languages: nothing may run past its page or group.
TEST_F(WizardPageTextsTest, EveryControlFitsItsPageInEachLanguage) {
    for (int language : kLanguages) {
        SCOPED_TRACE("language " + std::to_string(language));
        LanguageIndex = language;
        TFmWizard& w = NewWizard();
        w.Show();
        for (vcl::TTabSheet* sheet : w.Sheets) {
            w.PageControl1->SetActivePage(sheet);
            EXPECT_EQ(Clipped(sheet), "");
        }
        // Every page but the job list names itself and says what to do.
        for (vcl::TLabel* title : {w.Label29, w.Label28, w.Label3, w.Label5, w.Label7, w.Label20,
                                   w.Label9, w.Label54, w.Label22, w.Label25, w.Label24, w.Label30,
                                   w.Label44, w.Label1, w.Label8, w.Label56}) {
            EXPECT_FALSE(title->GetCaption().empty()) << title->Name;
            EXPECT_TRUE(title->GetVisible()) << title->Name;
        }
        w.Hide();
    }
}

TEST_F(WizardPageTextsTest, AJobsDescriptionShowsWhole) {
    for (int language : kLanguages) {
        SCOPED_TRACE("language " + std::to_string(language));
        LanguageIndex = language;
        TFmWizard& w = NewWizard();
        w.Show();
        // The build job's description is the longest: it takes more than one line.
        vcl::TListItem* build = w.ListView_JobList->Items()->Item(1);
        const vcl::TRect at = build->DisplayRect();
        QTest::mouseClick(Viewport(w.ListView_JobList), Qt::LeftButton, {},
                          QPoint((at.Left + at.Right) / 2, (at.Top + at.Bottom) / 2));
        ASSERT_EQ(w.ListView_JobList->GetSelected(), build);
        EXPECT_EQ(w.Label_JobComment->GetCaption(), GetWizardJobText(2, 1));
        EXPECT_EQ(w.Label_JobComment->GetWidth(), 280);
        EXPECT_GT(w.Label_JobComment->GetHeight(), 2 * w.Label_JobName->GetHeight() - 4);
        w.Hide();
    }
}

TEST_F(WizardPageTextsTest, EveryJobPageShowsTheJobsPicture) {
    AddDrives();
    TFmWizard& w = Wizard();
    w.StartJob(kJobMirror);
    EXPECT_TRUE(w.Panel1->GetVisible());
    EXPECT_FALSE(w.Image1->Picture()->Empty());
    w.StartJob(kJobSetupServer);
    EXPECT_FALSE(w.Image1->Picture()->Empty());
}

// Whatever columns the list has, each holds the value its title names.
TEST_F(WizardPageTextsTest, TheServerSelectionsRowsLineUpWithTheirColumns) {
    Unit& unit = AddUnit("STORE-A", 1, false);
    CNasServer& s = *unit.server;
    s.Info.capabilityFlags |= 1u << 30; // a third port
    s.Info.ipAddress[1] = 0x0A000002u;
    s.Info.subnetMask[0] = 0xFFFFFF00u;
    s.Info.gateway[0] = 0x7F000001u;
    servertest::PutText(s.Info.workgroup, sizeof s.Info.workgroup, "OFFICE");
    servertest::PutText(s.Info.comment, sizeof s.Info.comment, "Front desk");
    TFmWizard& w = Wizard();
    w.StartJob(kJobSetupServer);
    ASSERT_EQ(Kind(), kPageServerDetail);
    ASSERT_EQ(w.ListView_ServerDetail->Items()->Count(), 1);
    vcl::TListItem* row = w.ListView_ServerDetail->Items()->Item(0);
    vcl::TListColumns* columns = w.ListView_ServerDetail->Columns();
    int ipColumns = 0;
    int checked = 0;
    for (int i = 1; i < columns->Count(); ++i) {
        const std::string title = columns->Items(i)->GetCaption();
        const std::string shown =
            i - 1 < row->SubItems()->Count() ? row->SubItems()->Strings(i - 1) : "";
        std::string want;
        if (title == GetMessageText(128))
            want = s.GetLanIpText(ipColumns++);
        else if (title == GetMessageText(452))
            want = s.GetMaskText(0);
        else if (title == GetMessageText(453))
            want = s.GetGatewayText(0);
        else if (title == GetMessageText(790))
            want = TFmWizard::MacOf(s);
        else if (title == GetMessageText(130))
            want = s.GetFirmwareVersion();
        else if (title == GetMessageText(118))
            want = s.GetComment();
        else if (title == GetMessageText(127) || title == GetMessageText(833))
            want = s.GetWorkgroup();
        else
            continue;
        ++checked;
        EXPECT_EQ(shown, want) << "column " << i << " \"" << title << "\"";
    }
    EXPECT_GE(checked, 5);
    EXPECT_GE(ipColumns, 1);
}

TEST_F(WizardPageTextsTest, ALongFolderNameShowsWholeWhileTheListIsOpen) {
    AddDrives();
    Unit& unit = AddUnit("STORE-A", 1, false);
    const std::string longName = "Holiday pictures of the whole family, 2019 to 2026";
    unit.sim->setImageFolders({"ISO", longName});
    // The window's next discovery has the unit's folders read again.
    RefreshServerTree(W());
    SettleFolderReads();
    FindUnits();
    TFmWizard& w = Wizard();
    w.StartJob(kJobMirror);
    w.Show();
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageDestination);
    AddDestination(unit); // fills the folder combo for the unit
    vcl::TComboBox* combo = w.ComboBox_ServerHdList;
    ASSERT_EQ(combo->Items()->IndexOf(longName), 2);
    combo->SetDroppedDown(true);
    QAbstractItemView* view = static_cast<QComboBox*>(W(combo))->view();
    // Down to the long name: its whole text shows beside the list.
    for (int i = 0; i < 2; ++i)
        QTest::keyClick(view, Qt::Key_Down);
    EXPECT_TRUE(w.HintWindow->GetVisible());
    EXPECT_EQ(w.HintWindow->GetText(), longName);
    EXPECT_EQ(w.HintShown, 1);
    // Up to a short one: the hint goes.
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_FALSE(w.HintWindow->GetVisible());
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_TRUE(w.HintWindow->GetVisible());
    // Closing the list takes it away.
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(w.HintWindow->GetVisible());
    EXPECT_EQ(w.HintShown, 0);
}

TEST_F(WizardPageTextsTest, PleaseWaitShowsWhileAContainerJobReadsItsDisc) {
    MountVideoCd();
    AddDrives();
    Unit& unit = AddUnit("STORE-A", 1, false);
    TFmWizard& w = Wizard();
    ASSERT_NE(FmMsg, nullptr);
    ASSERT_FALSE(FmMsg->Showing());
    // Each time the message form shows: its text, and whether the wizard takes input then.
    struct Sighting {
        std::string text;
        bool wizardEnabled;
    };
    std::vector<Sighting> shown;
    const ShowWatch watch(W(FmMsg), [&] {
        shown.push_back({FmMsg->Label_Inform->GetCaption(), w.GetEnabled()});
    });
    w.SourceDriveLetter = 'E';
    w.PreselectedServer = unit.server->UnitHandle;
    w.StartJob(kJobMirrorPreselected);
    w.Show();
    ASSERT_EQ(Kind(), kPageDestination);
    ASSERT_EQ(WzdInfo.Job, kJobMirrorContainerPreselected);
    AddDestination(unit);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, GetMessageText(888));
    EXPECT_FALSE(shown[0].wizardEnabled);
    // The disc was read: the destination holds its files.
    ASSERT_EQ(w.ListView_MethodResult->Items()->Count(), 1);
    ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
    ASSERT_NE(WzdInfo.Jobs[0]->Container, nullptr);
    EXPECT_EQ(WzdInfo.Jobs[0]->Container->GetTotalFileCount(WzdInfo.Jobs[0]->Container->GetRoot()),
              1u);
    EXPECT_FALSE(FmMsg->Showing());
    EXPECT_TRUE(w.GetEnabled());
}

TEST_F(WizardPageTextsTest, UpdateAllGivesEveryDestinationTheLabelOrNothingChanges) {
    AddDrives();
    Unit& a = AddUnit("STORE-A", 1, false);
    Unit& b = AddUnit("ARCHIVE", 2, false);
    TFmWizard& w = Wizard();
    w.StartJob(kJobMirror);
    w.Show();
    w.bbNext->Click();
    AddDestination(a);
    AddDestination(b);
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageVolumeName);
    w.RadioButton_UserDefineVolume->SetChecked(true);
    w.RadioButton_UserDefineVolumeClick(nullptr);
    const auto labels = [&w] {
        std::vector<std::string> out;
        for (int i = 0; i < w.ListView_VolumeName->Items()->Count(); ++i)
            out.push_back(w.ListView_VolumeName->Items()->Item(i)->SubItems()->Strings(1));
        for (const auto& entry : WzdInfo.Jobs)
            out.push_back(entry->VolumeLabel);
        return out;
    };
    const std::vector<std::string> before = labels();
    w.Edit_UserDefineVolume->SetText("BAD:LABEL");
    Responder().ExpectBox(GetMessageText(444), vcl::IDOK);
    w.BitBtn_UpdateAll->Click();
    EXPECT_EQ(labels(), before);
    w.Edit_UserDefineVolume->SetText("  TRIP_2026...");
    w.BitBtn_UpdateAll->Click();
    EXPECT_EQ(labels(), std::vector<std::string>(4, "TRIP_2026"));
    for (const auto& entry : WzdInfo.Jobs)
        EXPECT_EQ(entry->VolumeLabelMode, 1);
}

// The button runs the window's Load Container command: its file dialog opens (the user picks
// nothing, and My Container stays as it was).
TEST_F(WizardPageTextsTest, TheBuildJobOffersToLoadAnotherContainer) {
    TFmWizard& w = Wizard();
    const auto* root = MyContainer().GetRoot();
    ASSERT_NE(root, nullptr);
    w.StartJob(kJobBuildImage);
    w.Show();
    ASSERT_EQ(Kind(), kPageContainer);
    EXPECT_TRUE(w.Button_LoadContainer->Showing());
    ASSERT_TRUE(w.Button_LoadContainer->GetEnabled());
    Responder().ExpectFileDialog({});
    QTest::mouseClick(W(w.Button_LoadContainer), Qt::LeftButton);
    EXPECT_EQ(Responder().Pending(), 0) << "the load command showed no file dialog";
    EXPECT_EQ(MyContainer().GetRoot(), root);
}

// The titles of the upload and conversion jobs, the upload page's placeholder and its refusal
// are in the user's language; the placeholder is never taken for a file name.
TEST_F(WizardPageTextsTest, UploadAndConversionSpeakTheUsersLanguage) {
    const struct {
        int language;
        const char *upload, *convert, *placeholder, *refusal;
    } cases[] = {
        {0, "Wizard - Upload ISO Image", "Wizard - Convert CDH Image", "ISO File",
         "Please select ISO file"},
        {1, "精靈 - 上傳 ISO 映像檔", "精靈 - 轉換 CDH 映像檔", "ISO 檔案", "請選擇 ISO 檔案"},
        {2, "向导 - 上传 ISO 映像", "向导 - 转换 CDH 映像", "ISO 文件", "请选择 ISO 文件"},
    };
    AddUnit("UNIT", 1, true);
    for (const auto& c : cases) {
        SCOPED_TRACE("language " + std::to_string(c.language));
        LanguageIndex = c.language;
        TFmWizard& w = NewWizard();
        w.StartJob(kJobConvertCdh);
        EXPECT_EQ(w.GetCaption(), c.convert);
        vcl::TCloseAction action = vcl::caHide;
        w.FormClose(&w, action);
        w.StartJob(kJobUploadIso);
        EXPECT_EQ(w.GetCaption(), c.upload);
        EXPECT_EQ(w.Edit_ISOSourceName->GetText(), c.placeholder);
        AddDestination(*units_[0]);
        Responder().ExpectBox(c.refusal, vcl::IDOK);
        w.bbNext->Click();
        EXPECT_EQ(WzdInfo.IsoFilePath, "");
        w.FormClose(&w, action);
    }
}

} // namespace
