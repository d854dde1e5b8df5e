// The commands on local drives and on container entries: Mirror preselects only a ready data
// disc in a ready drive; the property sheet of a drive, of its disc with the track list, of one
// container entry and of several, each shown by the real window and read while it is shown.
#include "mainwin_fixture.h"

#include "about.h"
#include "cdrom.h"
#include "container.h"
#include "fmwizard.h"
#include "form1.h"
#include "form_property.h"
#include "msgbox.h"
#include "sim_machine.h"
#include "utils.h"

#include "vcl/menus.h"
#include "vcl/tool_bar.h"

#include <QApplication>

#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <fstream>

namespace {

using Strings = std::vector<std::string>;

class DriveCommandsTest : public MainWindowTest {
protected:
    using MainWindowTest::W;
    using UiTest::W;

    void SetUp() override {
        MainWindowTest::SetUp();
        auto& adapter = machine_.AddAdapter("ATAPI SIM");
        machine_.AddDrive(adapter, 0, 0, "DATA", discsim::MakeDataCd(3000)); // D:
        machine_.AddDrive(adapter, 1, 0, "EMPTY", std::nullopt);             // E:
        machine_.Start().SetSleeper([](std::uint32_t) {});
        Form1 = vcl::MakeForm<TForm1>(nullptr);
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = true;
    }
    void TearDown() override {
        delete FmWizard;
        delete Form_Property;
        delete Form_Central;
        Form_Central = nullptr;
        MainContainer.Clear();
        delete Form1;
        Form1 = nullptr;
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
    vcl::TTreeNode* Drive(char letter) {
        return W().FindChildNodeByData(W().MyComputerNode,
                                       reinterpret_cast<void*>(static_cast<std::intptr_t>(letter)));
    }
    void RightClickChoose(vcl::TControl* view, QPoint at, vcl::TMenuItem* item) {
        PopupScript popup;
        popup.choose = item;
        QTest::mousePress(Viewport(view), Qt::RightButton, {}, at);
        QTest::mouseRelease(Viewport(view), Qt::RightButton, {}, at);
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

    SimMachine machine_;
};

TEST_F(DriveCommandsTest, MirrorPreselectsOnlyAReadyDataDisc) {
    TForm_Central& w = Window();
    ASSERT_NE(Drive('D'), nullptr);
    ASSERT_NE(Drive('E'), nullptr);
    struct Seen {
        int job;
        char letter;
    };
    std::vector<Seen> seen;
    const auto spy = [&](vcl::TForm& form) {
        seen.push_back({WzdInfo.Job, static_cast<TFmWizard&>(form).SourceDriveLetter});
        form.SetModalResult(vcl::mrCancel);
    };
    Responder().ExpectModal("FmWizard", spy);
    ClickNode(Drive('D'));
    QTest::mouseClick(W(w.ToolButton_Mirror), Qt::LeftButton);
    // Without a disc (the selection warns of it) the wizard asks for the source itself.
    Responder().ExpectBox("", vcl::IDOK);
    ClickNode(Drive('E'));
    Responder().ExpectModal("FmWizard", spy);
    QTest::mouseClick(W(w.ToolButton_Mirror), Qt::LeftButton);
    // From the right-click menu of the data disc's row in the drive's list.
    ClickNode(Drive('D'));
    ASSERT_EQ(w.ListView->Items()->Count(), 1);
    Responder().ExpectModal("FmWizard", spy);
    RightClickChoose(w.ListView, RowPoint(0), w.MenuItem_RightMirror);
    // Ctrl+M in the tree, on the data disc's drive.
    ClickNode(Drive('D'));
    Responder().ExpectModal("FmWizard", spy);
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_M, Qt::ControlModifier);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].job, 6);
    EXPECT_EQ(seen[3].letter, 'D');
    EXPECT_EQ(seen[0].job, 6);
    EXPECT_EQ(seen[0].letter, 'D');
    EXPECT_EQ(seen[1].job, 1);
    EXPECT_EQ(seen[1].letter, 0);
    EXPECT_EQ(seen[2].job, 6);
    EXPECT_EQ(seen[2].letter, 'D');
    EXPECT_EQ(Responder().Pending(), 0);
}

TEST_F(DriveCommandsTest, PropertySheetOfADriveAndOfItsDisc) {
    TForm_Central& w = Window();
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    ClickNode(w.DesktopNode);
    Responder().ExpectModal("Form_Property", [&](vcl::TForm& form) {
        auto& p = static_cast<TForm_Property&>(form);
        EXPECT_EQ(p.GetCaption(), GetMessageText(123));
        EXPECT_EQ(p.PageControl_Property->GetActivePage(), p.TabSheet_Cdrom);
        EXPECT_EQ(p.Label_CdromName->GetCaption(), drives.GetDriveCaption('D'));
        EXPECT_EQ(p.Label15->GetCaption(), GetMessageText(600));
        EXPECT_FALSE(p.Label_CdromProductName->GetCaption().empty());
        QTest::mouseClick(W(p.Button_Ok), Qt::LeftButton);
    });
    RightClickChoose(w.TreeView, NodePoint(Drive('D')), w.MenuItem_RightProperty);

    // The disc row of the drive's list, by the File menu.
    ClickNode(Drive('D'));
    ASSERT_EQ(w.ListView->Items()->Count(), 1);
    QTest::mouseClick(Viewport(w.ListView), Qt::LeftButton, {}, RowPoint(0));
    Responder().ExpectModal("Form_Property", [&](vcl::TForm& form) {
        auto& p = static_cast<TForm_Property&>(form);
        EXPECT_EQ(p.PageControl_Property->GetActivePage(), p.TabSheet_Disc);
        EXPECT_EQ(p.Label_DiscDrive->GetCaption(), drives.GetDriveCaption('D'));
        EXPECT_EQ(p.Label_DiscSessionCount->GetCaption(), "1");
        EXPECT_EQ(p.Label_DiscTrackCount->GetCaption(), "1");
        ASSERT_EQ(p.ListView_DiscTrack->Items()->Count(), 1);
        vcl::TListItem* row = p.ListView_DiscTrack->Items()->Item(0);
        EXPECT_EQ(row->GetCaption(), "Track 1");
        EXPECT_EQ(row->SubItems()->Strings(0), "Data");
        EXPECT_EQ(row->SubItems()->Strings(1), "Session 1");
        EXPECT_EQ(row->SubItems()->Strings(2), utils::FormatByteCount(0, 3000 * 2048));
        QTest::mouseClick(W(p.Button_Cancel), Qt::LeftButton);
    });
    PopupScript popup;
    popup.choose = w.MenuItem_MenuProperty;
    QTest::mouseClick(W(w.ToolButton_FileMenu), Qt::LeftButton);
    EXPECT_EQ(Responder().Pending(), 0);
}

// A container entry's page and the page of several entries, for entries imported from host
// files whose times are fixed.
TEST_F(DriveCommandsTest, PropertySheetOfContainerEntries) {
    TForm_Central& w = Window();
    const std::string host = home_ + "/host";
    std::filesystem::create_directories(host + "/folder/empty");
    for (const char* name : {"folder/a", "folder/b", "folder/c", "one", "two"})
        std::ofstream(host + "/" + name) << "x";
    std::ofstream(host + "/two", std::ios::app) << "y";
    std::tm at{};
    at.tm_year = 100;
    at.tm_mon = 2;
    at.tm_mday = 24;
    at.tm_hour = 22;
    at.tm_min = 5;
    at.tm_isdst = -1;
    const std::time_t when = std::mktime(&at);
    const utimbuf times{when, when};
    ASSERT_EQ(::utime((host + "/one").c_str(), &times), 0);

    auto* root = MainContainer.NewContainer();
    ASSERT_NE(root, nullptr);
    for (const char* name : {"folder", "one", "two"})
        MainContainer.ImportHostPath(root, nullptr, host + "/" + name);
    MIRROR_CONTAINER::Record* folder = MainContainer.FindChildByName(root, "folder");
    MIRROR_CONTAINER::Record* one = MainContainer.FindChildByName(root, "one");
    MIRROR_CONTAINER::Record* two = MainContainer.FindChildByName(root, "two");
    ASSERT_TRUE(folder && one && two);

    Responder().ExpectModal("Form_Property", [&](vcl::TForm& form) {
        auto& p = static_cast<TForm_Property&>(form);
        EXPECT_EQ(p.PageControl_Property->GetActivePage(), p.TabSheet_Container);
        EXPECT_EQ(p.Label_ContainerItemName->GetCaption(), "one");
        EXPECT_EQ(p.Label1_ContainerType->GetCaption(), GetMessageText(95));
        const std::string source = host + "/one";
        int lines = 0;
        EXPECT_EQ(p.Label_ContainerSourceName->GetCaption(),
                  TForm_Property::WrapSourceText(source, lines));
        EXPECT_EQ(p.Panel_MyContainerBelowSource->GetTop(), 65 + 15 * lines);
        EXPECT_EQ(p.Label_ContainerDateTime->GetCaption(), "2000/03/24 PM 10:05:00");
        EXPECT_EQ(p.Label_ContainerRealSize->GetCaption(), TForm_Property::SizeText(1));
        const std::uint32_t attributes = MainContainer.GetAttributes(one);
        EXPECT_EQ(p.CheckBox_ReadOnly->GetChecked(), (attributes & 0x01) != 0);
        EXPECT_EQ(p.CheckBox_Archive->GetChecked(), (attributes & 0x20) != 0);
        EXPECT_FALSE(p.CheckBox_Archive->GetEnabled()); // display only
        QTest::mouseClick(W(p.Button_Ok), Qt::LeftButton);
    });
    w.ShowPropertyDialog(7, one, root);

    Responder().ExpectModal("Form_Property", [&](vcl::TForm& form) {
        auto& p = static_cast<TForm_Property&>(form);
        EXPECT_EQ(p.Label1_ContainerType->GetCaption(), GetMessageText(94));
        EXPECT_EQ(p.Label_ContainerAllFolderCount->GetCaption(), "1");
        EXPECT_EQ(p.Label_ContainerAllFileCount->GetCaption(), "3");
        QTest::mouseClick(W(p.Button_Ok), Qt::LeftButton);
    });
    w.ShowPropertyDialog(5, folder, root);

    // Several rows of the list: the folder (3 files and an empty folder) and two files count
    // two folders and five files; their sizes add up.
    ClickNode(w.DesktopNode);
    w.ListView->Items()->Clear();
    for (auto* record : {folder, one, two}) {
        vcl::TListItem* row = w.ListView->Items()->Add();
        row->SetCaption(MainContainer.GetDisplayName(record));
        row->SetImageIndex(MainContainer.IsFolder(record) ? 5 : 7);
        row->SetData(record);
    }
    QTest::mouseClick(Viewport(w.ListView), Qt::LeftButton, {}, RowPoint(0));
    QTest::mouseClick(Viewport(w.ListView), Qt::LeftButton, Qt::ShiftModifier, RowPoint(2));
    ASSERT_EQ(w.ListView->SelCount(), 3);
    Responder().ExpectModal("Form_Property", [&](vcl::TForm& form) {
        auto& p = static_cast<TForm_Property&>(form);
        EXPECT_EQ(p.PageControl_Property->GetActivePage(), p.TabSheet_MultiContainerFile);
        EXPECT_EQ(p.Label_ContainerTotalSelectedFolders->GetCaption(), "2");
        EXPECT_EQ(p.Label_ContainerTotalSelectedFiles->GetCaption(), "5");
        EXPECT_EQ(p.Label_ContainerTotalSelectedRealSize->GetCaption(),
                  TForm_Property::SizeText(6));
        QTest::mouseClick(W(p.Button_Ok), Qt::LeftButton);
    });
    RightClickChoose(w.ListView, RowPoint(1), w.MenuItem_RightProperty);
    EXPECT_EQ(Responder().Pending(), 0);
}

} // namespace
