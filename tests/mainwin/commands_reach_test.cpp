// Every command a user can reach acts where it is offered: on every node of a window with units,
// image folders, local drives and My Container, with the tree or a list row focused, each enabled
// item of the menu bar's menus, the right-click menu and the tool bar is run as the user runs it.
// Each one shows something (a box, a dialog, a window, an address opened) or changes what the
// window shows; the few that have nothing to do in a state like this are named below.
#include "mainwin_fixture.h"

#include "about.h"
#include "container.h"
#include "fmwizard.h"
#include "form1.h"
#include "form_apcfg.h"
#include "form_property.h"
#include "importform.h"
#include "sim_machine.h"
#include "taskman.h"

#include "shell/shell.h"
#include "vcl/dialog_host.h"
#include "vcl/menus.h"
#include "vcl/modal_host.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <set>
#include <sstream>

namespace {

// Answers every box and dialog by closing it, and notes what was shown.
class ShownRecorder : public vcl::TDialogHost, public vcl::TModalHost {
public:
    ShownRecorder()
        : previousDialogs_(vcl::SetDialogHost(this)), previousModal_(vcl::SetModalHost(this)) {}
    ~ShownRecorder() override {
        vcl::SetDialogHost(previousDialogs_);
        vcl::SetModalHost(previousModal_);
    }
    ShownRecorder(const ShownRecorder&) = delete;
    ShownRecorder& operator=(const ShownRecorder&) = delete;
    int MessageBox(const vcl::TMessageBoxRequest& request) override {
        shown.push_back("box " + request.Text);
        return vcl::ClosedBoxAnswer(request.Buttons);
    }
    std::vector<std::string> FileDialog(const vcl::TFileDialogRequest& request) override {
        shown.push_back("file dialog " + request.Title);
        return {};
    }
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string&) override {
        shown.push_back("folder dialog " + title);
        return std::nullopt;
    }
    int RunModal(vcl::TForm& form) override {
        shown.push_back("form " + form.Name);
        return vcl::mrCancel;
    }
    std::vector<std::string> shown;

private:
    vcl::TDialogHost* previousDialogs_;
    vcl::TModalHost* previousModal_;
};

class CommandsReachTest : public MainWindowTest {
protected:
    using MainWindowTest::W;
    using UiTest::W;
    void TearDown() override {
        delete FmWizard;
        delete Form_ApCfg;
        delete Form_Property;
        delete FmTaskMan;
        delete Form_ProfileSetting;
        Form_ProfileSetting = nullptr;
        delete Form_Central;
        Form_Central = nullptr;
        MainContainer.Clear();
        delete Form1;
        Form1 = nullptr;
        delete Form_About;
        Form_About = nullptr;
        MainWindowTest::TearDown();
    }

    // What the window shows: the tree (texts, expansion), the list, the status text, the
    // clipboard, the selection, the view style, the bars and the windows shown.
    std::string Shown() {
        std::ostringstream s;
        for (vcl::TTreeNode* n = W().TreeView->Items()->GetFirstNode(); n; n = n->GetNext())
            s << n->GetText() << (n->GetExpanded() ? "+" : "") << "/";
        s << "|";
        for (const std::string& row : Rows())
            s << row << ";";
        s << "|" << W().StatusBar->Panels(0)->GetText() << "|"
          << QApplication::clipboard()->text().toStdString();
        if (const QMimeData* data = QApplication::clipboard()->mimeData())
            s << "|" << data->formats().join(",").toStdString();
        vcl::TTreeNode* selected = W().TreeView->GetSelected();
        s << "|" << (selected ? selected->GetText() : "-") << "|" << W().ListView->GetViewStyle()
          << " " << W().ListView->SelCount() << " " << W().StatusBar->GetVisible() << " "
          << W().Panel_MainTool->GetVisible();
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible()) s << " " << top->objectName().toStdString();
        return s.str();
    }

    static std::string PathOf(vcl::TTreeNode* node) {
        std::string path;
        for (; node; node = node->Parent())
            path = "/" + node->GetText() + path;
        return path;
    }
    vcl::TTreeNode* NodeAt(const std::string& path) {
        for (vcl::TTreeNode* n = W().TreeView->Items()->GetFirstNode(); n; n = n->GetNext())
            if (PathOf(n) == path) return n;
        return nullptr;
    }
    QPoint FirstRowPoint() {
        const vcl::TRect r = W().ListView->Items()->Item(0)->DisplayRect();
        return QPoint(r.Left + 5, (r.Top + r.Bottom) / 2);
    }
    // Clicks the node, and the list's first row when onRow; false when there is no such row.
    bool FocusOn(vcl::TTreeNode* node, bool onRow) {
        // Selecting a drive without a disc says so; that box is not a command's.
        ShownRecorder selecting;
        ClickNode(node);
        if (!onRow) return true;
        if (W().ListView->Items()->Count() == 0) return false;
        QTest::mouseClick(Viewport(W().ListView), Qt::LeftButton, {}, FirstRowPoint());
        return true;
    }
    // Opens a menu as the user does (its bar button, or a right click where the focus is) and
    // chooses choose, or only lists its enabled items when choose is null.
    std::vector<vcl::TMenuItem*> Open(vcl::TToolButton* menuButton, bool onRow,
                                      vcl::TTreeNode* node, vcl::TMenuItem* choose) {
        PopupScript popup;
        popup.choose = choose;
        std::vector<vcl::TMenuItem*> enabled;
        popup.during = [&] {
            vcl::TMenuItem* root =
                menuButton ? menuButton->DropdownMenu->Items() : W().PopupMenu_RightClick->Items();
            for (int i = 0; i < root->Count(); ++i) {
                vcl::TMenuItem* item = root->Items(i);
                if (!item->IsLine() && item->GetVisible() && item->GetEnabled())
                    enabled.push_back(item);
            }
        };
        if (menuButton) {
            QTest::mouseClick(W(menuButton), Qt::LeftButton);
        } else {
            vcl::TControl* view = onRow ? static_cast<vcl::TControl*>(W().ListView)
                                        : static_cast<vcl::TControl*>(W().TreeView);
            QPoint at = onRow ? FirstRowPoint() : QPoint();
            if (!onRow) {
                const vcl::TRect r = node->DisplayRect(true);
                at = QPoint(r.Left + 3, (r.Top + r.Bottom) / 2);
            }
            QTest::mousePress(Viewport(view), Qt::RightButton, {}, at);
            QTest::mouseRelease(Viewport(view), Qt::RightButton, {}, at);
        }
        return enabled;
    }
};

TEST_F(CommandsReachTest, EveryEnabledCommandOnEveryNodeShowsSaysOrChangesSomething) {
    AddUnit(1, "alpha", true, {"ISO", "Movies"}, {Image("ISO/one.iso", 100)});
    AddUnit(2, "beta");
    SimMachine machine;
    auto& adapter = machine.AddAdapter("ATAPI SIM");
    machine.AddDrive(adapter, 0, 0, "DATA", discsim::MakeDataCd(3000)); // D:
    machine.AddDrive(adapter, 1, 0, "EMPTY", std::nullopt);             // E:
    machine.Start().SetSleeper([](std::uint32_t) {});
    Form1 = vcl::MakeForm<TForm1>(nullptr);
    Form_About = vcl::MakeForm<TForm_About>(nullptr);
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    QApplication::setActiveWindow(W(&w));
    platform::RecordingShell shell;

    // Commands with nothing to do where they are run here: a refresh of lists that did not
    // change, selections and expansions already as asked, a new container over an empty one,
    // Up at the top. File > Exit ends the program and is run by its own tests.
    const std::set<std::string> mayDoNothing = {
        "MenuItem_MenuRefresh",       "MenuItem_RightRefresh",     "ToolButton_Refresh",
        "MenuItem_MenuExpand",        "MenuItem_MenuShrink",       "MenuItem_MenuSelectAll",
        "MenuItem_MenuInverseSelect", "MenuItem_MenuNewContainer", "MenuItem_MenuUpDirectory",
        "MenuItem_MenuExit"};
    std::vector<std::string> paths;
    for (vcl::TTreeNode* n = w.TreeView->Items()->GetFirstNode(); n; n = n->GetNext()) {
        n->Expand(false);
        paths.push_back(PathOf(n));
    }
    const std::vector<vcl::TToolButton*> menus = {
        w.ToolButton_FileMenu,   w.ToolButton_EditMenu,
        w.ToolButton_ViewMenu,   w.ToolButton_MirrorMenu,
        w.ToolButton_ServerMenu, w.ToolButton_ToolMenu,
        w.ToolButton_HelpMenu,   nullptr /* the right-click menu */};
    const std::vector<vcl::TToolButton*> tools = {
        w.ToolButton_Refresh,          w.ToolButton_Mirror, w.ToolButton_Build,
        w.ToolButton_ServerQuickSetup, w.ToolButton_Wizard, w.ToolButton_TaskManager,
        w.ToolButton_HelpBook};
    std::vector<std::string> silent;
    int run = 0;
    const auto runOne = [&](const std::string& where, const std::string& name,
                            const std::function<void()>& act) {
        const std::string before = Shown();
        std::vector<std::string> shown;
        {
            ShownRecorder recorder;
            act();
            QTest::qWait(20);
            shown = recorder.shown;
        }
        ++run;
        const bool changed = Shown() != before;
        if (shown.empty() && shell.Opened.empty() && !changed && !mayDoNothing.count(name))
            silent.push_back(where + " " + name);
        shell.Opened.clear();
        if (FmTaskMan && FmTaskMan->GetVisible()) FmTaskMan->Close();
    };
    for (const std::string& path : paths) {
        for (const bool onRow : {false, true}) {
            for (vcl::TToolButton* menu : menus) {
                vcl::TTreeNode* node = NodeAt(path);
                ASSERT_NE(node, nullptr) << path;
                if (!FocusOn(node, onRow)) break;
                for (vcl::TMenuItem* item : Open(menu, onRow, node, nullptr)) {
                    if (item->Name == "MenuItem_MenuExit") continue;
                    node = NodeAt(path);
                    if (!node || !FocusOn(node, onRow)) break;
                    runOne(path + (onRow ? " (row)" : ""), item->Name,
                           [&] { Open(menu, onRow, node, item); });
                }
            }
            for (vcl::TToolButton* tool : tools) {
                vcl::TTreeNode* node = NodeAt(path);
                if (!node || !FocusOn(node, onRow)) break;
                if (!tool->GetEnabled()) continue;
                runOne(path + (onRow ? " (row)" : ""), tool->Name,
                       [&] { QTest::mouseClick(W(tool), Qt::LeftButton); });
            }
        }
    }
    EXPECT_GT(run, 300);
    EXPECT_EQ(silent, std::vector<std::string>{});
}

} // namespace
