// The main window's life cycle, settings file and tree: the INI edge table, the caption and
// status text of each skeleton node by real clicks, the close questions with scripted answers,
// the taken announcement port, the right-click menu's temporary selection, removal of a selected
// server node, and units discovered on loopback as nodes.
#include "mainwin_fixture.h"

#include "../platform/modal_driver.h"

#include "about.h"
#include "container.h"
#include "display_text.h"
#include "form1.h"
#include "msgbox.h"
#include "rmtnasip.h"
#include "rmtnasip_mask.h"
#include "startup_notes.h"
#include "utils.h"

#include "vcl/hint_window.h"
#include "vcl/ini_file.h"
#include "vcl/menus.h"
#include "vcl/screen.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using Strings = std::vector<std::string>;

class CentralTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Form1 = vcl::MakeForm<TForm1>(nullptr);
        // The splash the program shows before the window: the first paint ends it.
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = false;
    }
    void TearDown() override {
        delete Form_Central;
        Form_Central = nullptr;
        delete Form_About;
        Form_About = nullptr;
        delete Form1;
        Form1 = nullptr;
        MainWindowTest::TearDown();
    }
    std::string IniPath() const { return home_ + "/brimlet.ini"; }
    void WriteIni(const std::string& text) { std::ofstream(IniPath()) << text; }
    // A window made and destroyed within a test (the fixture's is the global one).
    std::unique_ptr<TForm_Central> Window() {
        auto window = std::unique_ptr<TForm_Central>(vcl::MakeForm<TForm_Central>(nullptr));
        return window;
    }
    static std::vector<std::string> RemoteAddresses() {
        Strings out;
        for (RMT_NAS_DATA* e = Form_RemoteNAS ? Form_RemoteNAS->GetRemoteList() : nullptr; e;
             e = e->Next)
            out.push_back(utils::IpToText(e->Address));
        return out;
    }
    // The next modal dialog is the kind dialog holding text; its OK answers it.
    void ExpectKindMessage(const std::string& text) {
        Responder().ExpectModal("Form1", [text](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm1&>(form);
            EXPECT_NE(dialog.Label1->GetCaption().find(text), std::string::npos)
                << dialog.Label1->GetCaption();
            dialog.ButtonNumber(1)->Click();
        });
    }
    // My Container as a modified new container.
    void ModifyContainer(TForm_Central& w) {
        ASSERT_NE(MainContainer.NewContainer(), nullptr);
        w.MyContainerNode->SetData(MainContainer.GetRoot());
        w.MyContainerNode->SetImageIndex(nkContainerModified);
        w.ContainerUntitled = true;
    }
};

TEST_F(CentralTest, FirstRunKeepsTheDesignAndClosingWritesTheWholeFile) {
    vcl::Application->CreateForm(Form_Central);
    TForm_Central& w = *Form_Central;
    w.Show();
    EXPECT_EQ(w.GetClientWidth(), 785);
    EXPECT_EQ(w.GetClientHeight(), 491);
    EXPECT_EQ(w.GetLeft(), 216);
    EXPECT_EQ(w.IniData.RefreshEnable, 1);
    EXPECT_EQ(w.IniData.RefreshInterval, 10);
    EXPECT_EQ(w.IniData.LoadExplorer, 1);
    EXPECT_EQ(w.IniData.LoadWizard, 0);
    EXPECT_EQ(w.IniData.ValidateLog, home_ + "/validate.log");
    EXPECT_EQ(w.IniData.ColumnWidth[3][6], 300);
    EXPECT_EQ(w.IniData.ColumnWidth[8][7], -1);
    // The first paint ends the splash; the first idle selects Desktop.
    ASSERT_TRUE(PumpUntil([&] { return Form_About->Interactive && !FirstIdlePending; }));
    EXPECT_FALSE(Form_About->GetVisible());
    EXPECT_EQ(w.TreeView->GetSelected(), w.DesktopNode);
    EXPECT_FALSE(std::filesystem::exists(IniPath()));

    w.Close();
    vcl::TIniFile ini(IniPath());
    for (const char* key : {"MainTop", "MainLeft", "MainHeight", "MainWidth", "MainMaximized"})
        EXPECT_TRUE(ini.ValueExists("MainForm", key)) << key;
    for (const char* key : {"RefreshEnable", "RefreshInterval", "LoadWizard", "LoadContainer",
                            "DefaultContainer", "LoadExplorer", "ValidateLogEnable",
                            "OverWriteValidateLog", "ValidateLog", "AutoValidate"})
        EXPECT_TRUE(ini.ValueExists("Option", key)) << key;
    EXPECT_EQ(ini.ReadInteger("MainForm", "MainWidth", 0), w.GetWidth());
    EXPECT_EQ(ini.ReadInteger("MainForm", "MainLeft", 0), 216);
    EXPECT_EQ(ini.ReadInteger("Option", "RefreshInterval", 0), 10);
    EXPECT_EQ(ini.ReadInteger("Remote NAS List", "NASNumber", -1), 0);
    EXPECT_LT(w.AnnounceSocket(), 0); // closed
}

TEST_F(CentralTest, RemoteListIsTakenFromTheTreeOnceNotAtEveryPaint) {
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return Form_About->Interactive; })); // painted once
    // An entry the user removed (its node left behind) does not come back with a repaint.
    w.TreeView->Items()->AddChild(w.RemoteServersNode, "127.0.0.42");
    w.Repaint();
    PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(RemoteAddresses(), Strings{});
    // A list form made anew (as the program entry may do) is filled from the tree, once.
    delete Form_RemoteNAS;
    Form_RemoteNAS = vcl::MakeForm<TForm_RemoteNAS>(nullptr);
    w.FormPaint(&w);
    EXPECT_EQ(RemoteAddresses(), Strings{"127.0.0.42"});
    Form_RemoteNAS->RemoveEntry(Form_RemoteNAS->GetRemoteList());
    w.TreeView->Items()->AddChild(w.RemoteServersNode, "127.0.0.43");
    w.FormPaint(&w);
    EXPECT_EQ(RemoteAddresses(), Strings{});
}

TEST_F(CentralTest, SettingsFileEdgeTable) {
    const std::string okLog = home_ + "/ok.log";
    struct Case {
        std::string ini;
        std::function<void(TForm_Central&)> check;
    };
    const Case cases[] = {
        {"[MainForm]\nMainHeight=500\n",
         [](TForm_Central& w) {
             EXPECT_EQ(w.GetHeight(), 500);
             EXPECT_EQ(w.GetWidth(), 600);
             EXPECT_EQ(w.IniData.MainTop, -1); // -1 is inside both ranges
             EXPECT_EQ(w.IniData.MainLeft, -1);
             EXPECT_EQ(w.GetWindowState(), vcl::wsNormal);
         }},
        {"[MainForm]\nMainHeight=100\nMainWidth=319\nMainTop=-10\n",
         [](TForm_Central& w) {
             EXPECT_EQ(w.GetHeight(), 450);
             EXPECT_EQ(w.GetWidth(), 600);
             EXPECT_NE(w.IniData.MainTop, -10);
         }},
        {"[Option]\nRefreshInterval=0\nLoadContainer=5\nDefaultContainer=/tmp/x.CIS\n",
         [](TForm_Central& w) {
             EXPECT_EQ(w.IniData.RefreshInterval, 10);
             EXPECT_EQ(w.IniData.LoadContainer, 0);
             EXPECT_EQ(w.IniData.DefaultContainer, "");
             EXPECT_EQ(w.IniData.RefreshEnable, 1);     // missing: kept
             EXPECT_EQ(w.IniData.ValidateLogEnable, 0); // missing: off
             EXPECT_EQ(w.IniData.OverWriteValidateLog, 0);
             EXPECT_EQ(w.IniData.AutoValidate, 0);
         }},
        {"[Option]\nRefreshInterval=61\nRefreshEnable=7\nLoadContainer=1\n"
         "DefaultContainer=/tmp/a.CIS\nValidateLogEnable=1\nValidateLog=" +
             okLog + "\n",
         [&](TForm_Central& w) {
             EXPECT_EQ(w.IniData.RefreshInterval, 10);
             EXPECT_EQ(w.IniData.RefreshEnable, 1);
             EXPECT_EQ(w.IniData.LoadContainer, 1);
             EXPECT_EQ(w.IniData.DefaultContainer, "/tmp/a.CIS");
             EXPECT_EQ(w.IniData.ValidateLogEnable, 1);
             EXPECT_EQ(w.IniData.ValidateLog, okLog);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        WriteIni(c.ini);
        auto w = Window();
        c.check(*w);
    }
    // Log paths that are refused: a folder that does not exist, the root, no folder, a bad name.
    for (std::string log : {home_ + "/missing/v.log", std::string("/v.log"), std::string("v.log"),
                            home_ + "/bad.", std::string("")}) {
        SCOPED_TRACE(log);
        WriteIni("[Option]\nValidateLog=" + log + "\n");
        EXPECT_EQ(Window()->IniData.ValidateLog, home_ + "/validate.log");
    }
}

// A stored size beyond the screen (a height of 99999) is cut to the screen, the window's bottom
// edge with the status bar stays on it, and the close writes back what was shown.
TEST_F(CentralTest, AStoredSizeBeyondTheScreenIsCutToIt) {
    const int screenWidth = vcl::Screen->Width(), screenHeight = vcl::Screen->Height();
    ASSERT_GE(screenHeight, 240);
    WriteIni("[MainForm]\nMainHeight=99999\nMainWidth=99999\nMainTop=" +
             std::to_string(screenHeight / 2) + "\nMainLeft=0\n");
    vcl::Application->CreateForm(Form_Central);
    TForm_Central& w = *Form_Central;
    w.Show();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    EXPECT_EQ(w.GetHeight(), screenHeight);
    EXPECT_EQ(w.GetWidth(), screenWidth);
    EXPECT_EQ(w.GetTop(), 0);
    w.Close();
    vcl::TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadInteger("MainForm", "MainHeight", 0), screenHeight);
    EXPECT_EQ(ini.ReadInteger("MainForm", "MainWidth", 0), screenWidth);
    EXPECT_LE(ini.ReadInteger("MainForm", "MainTop", 0) + screenHeight, screenHeight);
}

// A settings folder that cannot be written to is told once, when the program starts; the close
// then says nothing more (any box would fail the test).
TEST_F(CentralTest, AnUnwritableSettingsFolderIsToldOnceAtStart) {
    // A folder that nobody, not even the superuser, can make files in.
    const std::string folder = "/proc/" + std::to_string(::getpid());
    setenv("BRIMLET_HOME", folder.c_str(), 1);
    TakeStartupNotes();
    vcl::Application->CreateForm(Form_Central);
    TForm_Central& w = *Form_Central;
    w.Show();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    const Strings notes = TakeStartupNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("The settings folder " + folder + " cannot be written to."),
              std::string::npos)
        << notes[0];
    w.Close();
    EXPECT_TRUE(TakeStartupNotes().empty());
    EXPECT_FALSE(std::filesystem::exists(folder + "/brimlet.ini"));
}

// The list's columns of the form description are the Desktop's: at start they take its titles
// and widths and are kept when the Desktop is filled (not made again).
TEST_F(CentralTest, TheDesktopKeepsTheColumnsOfTheFormDescription) {
    TForm_Central& w = MakeWindow();
    const Strings titles{GetMessageText(114), GetMessageText(115)};
    EXPECT_EQ(ColumnTitles(), titles);
    ASSERT_EQ(w.ListView->Columns()->Count(), 2);
    EXPECT_EQ(w.ListView->Columns()->Items(0)->GetWidth(), 160);
    // A width of the user's before the first fill: a rebuild would put 160 back.
    w.ListView->Columns()->Items(0)->SetWidth(123);
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    ASSERT_EQ(w.TreeView->GetSelected(), w.DesktopNode);
    EXPECT_EQ(ColumnTitles(), titles);
    EXPECT_EQ(w.ListView->Columns()->Items(0)->GetWidth(), 123);
    EXPECT_FALSE(Captions().empty());
}

TEST_F(CentralTest, RemoteListSkipsBadAddressesBoundsItsCountAndKeepsItsOrder) {
    WriteIni("[Remote NAS List]\nNASNumber=5\nIP5=127.0.0.5\nIP4=255.255.255.255\nIP3=not.an.ip\n"
             "IP2=127.1\nIP1=127.0.0.1\n");
    {
        auto w = Window();
        EXPECT_EQ(RemoteAddresses(), (Strings{"127.0.0.1", "127.0.0.5"}));
        w->SaveSettings();
    }
    vcl::TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadInteger("Remote NAS List", "NASNumber", 0), 2);
    EXPECT_EQ(ini.ReadString("Remote NAS List", "IP1", ""), "127.0.0.1");
    EXPECT_EQ(ini.ReadString("Remote NAS List", "IP2", ""), "127.0.0.5");
    delete Form_RemoteNAS;
    Form_RemoteNAS = nullptr;
    Window();
    EXPECT_EQ(RemoteAddresses(), (Strings{"127.0.0.1", "127.0.0.5"}));

    // A count from the file is bounded: this neither hangs nor reads past the bound.
    delete Form_RemoteNAS;
    Form_RemoteNAS = nullptr;
    WriteIni("[Remote NAS List]\nNASNumber=2147483647\nIP1=127.0.0.9\nIP300=127.0.0.7\n");
    Window();
    EXPECT_EQ(RemoteAddresses(), (Strings{"127.0.0.9"}));
}

TEST_F(CentralTest, ASettingsFileTooLargeToReadIsToldAtStartAndKeptAtClose) {
    {
        std::ofstream out(IniPath(), std::ios::binary);
        out << "[MainForm]\nMainHeight=500\n";
        out.seekp(vcl::TIniFile::MaxFileSize);
        out.put('\n');
    }
    const auto size = std::filesystem::file_size(IniPath());
    TakeStartupNotes();
    {
        auto w = Window();
        EXPECT_EQ(w->IniData.MainHeight, 450); // not read: the defaults
        const Strings notes = TakeStartupNotes();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].find(IniPath()), std::string::npos) << notes[0];
        EXPECT_NE(notes[0].find("larger than 16 MiB"), std::string::npos) << notes[0];
        w->IniData.MainHeight = 600;
        w->SaveSettings();
    }
    EXPECT_EQ(std::filesystem::file_size(IniPath()), size);
    std::ifstream in(IniPath(), std::ios::binary);
    std::string head(26, '\0');
    in.read(head.data(), 26);
    EXPECT_EQ(head, "[MainForm]\nMainHeight=500\n");
}

// Closing writes the settings file once, whatever the number of values and remote entries: each
// write replaces the whole file, which is renamed into place once per write.
TEST_F(CentralTest, ClosingWritesTheSettingsFileOnce) {
    WriteIni("[Remote NAS List]\nNASNumber=3\nIP1=127.0.0.1\nIP2=127.0.0.2\nIP3=127.0.0.3\n");
    auto w = Window();
    ASSERT_EQ(RemoteAddresses().size(), 3u);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, home_.c_str(), IN_MOVED_TO), 0);
    w->SaveSettings();
    int replaced = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* at = buffer; at < buffer + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(at);
            if (e->len > 0 && std::string(e->name) == "brimlet.ini") ++replaced;
            at += sizeof(inotify_event) + e->len;
        }
    ::close(watch);
    EXPECT_EQ(replaced, 1);
    vcl::TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadInteger("Remote NAS List", "NASNumber", 0), 3);
    EXPECT_TRUE(ini.ValueExists("Option", "AutoValidate"));
}

// A close whose settings would take the file past what the next start reads: refused with a box
// that says so, and the file stays as it was.
TEST_F(CentralTest, ACloseThatWouldMakeTheSettingsFileTooLargeKeepsIt) {
    const std::string head = "[MainForm]\nMainHeight=500\n[Pad]\np=";
    {
        std::ofstream out(IniPath(), std::ios::binary);
        out << head << std::string(vcl::TIniFile::MaxFileSize - 64 - head.size() - 1, 'p') << '\n';
    }
    const auto size = std::filesystem::file_size(IniPath());
    TakeStartupNotes();
    {
        auto w = Window();
        EXPECT_EQ(w->IniData.MainHeight, 500); // read
        EXPECT_TRUE(TakeStartupNotes().empty());
        ExpectKindMessage("would grow past 16 MiB");
        w->SaveSettings();
    }
    EXPECT_EQ(std::filesystem::file_size(IniPath()), size);
    vcl::TIniFile ini(IniPath());
    EXPECT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::Read);
    EXPECT_FALSE(ini.SectionExists("Option"));
}

// A pipe in place of the settings file is refused at once and named when the window is up; it is
// never waited on, and never replaced at close.
TEST_F(CentralTest, APipeInPlaceOfTheSettingsFileIsToldAndKept) {
    ASSERT_EQ(::mkfifo(IniPath().c_str(), 0600), 0);
    TakeStartupNotes();
    {
        auto w = Window();
        EXPECT_EQ(w->IniData.MainHeight, 450); // the defaults
        const Strings notes = TakeStartupNotes();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].find(IniPath() + " is not a regular file"), std::string::npos)
            << notes[0];
        w->SaveSettings();
    }
    EXPECT_TRUE(std::filesystem::is_fifo(IniPath()));
}

TEST_F(CentralTest, EachSkeletonNodeByClickGivesItsCaptionAndStatus) {
    AddUnit(1, "alpha");
    AddUnit(2, "beta");
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    ASSERT_EQ(ChildTexts(w.DesktopNode), (Strings{"My Computer", "My Container", "NAS Network"}));
    EXPECT_EQ(ChildTexts(w.NasNetworkNode), (Strings{"NAS Servers", "Remote Servers"}));
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
    const std::string container = MainContainer.GetRoot()
                                      ? MainContainer.GetSourcePath(MainContainer.GetRoot())
                                      : std::string();
    struct Case {
        vcl::TTreeNode* node;
        int kind;
        std::string caption;
        std::string status;
    };
    const Case cases[] = {
        {w.MyComputerNode, nkMyComputer, "Quorvik  --  My Computer",
         std::to_string(w.MyComputerNode->Count()) + " CD-ROM(s)"},
        {w.MyContainerNode, nkContainerEmpty, "Quorvik  --  My Container (" + container + ")", ""},
        {w.NasNetworkNode, nkNasNetwork, "Quorvik", "2 Item(s)"},
        {w.NasServersNode, nkNasServers, "Quorvik", "2 Server(s)"},
        {w.RemoteServersNode, nkRemoteServers, "Quorvik", "0 Server(s)"},
        {w.DesktopNode, nkDesktop, "Quorvik  --  Desktop", "3 Item(s)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node->GetText());
        ClickNode(c.node);
        PumpFor(std::chrono::milliseconds(20)); // let the release come before the next press
        ASSERT_EQ(w.TreeView->GetSelected(), c.node);
        EXPECT_EQ(c.node->GetImageIndex(), c.kind);
        EXPECT_EQ(w.GetCaption(), c.caption);
        EXPECT_EQ(w.StatusBar->Panels(0)->GetText(), c.status);
    }
}

TEST_F(CentralTest, CloseQuestionsWithScriptedAnswers) {
    TForm_Central& w = MakeWindow();
    int tasks = 2, stops = 0;
    w.TaskCount = [&] { return tasks; };
    w.StopAllTasks = [&] {
        ++stops;
        tasks = 0;
    };
    // Tasks running, No: nothing stops, the window stays.
    Responder().ExpectBox("There are still tasks in Task Manager.", vcl::IDNO);
    w.Close();
    EXPECT_FALSE(vcl::Application->Terminated()); // still open
    EXPECT_EQ(stops, 0);
    EXPECT_FALSE(std::filesystem::exists(IniPath()));

    // Yes: the tasks stop, then the modified container is asked about; "Yes, save" with the
    // save dialog cancelled keeps the window open and the container as it was.
    ModifyContainer(w);
    Responder().ExpectBox("There are still tasks", vcl::IDYES);
    Responder().ExpectModal("Form1", Press("Yes"));
    Responder().ExpectFileDialog({});
    w.Close();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(vcl::Application->Terminated()); // still open
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerModified);
    EXPECT_EQ(w.MyContainerNode->GetData(), MainContainer.GetRoot());
    EXPECT_FALSE(std::filesystem::exists(IniPath()));

    // A save that fails (the folder is not there) keeps it open too.
    Responder().ExpectModal("Form1", Press("Yes"));
    Responder().ExpectFileDialog({home_ + "/missing/c"});
    Responder().ExpectModal("Form1", Press("Cancel")); // "Can't open ..."
    w.Close();
    EXPECT_FALSE(vcl::Application->Terminated()); // still open

    // Saved: the window closes, the file and the settings are written.
    Responder().ExpectModal("Form1", Press("Yes"));
    Responder().ExpectFileDialog({home_ + "/c"});
    w.Close();
    EXPECT_TRUE(vcl::Application->Terminated()); // closed: the program ends
    EXPECT_TRUE(std::filesystem::exists(home_ + "/c.CIS"));
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerSaved);
    vcl::TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadString("Option", "DefaultContainer", ""), home_ + "/c.CIS");
}

TEST_F(CentralTest, NoToTheContainerQuestionClosesWithoutSaving) {
    TForm_Central& w = MakeWindow();
    ModifyContainer(w);
    Responder().ExpectModal("Form1", Press("No"));
    w.Close();
    EXPECT_TRUE(vcl::Application->Terminated()); // closed: the program ends
    EXPECT_TRUE(std::filesystem::exists(IniPath()));
}

TEST_F(CentralTest, TakenAnnouncementPortEndsTheProgramWithoutQuestionsOrSettings) {
    int taken = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t size = sizeof address;
    getsockname(taken, reinterpret_cast<sockaddr*>(&address), &size);
    AnnouncementPort = ntohs(address.sin_port);

    Responder().ExpectBox("Port " + std::to_string(AnnouncementPort) + " may be used", vcl::IDOK);
    TForm_Central& w = MakeWindow();
    EXPECT_TRUE(w.PortTaken());
    EXPECT_TRUE(vcl::Application->Terminated());
    w.TaskCount = [] { return 1; }; // would ask, were the close to ask anything
    w.Close();
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
    close(taken);
}

TEST_F(CentralTest, RightClickMenuSelectsForItsCommandOnlyAndListsNothingNew) {
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    ASSERT_EQ(w.TreeView->GetSelected(), w.DesktopNode);
    const Strings desktopRows = Captions();
    PopupScript popup;
    vcl::TTreeNode* seen = nullptr;
    popup.during = [&] { seen = w.TreeView->GetSelected(); };
    w.NasNetworkNode->MakeVisible();
    const vcl::TRect r = w.NasNetworkNode->DisplayRect(true);
    const QPoint p(r.Left + 3, (r.Top + r.Bottom) / 2);
    QTest::mousePress(Viewport(w.TreeView), Qt::RightButton, {}, p);
    QTest::mouseRelease(Viewport(w.TreeView), Qt::RightButton, {}, p);
    EXPECT_EQ(popup.shown, (Strings{"PopupMenu_RightClick"}));
    EXPECT_EQ(seen, w.NasNetworkNode);
    EXPECT_EQ(w.TreeView->GetSelected(), w.DesktopNode);
    EXPECT_EQ(Captions(), desktopRows);
    EXPECT_FALSE(w.PopupSelecting);

    // A command that deletes the node selected before the menu: nothing dangles.
    auto* extra = w.TreeView->Items()->AddChild(w.NasNetworkNode, "extra");
    w.TreeView->SetSelected(extra);
    auto* remove = new vcl::TMenuItem(&w);
    remove->OnClick = [&](vcl::TObject*) { w.DeleteTreeNode(extra); };
    popup.choose = remove;
    QTest::mousePress(Viewport(w.TreeView), Qt::RightButton, {}, p);
    QTest::mouseRelease(Viewport(w.TreeView), Qt::RightButton, {}, p);
    EXPECT_EQ(w.TreeView->GetSelected(), w.NasNetworkNode);
    EXPECT_FALSE(w.PopupSelecting);
}

TEST_F(CentralTest, RemovingASelectedServerSelectsItsParentAndForgetsIt) {
    AddUnit(1, "alpha");
    TForm_Central& w = MakeWindow();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    auto* server = Form_Central->UnitOf(alpha->GetData()).get();
    w.TreeView->SetSelected(alpha);
    w.HintedNode = alpha;
    w.RightClickNode = alpha;
    w.ListView->Items()->Add()->SetData(server->UnitHandle.Data());
    w.ForgetServer(server->UnitHandle);
    EXPECT_EQ(w.HintedNode, nullptr);
    EXPECT_EQ(w.RightClickNode, nullptr);
    for (int i = 0; i < w.ListView->Items()->Count(); ++i)
        EXPECT_NE(w.ListView->Items()->Item(i)->GetData(), server->UnitHandle.Data());
    w.DraggedNode = alpha;
    w.DeleteTreeNode(alpha);
    EXPECT_EQ(w.TreeView->GetSelected(), w.NasServersNode);
    EXPECT_EQ(w.DraggedNode, nullptr);
    EXPECT_EQ(w.GetCaption(), "Quorvik");
    EXPECT_EQ(w.StatusBar->Panels(0)->GetText(), "0 Server(s)");
}

TEST_F(CentralTest, ServerToolTipShowsOnceUntilAnotherServerHasShownIts) {
    AddUnit(1, "alpha");
    AddUnit(2, "beta\xFF\xFE");
    TForm_Central& w = MakeWindow();
    ASSERT_EQ(w.NasServersNode->Count(), 2);
    vcl::TTreeNode* alpha = w.NasServersNode->Item(0);
    vcl::TTreeNode* beta = w.NasServersNode->Item(1);
    const auto moveOver = [&](vcl::TTreeNode* node) {
        node->MakeVisible();
        const vcl::TRect r = node->DisplayRect(true);
        QTest::mouseMove(Viewport(w.TreeView), QPoint(r.Left + 3, (r.Top + r.Bottom) / 2));
        PumpFor(std::chrono::milliseconds(10));
    };
    moveOver(alpha);
    ASSERT_TRUE(w.ServerHintWindow->GetVisible());
    EXPECT_EQ(w.HintedNode, alpha);
    EXPECT_NE(w.ServerHintWindow->GetText().find("Server Name:alpha\n"), std::string::npos);
    // At least the rectangle the window asks for; larger where the font needs it.
    EXPECT_GE(w.ServerHintWindow->GetRect().Height(), 110);
    moveOver(w.DesktopNode);
    EXPECT_FALSE(w.ServerHintWindow->GetVisible());
    moveOver(alpha);
    EXPECT_FALSE(w.ServerHintWindow->GetVisible()); // the same server: no second tip
    moveOver(beta);
    EXPECT_TRUE(w.ServerHintWindow->GetVisible());
    // The name's bytes are converted, never shown raw.
    EXPECT_NE(w.ServerHintWindow->GetText().find("Server Name:beta"), std::string::npos);
    EXPECT_EQ(w.ServerHintWindow->GetText().find("\xFF"), std::string::npos);
}

TEST(DisplayText, BoundsByTheFieldAndMakesValidUtf8) {
    struct Case {
        std::string in;
        std::size_t field;
        std::string out;
    };
    const std::string r = "\xEF\xBF\xBD"; // U+FFFD
    const Case cases[] = {
        {"plain", 64, "plain"},
        {std::string("ab\0cd", 5), 64, "ab"}, // ends at NUL
        {"abcdef", 3, "abc"},                 // bounded by the field
        {"a\xC3\xA9", 2, "a" + r},            // a character cut by the field
        {"\xFF\xFEx", 8, r + r + "x"},        // bytes that start nothing
        {"\xED\xA0\x80", 8, r + r + r},       // a surrogate
        {"\xC0\xAF", 8, r + r},               // an overlong form
        {"\xE6\x97\xA5\xF0\x9F\x92\xBF", 16, "\xE6\x97\xA5\xF0\x9F\x92\xBF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DisplayText(c.in, c.field), c.out) << c.in;
}

TEST_F(CentralTest, LookupsFindByDataTextAndServerIdentity) {
    AddUnit(1, "alpha");
    AddUnit(2, "beta");
    TForm_Central& w = MakeWindow();
    vcl::TTreeNode* beta = Child(w.NasServersNode, "beta");
    ASSERT_NE(beta, nullptr);
    // A child without a server before it does not hide it.
    w.TreeView->Items()->AddChildFirst(w.NasServersNode, "127.0.0.77");
    auto* server = Form_Central->UnitOf(beta->GetData()).get();
    // Look-ups let no pending event run (one could delete the nodes they walk).
    bool ran = false;
    vcl::Application->Post([&] { ran = true; });
    EXPECT_EQ(w.FindServerNode(w.NasServersNode, *server), beta);
    EXPECT_EQ(w.FindChildNodeByData(w.NasServersNode, server->UnitHandle.Data()), beta);
    EXPECT_EQ(w.FindChildNodeByText(w.NasServersNode, "beta"), beta);
    EXPECT_EQ(w.FindChildNodeByText(w.NasServersNode, "gamma"), nullptr);
    EXPECT_EQ(w.FindChildNodeByData(nullptr, nullptr), w.DesktopNode);
    EXPECT_FALSE(ran);
}

// Real message boxes, answered by Return, Escape and a click: each closes itself only. Saving an
// empty container says so and the program goes on.
TEST_F(CentralTest, TheEmptyContainerBoxLeavesTheWindowRunning) {
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    ModalDriver driver;
    const auto press = [](Qt::Key key) {
        return [key](QWidget* box) { QTest::keyClick(box, key); };
    };
    driver.OnBox(press(Qt::Key_Return)).OnBox(press(Qt::Key_Escape)).OnBox([](QWidget* box) {
        QTest::mouseClick(static_cast<QMessageBox*>(box)->button(QMessageBox::Ok), Qt::LeftButton);
    });
    std::vector<bool> running;
    std::function<void()> save = [&] {
        w.MenuItem_MenuSaveContainer->Click();
        // The window as it is once the events that the box's close left behind are handled.
        vcl::Application->Post([&] {
            running.push_back(!vcl::Application->Terminated() && w.GetVisible());
            if (running.size() < 3 && running.back()) save();
        });
    };
    const bool quit = ModalDriver::RunInLoop(save, [&] { return running.size() == 3; });
    EXPECT_FALSE(quit);
    EXPECT_EQ(running, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(driver.BoxTexts(), Strings(3, "Container is empty."));
    EXPECT_FALSE(vcl::Application->Terminated());
}

// In the remote NAS list, "IP address error" leaves the add dialog with what was typed, and "The
// NAS cannot be found" leaves the list dialog open.
TEST_F(CentralTest, BoxesOfTheRemoteListDialogsLeaveTheirDialogsOpen) {
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    ModalDriver driver;
    std::string kept;
    bool addStillShown = false;
    bool listStillShown = false;
    driver.OnForm("Remote NAS List", [](QWidget*) { Form_RemoteNAS->btNASAdd->Click(); });
    driver.OnForm("Add a Remote NAS", [](QWidget*) {
        QWidget* box = vcl::NativeWidget(Form_AddNASIP->MaskEdit_IP_Single);
        QTest::keyClicks(box, "12700");
        QTest::mouseClick(vcl::NativeWidget(Form_AddNASIP->AddOK), Qt::LeftButton);
    });
    driver.OnBox([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
    driver.OnForm("Add a Remote NAS", [&](QWidget*) {
        addStillShown = Form_AddNASIP->GetVisible();
        kept = Form_AddNASIP->MaskEdit_IP_Single->GetText();
        // Nothing answers at this address.
        Form_AddNASIP->MaskEdit_IP_Single->SetText(ipbox::AddressBoxText(0x7F0042FAu));
        QTest::mouseClick(vcl::NativeWidget(Form_AddNASIP->AddOK), Qt::LeftButton);
    });
    driver.OnBox([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    driver.OnForm("Remote NAS List", [&](QWidget*) {
        listStillShown = Form_RemoteNAS->GetVisible();
        Form_RemoteNAS->btNASClose->Click();
    });
    bool closed = false;
    const bool quit = ModalDriver::RunInLoop(
        [&] {
            w.RemoteNASList1->Click();
            closed = true;
        },
        [&] { return closed; });
    EXPECT_FALSE(quit);
    EXPECT_EQ(driver.Pending(), 0);
    EXPECT_EQ(driver.BoxTexts(),
              (Strings{"IP address error", "The NAS cannot be found : 127.0.66.250"}));
    EXPECT_TRUE(addStillShown);
    EXPECT_EQ(ipbox::ParseAddressText(kept), std::nullopt);
    EXPECT_EQ(kept.substr(0, 7), "127.00 ");
    EXPECT_TRUE(listStillShown);
    EXPECT_FALSE(vcl::Application->Terminated());
    EXPECT_TRUE(w.GetVisible());
}

// The units of the remote NAS list are asked away from the GUI thread: the window is up and
// takes real clicks while an address still keeps its answer back, each node comes with its
// answer, and the silent address becomes an unanswered node once its probe ends. A stored unit
// that discovery finds too leaves the list (it shows under NAS Servers): the dialog and the tree
// show the same units. Units added and removed in the dialog show under Remote Servers at once.
TEST_F(CentralTest, RemoteServersAreAskedAwayFromTheWindowAndTheListMatchesTheTree) {
    AddUnit(1, "alpha"); // discovery finds it
    AddUnit(7, "remote-7", false);
    nassim::Unit& eight = AddUnit(8, "remote-8", false);
    AddUnit(9, "remote-9", false).setFault(nassim::Fault::Silence);
    // The silent unit's probe waits for its reply far longer than the test takes: a window that
    // waited for it would show it as unanswered before the others.
    nas::NetConfig config = *nas::CurrentNetConfig();
    config.oneShotReplyMs = 20000;
    nas::SetNetConfig(config);
    WriteIni("[Remote NAS List]\nNASNumber=3\nIP1=127.0.66.1\nIP2=127.0.66.7\nIP3=127.0.66.9\n");
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([&] {
        return !FirstIdlePending && ChildTexts(w.RemoteServersNode) == Strings{"remote-7"} &&
               RemoteAddresses().size() == 2 && w.RemoteProbesPending() == 1;
    })) << ::testing::PrintToString(ChildTexts(w.RemoteServersNode));
    EXPECT_EQ(ChildTexts(w.NasServersNode), Strings{"alpha"});
    EXPECT_EQ(RemoteAddresses(), (Strings{"127.0.66.7", "127.0.66.9"}));
    ClickNode(w.RemoteServersNode);
    EXPECT_EQ(Captions(), Strings{"remote-7"});

    // The silent unit goes away: its probe ends, and its address shows as unanswered, in the
    // tree and in the list the selection shows.
    units_.pop_back();
    ASSERT_TRUE(PumpUntil([&] { return w.RemoteProbesPending() == 0 && Captions().size() == 2; }));
    EXPECT_EQ(ChildTexts(w.RemoteServersNode), (Strings{"127.0.66.9", "remote-7"}));
    EXPECT_EQ(Child(w.RemoteServersNode, "127.0.66.9")->GetImageIndex(), nkRemoteUnanswered);
    EXPECT_EQ(Captions(), (Strings{"127.0.66.9", "remote-7"}));

    Responder().ExpectModal("Form_RemoteNAS", [&](vcl::TForm&) {
        EXPECT_EQ(Form_RemoteNAS->NASListView->Items()->Count(), 2);
        Responder().ExpectModal("Form_AddNASIP", [&](vcl::TForm&) {
            Form_AddNASIP->MaskEdit_IP_Single->SetText(ipbox::AddressBoxText(eight.address()));
            Form_AddNASIP->AddOK->Click();
        });
        Form_RemoteNAS->btNASAdd->Click();
        Form_RemoteNAS->btNASClose->Click();
    });
    w.RemoteNASList1->Click();
    EXPECT_EQ(ChildTexts(w.RemoteServersNode), (Strings{"127.0.66.9", "remote-7", "remote-8"}));
    EXPECT_EQ(Captions(), (Strings{"127.0.66.9", "remote-7", "remote-8"}));

    Responder().ExpectModal("Form_RemoteNAS", [&](vcl::TForm&) {
        vcl::TListItems* rows = Form_RemoteNAS->NASListView->Items();
        ASSERT_EQ(rows->Count(), 3);
        for (int i = 0; i < rows->Count(); ++i)
            rows->Item(i)->SetSelected(rows->Item(i)->GetCaption() == "127.0.66.7");
        Form_RemoteNAS->btNASDelete->Click();
        Form_RemoteNAS->btNASClose->Click();
    });
    w.RemoteNASList1->Click();
    EXPECT_EQ(ChildTexts(w.RemoteServersNode), (Strings{"127.0.66.9", "remote-8"}));
    EXPECT_EQ(Captions(), (Strings{"127.0.66.9", "remote-8"}));
    ASSERT_TRUE(PumpUntil([&] { return w.RemoteProbesPending() == 0; }));
    EXPECT_EQ(ChildTexts(w.RemoteServersNode), (Strings{"127.0.66.9", "remote-8"}));

    w.Close();
    vcl::TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadInteger("Remote NAS List", "NASNumber", 0), 2);
    EXPECT_EQ(ini.ReadString("Remote NAS List", "IP1", ""), "127.0.66.8");
    EXPECT_EQ(ini.ReadString("Remote NAS List", "IP2", ""), "127.0.66.9");
}

// The date and time show whole in the status bar in whatever font the desktop gives it, and the
// menu row ends without an empty frame.
TEST_F(CentralTest, TheClockShowsWholeAndTheMenuRowHasNoEmptyFrame) {
    TForm_Central& w = MakeWindow();
    const QList<QLabel*> panels = vcl::NativeWidget(w.StatusBar)->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 3);
    for (int size : {8, 12, 18}) {
        SCOPED_TRACE("font size " + std::to_string(size));
        w.StatusBar->Font()->SetSize(size);
        w.Timer_GetDateTimeTimer(nullptr);
        QLabel* clock = panels[2];
        ASSERT_FALSE(clock->text().isEmpty());
        const int needed = QFontMetrics(clock->font()).horizontalAdvance(clock->text());
        EXPECT_GE(clock->contentsRect().width(), needed);
        EXPECT_LE(clock->geometry().right(), vcl::NativeWidget(w.StatusBar)->width());
        EXPECT_GT(panels[0]->width(), 0);
    }
    EXPECT_TRUE(vcl::NativeWidget(w.ToolBar_Menu)->isVisible());
    EXPECT_FALSE(vcl::NativeWidget(w.Panel_AnimatorBorder)->isVisible());
    EXPECT_EQ(vcl::NativeWidget(w.Panel_Menu)->geometry().right(),
              vcl::NativeWidget(w.Panel_MainMenu)->width() - 1);
}

} // namespace
