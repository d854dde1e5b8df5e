// The main window's command state and commands, driven through the real window: which menu items
// are enabled or shown for the focus in the tree, the list or neither (and during a rename); the
// job and preselection each command hands the wizard, recorded when the wizard is shown modally;
// the addresses the web, share and help commands open; the options dialog and the property sheet.
#include "mainwin_fixture.h"

#include "about.h"
#include "command_selection.h"
#include "container.h"
#include "fmwizard.h"
#include "form1.h"
#include "form_apcfg.h"
#include "form_property.h"
#include "form_showdata.h"
#include "importform.h"
#include "importform_services.h"
#include "msgbox.h"
#include "node_kinds.h"
#include "password.h"
#include "profile_host.h"
#include "taskman.h"

#include "shell/shell.h"
#include "vcl/menus.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace {

// The kind dialog (Form1) for the life of a test that meets one.
struct KindDialog {
    KindDialog() { Form1 = vcl::MakeForm<TForm1>(nullptr); }
    ~KindDialog() {
        delete Form1;
        Form1 = nullptr;
    }
    KindDialog(const KindDialog&) = delete;
    KindDialog& operator=(const KindDialog&) = delete;
};

using Strings = std::vector<std::string>;
using Names = std::set<std::string>;

class CommandsTest : public MainWindowTest {
protected:
    using MainWindowTest::W;
    using UiTest::W;
    void SetUp() override {
        MainWindowTest::SetUp();
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = true;
    }
    void TearDown() override {
        delete FmWizard;
        delete Form_ApCfg;
        delete Form_Property;
        delete FmTaskMan;
        if (Form_Central) {
            Form_Central->OnDestroy = nullptr;
            delete Form_Central;
            Form_Central = nullptr;
        }
        delete Form_About;
        Form_About = nullptr;
        MainWindowTest::TearDown();
    }

    TForm_Central& Window() {
        TForm_Central& w = MakeWindow();
        EXPECT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
        QApplication::setActiveWindow(W(&w));
        return w;
    }

    // Focus by the user's own means: a click on a node or a row; neither: focus elsewhere.
    void FocusNode(vcl::TTreeNode* node) {
        ClickNode(node);
        ASSERT_TRUE(W().TreeView->Focused());
        ASSERT_EQ(W().TreeView->GetSelected(), node);
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        const vcl::TRect r = W().ListView->Items()->Item(row)->DisplayRect();
        QTest::mouseClick(Viewport(W().ListView), Qt::LeftButton, modifiers,
                          QPoint(r.Left + 5, (r.Top + r.Bottom) / 2));
    }
    void FocusNeither() {
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
        ASSERT_FALSE(W().TreeView->Focused());
        ASSERT_FALSE(W().ListView->Focused());
    }

    // The names of the enabled (or, for the right-click menu, visible) items of a menu as it
    // drops down under its menu-bar button, clicked.
    Names EnabledOf(vcl::TToolButton* menuButton) {
        PopupScript popup;
        Names names;
        popup.during = [&] {
            vcl::TMenuItem* root = menuButton->DropdownMenu->Items();
            for (int i = 0; i < root->Count(); ++i)
                if (!root->Items(i)->IsLine() && root->Items(i)->GetVisible() &&
                    root->Items(i)->GetEnabled())
                    names.insert(root->Items(i)->Name);
        };
        QTest::mouseClick(W(menuButton), Qt::LeftButton);
        EXPECT_EQ(popup.shown.size(), 1u);
        return names;
    }
    Names ShownOnRightClick(vcl::TControl* view, QPoint at, vcl::TMenuItem* choose = nullptr) {
        PopupScript popup;
        popup.choose = choose;
        Names names;
        popup.during = [&] {
            vcl::TMenuItem* root = W().PopupMenu_RightClick->Items();
            for (int i = 0; i < root->Count(); ++i)
                if (root->Items(i)->GetVisible()) names.insert(root->Items(i)->Name);
        };
        QTest::mousePress(Viewport(view), Qt::RightButton, {}, at);
        QTest::mouseRelease(Viewport(view), Qt::RightButton, {}, at);
        EXPECT_EQ(popup.shown, Strings{"PopupMenu_RightClick"});
        return names;
    }
    QPoint NodePoint(vcl::TTreeNode* node) {
        node->MakeVisible();
        const vcl::TRect r = node->DisplayRect(true);
        return QPoint(r.Left + 3, (r.Top + r.Bottom) / 2);
    }
    QPoint RowPoint(int row) {
        const vcl::TRect r = W().ListView->Items()->Item(row)->DisplayRect();
        return QPoint(r.Left + 5, (r.Top + r.Bottom) / 2);
    }
    // Chooses an item from a menu-bar menu, as the user does.
    void Choose(vcl::TToolButton* menuButton, vcl::TMenuItem* item) {
        PopupScript popup;
        popup.choose = item;
        QTest::mouseClick(W(menuButton), Qt::LeftButton);
    }
};

// ---- The node-kind rules

TEST(NodeKindRules, EachPredicateByKind) {
    const KindRules rules{63}; // shell icons 60..63 handed out
    struct Case {
        int kind;
        Names allowed;
    };
    const auto allowedOf = [&](int k) {
        Names n;
        const std::pair<const char*, bool> all[] = {
            {"property", rules.KindHasProperty(k)},   {"import", rules.KindAllowsImport(k)},
            {"export", rules.KindAllowsExport(k)},    {"newfolder", rules.KindAllowsNewFolder(k)},
            {"rename", rules.KindAllowsRename(k)},    {"delete", rules.KindAllowsDelete(k)},
            {"refresh", rules.KindAllowsRefresh(k)},  {"mirror", rules.KindAllowsMirror(k)},
            {"build", rules.KindAllowsBuild(k)},      {"validate", rules.KindAllowsValidate(k)},
            {"setup", rules.KindAllowsQuickSetup(k)}, {"shutdown", rules.KindAllowsShutdown(k)},
            {"browse", rules.KindAllowsBrowse(k)},    {"explore", rules.KindAllowsExplore(k)},
            {"paste", rules.KindTakesPaste(k)},
        };
        for (auto [name, yes] : all)
            if (yes) n.insert(name);
        return n;
    };
    const Case cases[] = {
        {0, {}},
        {1, {"refresh"}},
        {2, {"property", "newfolder", "delete", "build", "validate", "paste"}},
        {4, {"newfolder", "build", "paste"}},
        {5, {"property", "newfolder", "rename", "delete", "paste"}},
        {7, {"property", "rename", "delete", "paste"}},
        {15, {"property", "refresh", "setup", "shutdown", "browse"}},
        {31, {"delete", "explore"}},
        {33, {"property", "refresh"}},
        {34, {"property", "refresh", "mirror"}},
        {36, {"property", "mirror"}},
        {52, {"refresh"}},
        {53, {"import", "export", "setup", "browse", "explore"}},
        {54, {}},
        {56, {"setup"}},
        {57, {"delete"}},
        {58, {}},
        {59, {"refresh"}},
        {63, {"property", "rename", "delete", "paste"}}, // a shell icon handed out
        {64, {}},                                        // beyond the last one
    };
    for (const Case& c : cases)
        EXPECT_EQ(allowedOf(c.kind), c.allowed) << "kind " << c.kind;
    EXPECT_TRUE(rules.KindAllowsExit(0));
}

// ---- Menus by focus and selection, through the real window

TEST_F(CommandsTest, MainMenusEnableByFocusSelectionAndRename) {
    AddUnit(1, "alpha");
    AddUnit(2, "beta");
    TForm_Central& w = Window();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);

    const Names always = {"MenuItem_MenuWizard", "MenuItem_MenuTaskManager", "MenuItem_MenuApCfg"};
    const Names mirrorAlways = {"MenuItem_MenuMirror",        "MenuItem_MenuBuild",
                                "MenuItem_MenuBuildISO",      "MenuItem_MenuCDHImgConverter",
                                "MenuItem_MenuNewContainer",  "MenuItem_MenuLoadContainer",
                                "MenuItem_MenuSaveContainer", "MenuItem_MenuSaveContainerAs",
                                "MenuItem_MenuValidate"};
    const Names serverItems = {"MenuItem_MenuServerQuickSetup", "MenuItem_MenuBrowse",
                               "MenuItem_MenuExplore", "MenuItem_MenuExport",
                               "MenuItem_MenuImport"};
    const Names serverBare = {"MenuItem_MenuServerQuickSetup"};
    struct Case {
        const char* what;
        std::function<void()> focus;
        Names file, view, server;
    };
    const Case cases[] = {
        {"tree: a unit",
         [&] { FocusNode(alpha); },
         {"RemoteNASList1", "MenuItem_MenuExit"},
         {"MenuItem_MenuUpDirectory", "MenuItem_MenuExpand", "MenuItem_MenuShrink",
          "MenuItem_MenuLarge", "MenuItem_MenuSmall", "MenuItem_MenuList", "MenuItem_MenuDetail",
          "MenuItem_MenuStatusBar", "MenuItem_MenuToolBar"},
         serverItems},
        {"tree: NAS Servers",
         [&] { FocusNode(w.NasServersNode); },
         {"RemoteNASList1", "MenuItem_MenuExit"},
         {"MenuItem_MenuRefresh", "MenuItem_MenuUpDirectory", "MenuItem_MenuExpand",
          "MenuItem_MenuShrink", "MenuItem_MenuLarge", "MenuItem_MenuSmall", "MenuItem_MenuList",
          "MenuItem_MenuDetail", "MenuItem_MenuStatusBar", "MenuItem_MenuToolBar"},
         serverBare},
        {"tree: My Computer",
         [&] { FocusNode(w.MyComputerNode); },
         {"RemoteNASList1", "MenuItem_MenuProperty", "MenuItem_MenuExit"},
         {"MenuItem_MenuRefresh", "MenuItem_MenuUpDirectory", "MenuItem_MenuExpand",
          "MenuItem_MenuShrink", "MenuItem_MenuLarge", "MenuItem_MenuSmall", "MenuItem_MenuList",
          "MenuItem_MenuDetail", "MenuItem_MenuStatusBar", "MenuItem_MenuToolBar"},
         serverBare},
        {"list: one unit row",
         [&] {
             FocusNode(w.NasServersNode);
             ClickRow(0);
         },
         {"RemoteNASList1", "MenuItem_MenuExit"},
         {"MenuItem_MenuUpDirectory", "MenuItem_MenuExpand", "MenuItem_MenuShrink",
          "MenuItem_MenuLarge", "MenuItem_MenuSmall", "MenuItem_MenuList", "MenuItem_MenuDetail",
          "MenuItem_MenuStatusBar", "MenuItem_MenuToolBar"},
         serverItems},
        {"list: two unit rows",
         [&] {
             FocusNode(w.NasServersNode);
             ClickRow(0);
             ClickRow(1, Qt::ControlModifier);
             ASSERT_EQ(w.ListView->SelCount(), 2);
         },
         {"RemoteNASList1", "MenuItem_MenuExit"},
         {"MenuItem_MenuUpDirectory", "MenuItem_MenuExpand", "MenuItem_MenuShrink",
          "MenuItem_MenuLarge", "MenuItem_MenuSmall", "MenuItem_MenuList", "MenuItem_MenuDetail",
          "MenuItem_MenuStatusBar", "MenuItem_MenuToolBar"},
         serverBare},
        {"list: no row, the tree on a unit",
         [&] {
             FocusNode(alpha);
             QTest::mouseClick(Viewport(w.ListView), Qt::LeftButton, {},
                               QPoint(5, Viewport(w.ListView)->height() - 5));
             ASSERT_TRUE(w.ListView->Focused());
             ASSERT_EQ(w.ListView->SelCount(), 0);
         },
         {"RemoteNASList1", "MenuItem_MenuExit"},
         {"MenuItem_MenuUpDirectory", "MenuItem_MenuExpand", "MenuItem_MenuShrink",
          "MenuItem_MenuLarge", "MenuItem_MenuSmall", "MenuItem_MenuList", "MenuItem_MenuDetail",
          "MenuItem_MenuStatusBar", "MenuItem_MenuToolBar"},
         serverItems},
        {"neither",
         [&] { FocusNeither(); },
         {"RemoteNASList1", "MenuItem_MenuExit"},
         {"MenuItem_MenuUpDirectory", "MenuItem_MenuExpand", "MenuItem_MenuShrink",
          "MenuItem_MenuLarge", "MenuItem_MenuSmall", "MenuItem_MenuList", "MenuItem_MenuDetail",
          "MenuItem_MenuStatusBar", "MenuItem_MenuToolBar"},
         serverBare},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.focus();
        EXPECT_EQ(EnabledOf(w.ToolButton_FileMenu), c.file);
        EXPECT_EQ(EnabledOf(w.ToolButton_ViewMenu), c.view);
        EXPECT_EQ(EnabledOf(w.ToolButton_ServerMenu), c.server);
        // Record CD waits for an image row; the rest of the Mirror menu is always there.
        EXPECT_EQ(EnabledOf(w.ToolButton_MirrorMenu), mirrorAlways);
        EXPECT_EQ(EnabledOf(w.ToolButton_ToolMenu), always);
        EXPECT_EQ(EnabledOf(w.ToolButton_HelpMenu),
                  (Names{"MenuItem_MenuHelpIndex", "MenuItem_MenuAbout"}));
        EXPECT_EQ(EnabledOf(w.ToolButton_EditMenu),
                  (Names{"MenuItem_MenuSelectAll", "MenuItem_MenuInverseSelect"}));
    }

    // While a container entry is renamed in place, every main menu is wholly disabled.
    FocusNode(alpha);
    w.RenameInProgress = true;
    for (vcl::TToolButton* menu :
         {w.ToolButton_FileMenu, w.ToolButton_EditMenu, w.ToolButton_ViewMenu,
          w.ToolButton_MirrorMenu, w.ToolButton_ServerMenu, w.ToolButton_ToolMenu,
          w.ToolButton_HelpMenu})
        EXPECT_EQ(EnabledOf(menu), Names{}) << menu->Name;
    w.RenameInProgress = false;
}

// Record CD/DVD follows the image row the user clicks the moment the folder is open: on a unit
// with a writer it is offered in the Mirror menu and the right-click menu, on one without it is
// not, with nothing let run in between (no timer, no wait on the unit).
TEST_F(CommandsTest, RecordCdFollowsTheImageRowAsSoonAsTheFolderOpens) {
    nassim::Unit& writer = AddUnit(1, "alpha", true, {"Movies"}, {Image("Movies/one.iso", 1000)});
    nassim::CdDriveRecord drive;
    drive.typeMask = 0x02;
    drive.name = "alpha WRITER";
    drive.tail[0] = 3;
    writer.setCdDrives({drive});
    AddUnit(2, "beta", true, {"Movies"}, {Image("Movies/two.iso", 1000)});
    TForm_Central& w = Window();
    for (const auto& [name, offered] : {std::pair{"alpha", true}, std::pair{"beta", false}}) {
        SCOPED_TRACE(name);
        vcl::TTreeNode* unit = Child(w.NasServersNode, name);
        ASSERT_NE(unit, nullptr);
        unit->Expand(false);
        FocusNode(Child(unit, "Movies"));
        ASSERT_EQ(w.ListView->Items()->Count(), 1);
        ClickRow(0);
        ASSERT_EQ(w.ListView->SelCount(), 1);
        EXPECT_EQ(EnabledOf(w.ToolButton_MirrorMenu).count("MenuItem_MenuRecordCD"),
                  offered ? 1u : 0u);
        EXPECT_EQ(ShownOnRightClick(w.ListView, RowPoint(0)).count("MenuItem_RightRecordCD"),
                  offered ? 1u : 0u);
    }
}

TEST_F(CommandsTest, RightClickMenuShowsTheEntriesOfTheKindOnly) {
    AddUnit(1, "alpha");
    TForm_Central& w = Window();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    const Names unit = {"MenuItem_RightServerQuickSetup", "MenuItem_RightBrowse",
                        "MenuItem_RightExplore", "MenuItem_RightImport", "MenuItem_RightExport"};
    struct Case {
        vcl::TTreeNode* node;
        Names shown;
    };
    const Case cases[] = {
        {alpha, unit},
        {w.NasServersNode, {"MenuItem_RightRefresh"}},
        {w.RemoteServersNode, {"MenuItem_RightRefresh"}},
        {w.MyComputerNode, {"MenuItem_RightRefresh", "MenuItem_RightProperty"}},
        {w.DesktopNode, {"MenuItem_RightRefresh"}},
        {w.NasNetworkNode, {}},
        {w.MyContainerNode, {"MenuItem_RightNewFolder", "MenuItem_RightBuildImage"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node->GetText());
        FocusNode(w.DesktopNode);
        EXPECT_EQ(ShownOnRightClick(w.TreeView, NodePoint(c.node)), c.shown);
    }

    // A unit's row in the list: the same entries as its node; neither Delete nor Disable.
    FocusNode(w.NasServersNode);
    ASSERT_EQ(w.ListView->Items()->Count(), 1);
    ClickRow(0);
    EXPECT_EQ(ShownOnRightClick(w.ListView, RowPoint(0)), unit);
    // Below the rows: only what applies to the tree's node (NAS Servers: Refresh).
    const QPoint below(5, Viewport(w.ListView)->height() - 5);
    EXPECT_EQ(ShownOnRightClick(w.ListView, below), Names{"MenuItem_RightRefresh"});

    // During a rename nothing shows.
    w.RenameInProgress = true;
    {
        PopupScript popup;
        w.PopupMenu_RightClick->Popup(0, 0);
    }
    for (int i = 0; i < w.PopupMenu_RightClick->Items()->Count(); ++i)
        EXPECT_FALSE(w.PopupMenu_RightClick->Items()->Items(i)->GetVisible());
    w.RenameInProgress = false;
}

// Every entry of every menu of the window, for every node of the tree, either has a command or
// is disabled or hidden when its menu opens.
TEST_F(CommandsTest, NoEnabledEntryIsWithoutACommand) {
    AddUnit(1, "alpha");
    TForm_Central& w = Window();
    // The container, edit and view commands are another part's; their items are listed here so
    // that the check covers the rest.
    const Names elsewhere = {"MenuItem_MenuNewFolder",
                             "MenuItem_MenuRename",
                             "MenuItem_MenuDelete",
                             "MenuItem_MenuPaste",
                             "MenuItem_MenuSelectAll",
                             "MenuItem_MenuInverseSelect",
                             "MenuItem_MenuRefresh",
                             "MenuItem_MenuUpDirectory",
                             "MenuItem_MenuExpand",
                             "MenuItem_MenuShrink",
                             "MenuItem_MenuLarge",
                             "MenuItem_MenuSmall",
                             "MenuItem_MenuList",
                             "MenuItem_MenuDetail",
                             "MenuItem_MenuStatusBar",
                             "MenuItem_MenuToolBar",
                             "MenuItem_MenuNewContainer",
                             "MenuItem_MenuLoadContainer",
                             "MenuItem_MenuSaveContainerAs",
                             "MenuItem_MenuDisable",
                             "MenuItem_RightPaste",
                             "MenuItem_RightNewFolder",
                             "MenuItem_RightRename",
                             "MenuItem_RightDelete",
                             "MenuItem_RightRefresh",
                             "MenuItem_RightDisable"};
    std::vector<vcl::TTreeNode*> nodes;
    for (vcl::TTreeNode* n = w.TreeView->Items()->GetFirstNode(); n; n = n->GetNext())
        nodes.push_back(n);
    Names missing;
    for (vcl::TTreeNode* node : nodes) {
        FocusNode(node);
        for (vcl::TToolButton* button :
             {w.ToolButton_FileMenu, w.ToolButton_EditMenu, w.ToolButton_ViewMenu,
              w.ToolButton_MirrorMenu, w.ToolButton_ServerMenu, w.ToolButton_ToolMenu,
              w.ToolButton_HelpMenu})
            for (const std::string& name : EnabledOf(button)) {
                auto* item = dynamic_cast<vcl::TMenuItem*>(w.FindComponent(name));
                ASSERT_NE(item, nullptr) << name;
                if (!item->OnClick && !elsewhere.count(name)) missing.insert(name);
            }
        for (const std::string& name : ShownOnRightClick(w.TreeView, NodePoint(node))) {
            auto* item = dynamic_cast<vcl::TMenuItem*>(w.FindComponent(name));
            ASSERT_NE(item, nullptr) << name;
            if (!item->IsLine() && !item->OnClick && !elsewhere.count(name)) missing.insert(name);
        }
    }
    EXPECT_EQ(missing, Names{});
    for (vcl::TToolButton* button : {w.ToolButton_Refresh, w.ToolButton_Mirror, w.ToolButton_Build,
                                     w.ToolButton_ServerQuickSetup, w.ToolButton_Wizard,
                                     w.ToolButton_TaskManager, w.ToolButton_HelpBook}) {
        EXPECT_TRUE(button->OnClick) << button->Name;
        // Its hint shows as the button's tool-tip.
        EXPECT_FALSE(W(button)->toolTip().isEmpty()) << button->Name;
    }
}

// ---- Commands: what reaches the wizard, the shell and the dialogs

struct WizardCall {
    int job = -1;
    std::uint64_t server = 0; // the preselected unit's handle
    char letter = 0;
    int highlighted = -1; // the selected row of the job list
    bool operator==(const WizardCall&) const = default;
};
std::ostream& operator<<(std::ostream& out, const WizardCall& c) {
    return out << "job " << c.job << " server " << c.server << " letter " << int(c.letter)
               << " row " << c.highlighted;
}

TEST_F(CommandsTest, EachCommandStartsTheWizardOnItsJobWithItsPreselection) {
    AddUnit(1, "alpha");
    // A unit added by address that does not answer: its node carries no server.
    std::ofstream(home_ + "/brimlet.ini") << "[Remote NAS List]\nNASNumber=1\nIP1=127.0.66.9\n";
    TForm_Central& w = Window();
    ASSERT_TRUE(PumpUntil([&] { return w.RemoteServersNode->Count() == 1; }));
    vcl::TTreeNode* silent = w.RemoteServersNode->Item(0);
    ASSERT_EQ(silent->GetData(), nullptr);
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    const std::uint64_t server = Form_Central->UnitOf(alpha->GetData())->UnitHandle.Value();

    // The spy: the wizard as it is shown, after the command set it up and started its job.
    std::vector<WizardCall> calls;
    const auto spy = [&](vcl::TForm& form) {
        auto& wizard = static_cast<TFmWizard&>(form);
        WizardCall call;
        call.job = WzdInfo.Job;
        call.server = wizard.PreselectedServer.Value();
        call.letter = wizard.SourceDriveLetter;
        // The highlighted job row matters while the wizard opens on its job list.
        vcl::TListItem* row = wizard.ListView_JobList->GetSelected();
        if (call.job == 0 && row) call.highlighted = row->Index();
        calls.push_back(call);
        form.SetModalResult(vcl::mrCancel);
    };
    struct Case {
        const char* what;
        std::function<void()> act;
        WizardCall expected;
        bool validatesFirst = false; // the container is validated before the wizard opens
    };
    const auto click = [&](vcl::TToolButton* b) { QTest::mouseClick(W(b), Qt::LeftButton); };
    const Case cases[] = {
        {"Mirror, tool button, no drive",
         [&] {
             FocusNode(w.NasServersNode);
             click(w.ToolButton_Mirror);
         },
         {1, 0, 0, -1}},
        {"Build, menu",
         [&] { Choose(w.ToolButton_MirrorMenu, w.MenuItem_MenuBuild); },
         {2, 0, 0, -1},
         true},
        {"Upload ISO, menu",
         [&] { Choose(w.ToolButton_MirrorMenu, w.MenuItem_MenuBuildISO); },
         {11, 0, 0, -1}},
        {"Quick setup, tool button, configured unit",
         [&] {
             FocusNode(alpha);
             click(w.ToolButton_ServerQuickSetup);
         },
         {3, 0, 0, -1}},
        {"Quick setup, right click on the unit",
         [&] {
             FocusNode(w.DesktopNode);
             ShownOnRightClick(w.TreeView, NodePoint(alpha), w.MenuItem_RightServerQuickSetup);
         },
         {5, server, 0, -1}},
        {"Quick setup on a unit that does not answer: no preselection",
         [&] {
             FocusNode(silent);
             click(w.ToolButton_ServerQuickSetup);
         },
         {3, 0, 0, -1}},
        {"Wizard on a unit",
         [&] {
             FocusNode(alpha);
             click(w.ToolButton_Wizard);
         },
         {0, 0, 0, 2}},
        {"Wizard on My Computer",
         [&] {
             FocusNode(w.MyComputerNode);
             Choose(w.ToolButton_ToolMenu, w.MenuItem_MenuWizard);
         },
         {0, 0, 0, 0}},
        {"Wizard on My Container",
         [&] {
             FocusNode(w.MyContainerNode);
             click(w.ToolButton_Wizard);
         },
         {0, 0, 0, 1}},
        // Without a focused view the wizard shows as it was left.
        {"Wizard with nothing focused",
         [&] {
             FocusNeither();
             click(w.ToolButton_Wizard);
         },
         {0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        if (c.validatesFirst)
            Responder().ExpectModal("Form_Validate",
                                    [](vcl::TForm& form) { form.SetModalResult(vcl::mrCancel); });
        Responder().ExpectModal("FmWizard", spy);
        c.act();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0], c.expected);
        EXPECT_EQ(Responder().Pending(), 0);
    }
}

// Validate with nothing in "My Container" says so (the dialog would open and close at once);
// with an entry it opens the validation dialog.
TEST_F(CommandsTest, ValidateOfAnEmptyContainerSaysItIsEmpty) {
    AddUnit(1, "alpha");
    TForm_Central& w = Window();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    FocusNode(alpha);
    ASSERT_TRUE(w.MenuItem_MenuValidate->GetEnabled());
    Responder().ExpectBox("Container is empty.", vcl::IDOK);
    Choose(w.ToolButton_MirrorMenu, w.MenuItem_MenuValidate);
    EXPECT_EQ(Responder().Pending(), 0);

    ASSERT_NE(MainContainer.GetRoot(), nullptr);
    const std::string file = home_ + "/entry.txt";
    std::ofstream(file) << "x";
    MIRROR_CONTAINER::FileInfo info;
    info.displayName = "entry.txt";
    info.fullPath = file;
    info.size = 1;
    ASSERT_NE(MainContainer.AddEntry(MainContainer.GetRoot(), info), nullptr);
    Responder().ExpectModal("Form_Validate", vcl::mrOk);
    Choose(w.ToolButton_MirrorMenu, w.MenuItem_MenuValidate);
    EXPECT_EQ(Responder().Pending(), 0);
}

TEST_F(CommandsTest, WebSharesHelpAboutOptionsAndTaskManagerAreReached) {
    AddUnit(1, "alpha");
    TForm_Central& w = Window();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    platform::RecordingShell shell;

    FocusNode(alpha);
    Choose(w.ToolButton_ServerMenu, w.MenuItem_MenuBrowse);
    Choose(w.ToolButton_ServerMenu, w.MenuItem_MenuExplore);
    FocusNode(w.DesktopNode);
    ShownOnRightClick(w.TreeView, NodePoint(alpha), w.MenuItem_RightBrowse);
    // The list focused below its rows while the tree is on the unit: the unit's again, from the
    // menu bar and from the right-click menu.
    FocusNode(alpha);
    const QPoint below(5, Viewport(w.ListView)->height() - 5);
    QTest::mouseClick(Viewport(w.ListView), Qt::LeftButton, {}, below);
    ASSERT_TRUE(w.ListView->Focused());
    Choose(w.ToolButton_ServerMenu, w.MenuItem_MenuBrowse);
    ShownOnRightClick(w.ListView, below, w.MenuItem_RightExplore);
    EXPECT_EQ(shell.Opened,
              (Strings{"http://127.0.66.1/admin/", "smb://127.0.66.1/", "http://127.0.66.1/admin/",
                       "http://127.0.66.1/admin/", "smb://127.0.66.1/"}));

    // Nothing could open them (no browser, no file manager): the user is told which address.
    shell.Result = false;
    FocusNode(alpha);
    Responder().ExpectBox("Can't open http://127.0.66.1/admin/", vcl::IDOK);
    Choose(w.ToolButton_ServerMenu, w.MenuItem_MenuBrowse);
    Responder().ExpectBox("Can't open smb://127.0.66.1/", vcl::IDOK);
    Choose(w.ToolButton_ServerMenu, w.MenuItem_MenuExplore);
    EXPECT_EQ(Responder().Pending(), 0);
    shell.Result = true;

    // Help: the help file of the language, from the program folder, by all three ways.
    shell.Opened.clear();
    const std::string help = GetMessageText(3);
    std::ofstream(home_ + "/" + help) << "help";
    Choose(w.ToolButton_HelpMenu, w.MenuItem_MenuHelpIndex);
    QTest::mouseClick(W(w.ToolButton_HelpBook), Qt::LeftButton);
    w.MenuItem_MenuHelpContentClick(w.MenuItem_MenuHelpContent);
    ASSERT_EQ(shell.Opened.size(), 3u);
    for (const std::string& url : shell.Opened)
        EXPECT_EQ(url, "file://" + home_ + "/" + help);
    // Without the file the user is told that it is missing, and where it belongs.
    std::filesystem::remove(home_ + "/" + help);
    Responder().ExpectBox(home_ + "/" + help + " not found.", vcl::IDOK);
    Choose(w.ToolButton_HelpMenu, w.MenuItem_MenuHelpIndex);
    // With the file there but nothing to show it: the user is told which file could not open.
    std::ofstream(home_ + "/" + help) << "help";
    shell.Result = false;
    Responder().ExpectBox("Can't open " + home_ + "/" + help, vcl::IDOK);
    QTest::mouseClick(W(w.ToolButton_HelpBook), Qt::LeftButton);
    EXPECT_EQ(Responder().Pending(), 0);
    shell.Result = true;

    Responder().ExpectModal("Form_About", vcl::mrOk);
    Choose(w.ToolButton_HelpMenu, w.MenuItem_MenuAbout);
    EXPECT_TRUE(Form_About->Interactive);

    Responder().ExpectModal("Form_ApCfg", vcl::mrCancel);
    Choose(w.ToolButton_ToolMenu, w.MenuItem_MenuApCfg);

    QTest::mouseClick(W(w.ToolButton_TaskManager), Qt::LeftButton);
    ASSERT_NE(FmTaskMan, nullptr);
    EXPECT_TRUE(FmTaskMan->GetVisible());
    EXPECT_EQ(Responder().Pending(), 0);
}

TEST(ProfileFileName, ServerTextsAreMadeSafeForTheProposedName) {
    EXPECT_EQ(ProposedProfileFileName("", "127.0.0.9"), "_127.0.0.9.cfg");
    EXPECT_EQ(ProposedProfileFileName("nas", "10.0.0.1"), "nas_10.0.0.1.cfg");
    EXPECT_EQ(ProposedProfileFileName("../../etc/x", ""), "___.._etc_x_.cfg");
    EXPECT_EQ(ProposedProfileFileName("a\nb|c:d", "1"), "a_b_c_d_1.cfg");
}

// ---- The options dialog, by script

TEST_F(CommandsTest, OptionsDialogEditsTheRecordOnlyOnOk) {
    TForm_Central& w = Window();
    w.IniData.RefreshEnable = 1;
    w.IniData.RefreshInterval = 25;
    w.IniData.ValidateLogEnable = 0;
    w.IniData.OverWriteValidateLog = 1;
    w.IniData.ValidateLog = home_ + "/old.log";

    Responder().ExpectModal("Form_ApCfg", [&](vcl::TForm& form) {
        auto& d = static_cast<TForm_ApCfg&>(form);
        EXPECT_EQ(d.GetCaption(), GetMessageText(556));
        EXPECT_EQ(d.CSpinEdit_RefreshTime->GetValue(), 25);
        EXPECT_TRUE(d.RadioButton_OverWrite->GetChecked());
        EXPECT_FALSE(d.RadioButton_Append->GetChecked());
        // The log off: its choices are disabled.
        EXPECT_FALSE(d.RadioButton_Append->GetEnabled());
        EXPECT_FALSE(d.Button_SaveAs->GetEnabled());
        // Refresh off by a real click: the interval and its default button go grey.
        QTest::mouseClick(W(d.CheckBox_AutoRefresh), Qt::LeftButton, {}, QPoint(6, 9));
        EXPECT_FALSE(d.CheckBox_AutoRefresh->GetChecked());
        EXPECT_FALSE(d.CSpinEdit_RefreshTime->GetEnabled());
        EXPECT_FALSE(d.Button_RefreshTimeDefault->GetEnabled());
        QTest::mouseClick(W(d.CheckBox_ValidateLogEnable), Qt::LeftButton, {}, QPoint(6, 9));
        EXPECT_TRUE(d.Button_SaveAs->GetEnabled());
        QTest::mouseClick(W(d.RadioButton_Append), Qt::LeftButton, {}, QPoint(6, 9));
        EXPECT_FALSE(d.RadioButton_OverWrite->GetChecked());
        QTest::mouseClick(W(d.Button_Ok), Qt::LeftButton);
    });
    Choose(w.ToolButton_ToolMenu, w.MenuItem_MenuApCfg);
    EXPECT_EQ(w.IniData.RefreshEnable, 0);
    EXPECT_EQ(w.IniData.RefreshInterval, 25);
    EXPECT_EQ(w.IniData.ValidateLogEnable, 1);
    EXPECT_EQ(w.IniData.OverWriteValidateLog, 0);

    // Save-as: a name ending in a dot becomes .log in the chosen folder; Cancel then brings
    // nothing of it into the record. A name of dots only is refused.
    Responder().ExpectModal("Form_ApCfg", [&](vcl::TForm& form) {
        auto& d = static_cast<TForm_ApCfg&>(form);
        EXPECT_EQ(d.Edit_ValidateLog->GetText(), home_ + "/old.log");
        QTest::mouseClick(W(d.Button_SaveAs), Qt::LeftButton);
        EXPECT_EQ(d.Edit_ValidateLog->GetText(), home_ + "/run.log");
        QTest::mouseClick(W(d.Button_SaveAs), Qt::LeftButton);
        EXPECT_EQ(d.Edit_ValidateLog->GetText(), home_ + "/run.txt.log");
        QTest::mouseClick(W(d.Button_SaveAs), Qt::LeftButton);
        EXPECT_EQ(d.Edit_ValidateLog->GetText(), home_ + "/run.txt.log");
        QTest::mouseClick(W(d.Button_Cancel), Qt::LeftButton);
    });
    Responder().ExpectFileDialog({home_ + "/run."});
    Responder().ExpectFileDialog({home_ + "/run.txt"});
    Responder().ExpectFileDialog({home_ + "/..."});
    Responder().ExpectBox(GetMessageText(8), vcl::IDOK);
    Choose(w.ToolButton_ToolMenu, w.MenuItem_MenuApCfg);
    EXPECT_EQ(w.IniData.ValidateLog, home_ + "/old.log");
    EXPECT_EQ(Responder().Pending(), 0);
}

// ---- The property sheet

TEST(PropertyTexts, SourceLinesSizesDatesAndSchedules) {
    int lines = 0;
    EXPECT_EQ(TForm_Property::WrapSourceText("", lines), "");
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(TForm_Property::WrapSourceText(std::string(32, 'a'), lines), std::string(32, 'a'));
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(TForm_Property::WrapSourceText(std::string(33, 'a'), lines),
              std::string(33, 'a') + "\n");
    EXPECT_EQ(lines, 2);
    TForm_Property::WrapSourceText(std::string(65, 'a'), lines);
    EXPECT_EQ(lines, 2);
    // At most 256 characters, counted as characters, not bytes.
    const std::string wide = "\xC3\xA9"; // one character, two bytes
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += wide;
    const std::string wrapped = TForm_Property::WrapSourceText(many, lines);
    EXPECT_EQ(lines, 1 + 256 / 33);
    EXPECT_EQ(wrapped.size(), 256 * 2 + 256 / 33);

    struct Schedule {
        std::uint32_t kind, minute, hour, weekday, day;
        std::optional<std::string> text;
    };
    std::tm sunday{};
    char name[64];
    std::strftime(name, sizeof name, "%A", &sunday);
    const Schedule schedules[] = {
        {0, 5, 7, 0, 0, "7:05 (Daily)"},
        {1, 30, 23, 0, 0, std::string(name) + ", 23:30 (Weekly)"},
        {2, 0, 0, 0, 15, "15, 0:00 (Monthly)"},
        {3, 0, 0, 0, 1, std::nullopt},  // unknown kind
        {0, 60, 7, 0, 0, std::nullopt}, // minute out of range
        {0, 0, 24, 0, 0, std::nullopt}, // hour out of range
        {1, 0, 1, 7, 0, std::nullopt},  // weekday out of range
        {1, 0, 1, 0xFFFFFFFF, 0, std::nullopt},
        {2, 0, 1, 0, 0, std::nullopt}, // day out of range
        {2, 0, 1, 0, 32, std::nullopt},
    };
    for (const Schedule& s : schedules)
        EXPECT_EQ(TForm_Property::ScheduleText(s.kind, s.minute, s.hour, s.weekday, s.day), s.text)
            << s.kind << " " << s.minute << " " << s.hour << " " << s.weekday << " " << s.day;
}

TEST_F(CommandsTest, PropertyOfMyComputerListsTheDrivesAndNoCdServerBranchExists) {
    TForm_Central& w = Window();
    EXPECT_EQ(w.CdhRootNode, nullptr);
    EXPECT_EQ(w.RefreshCdhServers(), 0);
    EXPECT_EQ(w.BuildCdhServerTree(), -1);
    EXPECT_EQ(w.RefreshCdhServerNode(nullptr), -1);
    EXPECT_EQ(w.RefreshCdhDeviceNodes(nullptr), -1);
    // My Computer has no page of its own: its drives are listed.
    FocusNode(w.MyComputerNode);
    Responder().ExpectBox("", vcl::IDOK);
    Choose(w.ToolButton_FileMenu, w.MenuItem_MenuProperty);
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_EQ(Form_Property, nullptr);
}

// ---- Status texts, refresh, the import dialog's host and the debug window

TEST_F(CommandsTest, StatusTextsFollowTheSelectionOfTreeAndList) {
    AddUnit(1, "alpha", true, {"A", "B"}, {Image("A/x.iso", 10), Image("A/y.iso", 20)});
    AddUnit(2, "beta");
    TForm_Central& w = Window();
    const auto status = [&] { return w.StatusBar->Panels(0)->GetText(); };
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    FocusNode(w.NasServersNode);
    EXPECT_EQ(status(), "2 Server(s)");
    ClickRow(0);
    EXPECT_EQ(status(), "1 Select 1 Server(s)");
    ClickRow(1, Qt::ControlModifier);
    EXPECT_EQ(status(), "2 Select 2 Server(s)");
    // A unit and an image folder say how many entries their lists show.
    FocusNode(alpha);
    EXPECT_EQ(status(), "3 Item(s)");
    vcl::TTreeNode* folder = Child(alpha, "A");
    ASSERT_NE(folder, nullptr);
    FocusNode(folder);
    EXPECT_EQ(status(), "2 Item(s)");
    // The status bar's first panel never gets a negative width.
    w.StatusBar->SetWidth(100);
    w.StatusBarResize(w.StatusBar);
    EXPECT_GE(w.StatusBar->Panels(0)->GetWidth(), 0);
}

TEST_F(CommandsTest, KeysReadTheirCommandsStateWhenPressedNotWhenTheMenuLastOpened) {
    AddUnit(1, "alpha");
    const KindDialog kindDialog;
    const std::string host = home_ + "/host/kept";
    std::filesystem::create_directories(host);
    TForm_Central& w = Window();
    FocusNode(w.MyContainerNode);
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(host))});
    QGuiApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_V, Qt::ControlModifier);
    w.MyContainerNode->Expand(false);
    // The paste's wait page took the activation: the window gets it back.
    QApplication::setActiveWindow(W(&w));
    vcl::TTreeNode* folder = Child(w.MyContainerNode, "kept");
    ASSERT_NE(folder, nullptr);

    // File opened on a unit: Delete is not offered there, and the key does nothing.
    FocusNode(Child(w.NasServersNode, "alpha"));
    EXPECT_EQ(EnabledOf(w.ToolButton_FileMenu).count("MenuItem_MenuDelete"), 0u);
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_Delete);
    // On the container's folder the same key asks to delete it, though the menu last showed
    // Delete disabled.
    FocusNode(folder);
    Responder().ExpectModal("Form1", Press("No"));
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_Delete);
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_NE(Child(w.MyContainerNode, "kept"), nullptr);
}

TEST_F(CommandsTest, ExportOverAnExistingFileAsksFirst) {
    nassim::Unit& unit = AddUnit(1, "alpha");
    nassim::UnitState state = unit.state();
    state.configFile = nassim::Bytes(256, 0x5C);
    unit.setState(state);
    const KindDialog kindDialog;
    const std::string path = home_ + "/alpha.cfg";
    std::ofstream(path) << "kept";
    TForm_Central& w = Window();
    const auto exportTo = [&](const char* answer) {
        FocusNode(Child(w.NasServersNode, "alpha"));
        Responder().ExpectModal("Form_Password", [](vcl::TForm& form) {
            auto& prompt = dynamic_cast<TForm_Password&>(form);
            prompt.Edit_Password->SetText("admin");
            prompt.Button_Ok->Click();
        });
        Responder().ExpectFileDialog({path});
        Responder().ExpectModal("Form1", Press(answer));
        Choose(w.ToolButton_ServerMenu, w.MenuItem_MenuExport);
        EXPECT_EQ(Responder().Pending(), 0);
    };
    exportTo("Cancel");
    EXPECT_EQ(std::filesystem::file_size(path), 4u) << "the file was replaced without asking";
    exportTo("Yes");
    EXPECT_EQ(std::filesystem::file_size(path), 256u);
}

TEST_F(CommandsTest, RightClickRefreshOfAnotherNodeLeavesTheSelectedNodesListFilled) {
    AddUnit(1, "alpha");
    AddUnit(2, "beta");
    TForm_Central& w = Window();
    FocusNode(w.NasServersNode);
    ASSERT_EQ(Captions(), (Strings{"alpha", "beta"}));
    ShownOnRightClick(w.TreeView, NodePoint(w.RemoteServersNode), w.MenuItem_RightRefresh);
    EXPECT_EQ(w.TreeView->GetSelected(), w.NasServersNode);
    EXPECT_EQ(Captions(), (Strings{"alpha", "beta"}));
}

TEST_F(CommandsTest, ToolBarRefreshKeepsTheSelectedUnitSelected) {
    AddUnit(1, "alpha");
    AddUnit(2, "beta");
    TForm_Central& w = Window();
    FocusNode(Child(w.NasServersNode, "beta"));
    QTest::mouseClick(W(w.ToolButton_Refresh), Qt::LeftButton);
    vcl::TTreeNode* after = w.TreeView->GetSelected();
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->GetText(), "beta");
    EXPECT_EQ(after->Parent(), w.NasServersNode);
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "beta"}));
    EXPECT_TRUE(w.Timer_ABSENT->GetEnabled());
    // Refresh by kind: NAS Servers reads the units again; a unit's node is not refreshed alone.
    units_.pop_back();
    w.RefreshByNodeKind(w.NasServersNode);
    EXPECT_EQ(ChildTexts(w.NasServersNode), Strings{"alpha"});
}

TEST_F(CommandsTest, ImportDialogIsOpenedForTheUnitWithTheWindowsServerLists) {
    AddUnit(1, "alpha");
    TForm_Central& w = Window();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    // The dialog is made by the command when it is not there yet.
    ASSERT_EQ(Form_ProfileSetting, nullptr);
    FocusNode(alpha);
    Responder().ExpectModal("Form_ProfileSetting", [&](vcl::TForm& form) {
        auto& d = static_cast<TForm_ProfileSetting&>(form);
        EXPECT_EQ(d.Server(), &CurrentNasServer);
        EXPECT_EQ(CurrentNasServer.GetName(), "alpha");
        ASSERT_GE(d.ComboBoxServerList->Items()->Count(), 1);
        // The targets page's lists, as the refresh timer refills them while it is up: the
        // window's server columns with their titles from the message table.
        TargetListsShowing = 1;
        RefreshProfileTargets();
        TargetListsShowing = 0;
        Strings titles;
        for (int i = 0; i < d.ListView_SelTarget->Columns()->Count(); ++i)
            titles.push_back(d.ListView_SelTarget->Columns()->Items(i)->GetCaption());
        EXPECT_EQ(titles, (Strings{"Server Name", "Domain/Workgroup", "IP Address", "IP Address",
                                   "IP Address", "Firmware Version", "Status", "Comment"}));
        ASSERT_EQ(d.ListView_SelTarget->Items()->Count(), 1);
        EXPECT_EQ(d.ListView_SelTarget->Items()->Item(0)->GetCaption(), "alpha");
        d.SetModalResult(vcl::mrCancel);
    });
    Choose(w.ToolButton_ServerMenu, w.MenuItem_MenuImport);
    EXPECT_EQ(Responder().Pending(), 0);
    delete Form_ProfileSetting;
    Form_ProfileSetting = nullptr;
}

TEST_F(CommandsTest, RightClickImportOnARowSelectsItsUnitFirst) {
    AddUnit(1, "alpha");
    AddUnit(2, "beta", true, {"Discs"});
    TForm_Central& w = Window();
    Form_ProfileSetting = vcl::MakeForm<TForm_ProfileSetting>(nullptr);
    FocusNode(w.NasServersNode);
    ASSERT_EQ(Captions(), (Strings{"alpha", "beta"}));
    vcl::TTreeNode* beta = Child(w.NasServersNode, "beta");
    ASSERT_NE(beta, nullptr);
    Responder().ExpectModal("Form_ProfileSetting", [&](vcl::TForm& form) {
        // The row's unit is the tree's selection, and its list is shown, while the dialog is up.
        EXPECT_EQ(w.TreeView->GetSelected(), beta);
        EXPECT_EQ(Captions(), (Strings{"Discs", "[ Other ]"}));
        EXPECT_EQ(CurrentNasServer.GetName(), "beta");
        form.SetModalResult(vcl::mrCancel);
    });
    ShownOnRightClick(w.ListView, RowPoint(1), w.MenuItem_RightImport);
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_EQ(w.TreeView->GetSelected(), beta);
    // The copy the dialog worked on is cleared afterwards.
    EXPECT_EQ(CurrentNasServer.GetName(), "");
    delete Form_ProfileSetting;
    Form_ProfileSetting = nullptr;
}

TEST_F(CommandsTest, DebugWindowTakesTheWritersLinesWhileItExists) {
    auto* window = vcl::MakeForm<TForm_Showdata>(nullptr);
    window->Show();
    ASSERT_EQ(DebugLogTarget, window);
    EXPECT_EQ(window->RichEdit->Lines(), Strings{"Clear all data before use."});
    QTest::mouseClick(W(window->Button_Clear), Qt::LeftButton);
    EXPECT_EQ(window->LineCount(), 0);
    DebugLogPair(*DebugLogTarget, "Begin -> ", "x\ty");
    DebugLogPair(*DebugLogTarget, std::string(201, 'a').c_str(), "");
    DebugLogNumber(*DebugLogTarget, nullptr, 7);
    window->Edit1->SetText("typed");
    QTest::mouseClick(W(window->Button_Debug), Qt::LeftButton);
    EXPECT_EQ(
        window->RichEdit->Lines(),
        (Strings{"XXXXX NONPRINTABLE CHAR XXXXX", "00001 -- Begin -> x`y",
                 "XXXXX STRING TOO LONG XXXXX", "XXXXX NULL POINTER XXXXX", "00005 -- typed"}));
    // Each line's colour in the text box's document: the warnings in green, blue and red, and
    // every other line back in the desktop's text colour.
    auto* edit = qobject_cast<QTextEdit*>(W(window->RichEdit));
    ASSERT_NE(edit, nullptr);
    Strings colours;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        std::set<std::string> inLine;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            inLine.insert(it.fragment().charFormat().foreground().color().name().toStdString());
        ASSERT_EQ(inLine.size(), 1u) << block.text().toStdString();
        colours.push_back(*inLine.begin());
    }
    const std::string text =
        QGuiApplication::palette().color(QPalette::WindowText).name().toStdString();
    EXPECT_EQ(colours, (Strings{"#008000", text, "#0000ff", "#ff0000", text}));
    delete window;
    EXPECT_EQ(DebugLogTarget, nullptr);
    EXPECT_EQ(Form_Showdata, nullptr);
}

} // namespace
