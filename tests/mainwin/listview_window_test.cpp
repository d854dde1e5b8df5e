// The main window's list view and NAS branch against simulated units on loopback: the columns
// and rows each node kind shows, width memory, header-click sorting, double clicks, image
// folders as nodes, remote units and texts from units that break the rules.
#include "mainwin_fixture.h"

#include "about.h"
#include "listview_fill.h"
#include "server_lists.h"
#include "server_nodes.h"

#include <algorithm>

namespace {

using Strings = std::vector<std::string>;

const Strings kDesktopColumns{"Item Name", "Description"};
const Strings kServerColumns{"Server Name", "Domain/Workgroup", "IP Address", "IP Address",
                             "IP Address",  "Firmware Version", "Status",     "Comment"};
const Strings kImageColumns{"Volume Label", "File Path", "Size", "Status", "File System"};

// Well-formed UTF-8 sequences only (lead byte, then its continuation bytes).
bool ValidUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int n = c < 0x80             ? 0
                      : (c & 0xE0) == 0xC0 ? 1
                      : (c & 0xF0) == 0xE0 ? 2
                      : (c & 0xF8) == 0xF0 ? 3
                                           : -1;
        if (n < 0 || i + n >= s.size()) return false;
        for (int k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

TEST_F(MainWindowTest, EachNodeKindShowsItsColumnsAndRows) {
    AddUnit(1, "alpha", true, {"B", "A"},
            {Image("A/x.iso", 1048576), Image("B/y.iso", 1), Image("C/z.iso"), Image("plain.iso")});
    AddUnit(2, "");
    TForm_Central& w = MakeWindow();

    ASSERT_NE(w.NasServersNode, nullptr);
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{" ---[ No Server Name ]--- ", "alpha"}));
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->GetImageIndex(), nkNasServer);
    EXPECT_EQ(ChildTexts(alpha), (Strings{"A", "B", "[ Other ]"}));
    EXPECT_EQ(alpha->Item(0)->GetImageIndex(), nkImageFolder);
    EXPECT_FALSE(Child(w.NasServersNode, " ---[ No Server Name ]--- ")->HasChildren());

    const std::string drives = std::to_string(w.MyComputerNode->Count()) + " CD-ROM(s)";
    struct Case {
        vcl::TTreeNode* node;
        Strings columns;
        Strings rows;
    };
    // (Desktop is selected at start and keeps the columns of the form description until a node
    // of another layout has been selected.)
    const Case cases[] = {
        {alpha, {"Folder"}, {"A", "B", "[ Other ]"}},
        {w.DesktopNode,
         kDesktopColumns,
         {"My Computer|" + drives, "My Container|0 Folder(s) , 0 File(s)",
          "NAS Network|NAS Network"}},
        {w.NasNetworkNode,
         kDesktopColumns,
         {"NAS Servers|2 Server(s)", "Remote Servers|0 Server(s)"}},
        {alpha->Item(0), kImageColumns, {"x.iso|A/x.iso|2 GB|Ready|ISO 9660"}},
        {alpha->Item(1), kImageColumns, {"y.iso|B/y.iso|2 KB|Ready|ISO 9660"}},
        {alpha->Item(2),
         kImageColumns,
         {"plain.iso|plain.iso|0 KB|Ready|ISO 9660", "z.iso|C/z.iso|0 KB|Ready|ISO 9660"}},
        {w.RemoteServersNode, kServerColumns, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node->GetText());
        w.TreeView->SetSelected(c.node);
        EXPECT_EQ(ColumnTitles(), c.columns);
        EXPECT_EQ(Rows(), c.rows);
    }

    // Three folders of one unit within seconds: the unit was asked for its images once; the
    // bypass asks again.
    nassim::Unit& unit = *units_[0];
    EXPECT_EQ(unit.requestsFor(nassim::kCommandImageList).size(), 1u);
    ListCdImages(w, alpha->Item(0), true);
    EXPECT_EQ(unit.requestsFor(nassim::kCommandImageList).size(), 2u);
    EXPECT_EQ(Captions(), Strings{"x.iso"});

    // The server list, by a real click on its node: one row per unit with the unit's texts.
    ClickNode(w.NasServersNode);
    ASSERT_EQ(w.TreeView->GetSelected(), w.NasServersNode);
    EXPECT_EQ(ColumnTitles(), kServerColumns);
    ASSERT_EQ(w.ListView->Items()->Count(), 2);
    vcl::TListItem* row = w.ListView->Items()->Item(1);
    EXPECT_EQ(row->GetCaption(), "alpha");
    EXPECT_EQ(row->GetImageIndex(), nkNasServer);
    EXPECT_EQ(row->GetData(), alpha->GetData());
    ASSERT_EQ(row->SubItems()->Count(), 7);
    EXPECT_EQ(row->SubItems()->Strings(0), "LAB");
    EXPECT_EQ(row->SubItems()->Strings(1), "127.0.66.1");
    EXPECT_EQ(row->SubItems()->Strings(3), "----------"); // no third network port
    EXPECT_EQ(row->SubItems()->Strings(5), "Ready");
    EXPECT_EQ(row->SubItems()->Strings(6), "unit 1");
    EXPECT_EQ(w.ListView->Items()->Item(0)->SubItems()->Strings(1), "127.0.66.2");
}

TEST_F(MainWindowTest, ColumnsKeepTheirWidthsPerLayout) {
    AddUnit(1, "alpha", true, {"A"});
    TForm_Central& w = MakeWindow();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);

    w.TreeView->SetSelected(w.NasServersNode);
    auto* view = static_cast<QTreeView*>(FocusTarget(w.ListView));
    view->header()->resizeSection(1, 211); // the user drags the column wider
    vcl::TListColumn* first = w.ListView->Columns()->Items(0);

    // The other server branch has the same layout: the columns stay as they are.
    w.TreeView->SetSelected(w.RemoteServersNode);
    EXPECT_EQ(w.ListView->Columns()->Items(0), first);
    EXPECT_EQ(w.ListView->Columns()->Items(1)->GetWidth(), 211);

    // Another layout and back: the width comes back from the layout's memory.
    w.TreeView->SetSelected(alpha);
    EXPECT_EQ(ColumnTitles(), Strings{"Folder"});
    w.TreeView->SetSelected(w.NasServersNode);
    EXPECT_EQ(ColumnTitles(), kServerColumns);
    EXPECT_EQ(w.ListView->Columns()->Items(1)->GetWidth(), 211);
}

TEST_F(MainWindowTest, HeaderClicksSortByTheColumnsContent) {
    // Text order of the addresses ("127.0.66.20" < "127.0.66.3") differs from their numeric order.
    AddUnit(20, "a-unit", true, {"F", "G"},
            {Image("F/big.iso", 768), Image("F/small.iso", 450)}); // 1.5 MB and 900 KB
    AddUnit(3, "b-unit");
    TForm_Central& w = MakeWindow();

    ClickNode(w.NasServersNode);
    ASSERT_EQ(w.TreeView->GetSelected(), w.NasServersNode);
    EXPECT_EQ(Captions(), (Strings{"a-unit", "b-unit"}));
    ClickHeader(2); // IP Address, ascending as numbers
    EXPECT_EQ(Captions(), (Strings{"b-unit", "a-unit"}));
    ClickHeader(2); // again: descending
    EXPECT_EQ(Captions(), (Strings{"a-unit", "b-unit"}));
    ClickHeader(0); // a new column starts ascending
    EXPECT_EQ(Captions(), (Strings{"a-unit", "b-unit"}));
    ClickHeader(0);
    EXPECT_EQ(Captions(), (Strings{"b-unit", "a-unit"}));

    // "[ Other ]" stays behind the folders ascending and before them descending; every fill
    // sorts in the direction in force.
    vcl::TTreeNode* server = Child(w.NasServersNode, "a-unit");
    ClickNode(server);
    ASSERT_EQ(w.TreeView->GetSelected(), server);
    EXPECT_EQ(Captions(), (Strings{"[ Other ]", "G", "F"}));
    ClickHeader(0);
    EXPECT_EQ(Captions(), (Strings{"F", "G", "[ Other ]"}));

    // Sizes sort as byte counts, not as text.
    ClickNode(Child(server, "F"));
    EXPECT_EQ(ColumnTitles(), kImageColumns);
    ClickHeader(2);
    EXPECT_EQ(Captions(), (Strings{"small.iso", "big.iso"}));
    ClickHeader(2);
    EXPECT_EQ(Captions(), (Strings{"big.iso", "small.iso"}));
}

// The list's mouse handlers are the ones the window's description binds: a double click opens
// the row under the mouse and nothing on empty space; a right click offers the row's menu.
TEST_F(MainWindowTest, DoubleClickOpensTheRowUnderTheMouseAndRightClickOffersItsMenu) {
    AddUnit(1, "alpha", true, {"A"}, {Image("A/x.iso")});
    AddUnit(2, "beta", true, {"B"});
    TForm_Central& w = MakeWindow();
    ClickNode(w.NasServersNode);
    ASSERT_EQ(Captions(), (Strings{"alpha", "beta"}));
    QWidget* viewport = Viewport(w.ListView);
    const auto rowPoint = [&](int row) {
        const vcl::TRect r = w.ListView->Items()->Item(row)->DisplayRect();
        return QPoint(r.Left + 5, (r.Top + r.Bottom) / 2);
    };

    // A right click on a row: the row is the menu's, the menu shows, the tree keeps its node.
    PopupScript popup;
    const QPoint second = rowPoint(1);
    QTest::mousePress(viewport, Qt::RightButton, {}, second);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, second);
    EXPECT_EQ(popup.shown, (std::vector<std::string>{"PopupMenu_RightClick"}));
    EXPECT_EQ(w.RightClickItem, w.ListView->Items()->Item(1));
    EXPECT_EQ(w.TreeView->GetSelected(), w.NasServersNode);

    auto doubleClick = [&](QPoint at) {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    };
    // Empty space below the rows: nothing happens.
    doubleClick(QPoint(5, viewport->height() - 3));
    EXPECT_EQ(w.TreeView->GetSelected(), w.NasServersNode);

    // The second row opens the second unit, not the first.
    doubleClick(second);
    vcl::TTreeNode* beta = Child(w.NasServersNode, "beta");
    EXPECT_EQ(w.TreeView->GetSelected(), beta);
    EXPECT_TRUE(beta->GetExpanded());
    EXPECT_EQ(Captions(), (Strings{"B", "[ Other ]"}));

    // A folder row opens the folder node and lists its images.
    ClickNode(w.NasServersNode);
    doubleClick(rowPoint(0));
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_EQ(w.TreeView->GetSelected(), alpha);
    doubleClick(rowPoint(0));
    EXPECT_EQ(w.TreeView->GetSelected(), alpha->Item(0));
    EXPECT_EQ(Captions(), Strings{"x.iso"});
}

TEST_F(MainWindowTest, RemoteUnitsAppearUnderRemoteServers) {
    AddUnit(1, "alpha"); // found by discovery as well
    nassim::Unit& remote = AddUnit(7, "remote-7", false, {"R"}, {Image("R/r.iso")});
    // The about box that the window's first paint closes (the answers below are waited for in
    // the event loop, where the window paints).
    std::unique_ptr<TForm_About> about(vcl::MakeForm<TForm_About>(nullptr));
    Form_About = about.get();
    TForm_Central& w = MakeWindow();
    ASSERT_NE(Form_RemoteNAS, nullptr);
    Form_RemoteNAS->AddEntry(units_[0]->address());
    Form_RemoteNAS->AddEntry(remote.address());
    Form_RemoteNAS->AddEntry(nassim::Ipv4(127, 0, 66, 250)); // nothing answers there
    RefreshRemoteServers(w);
    // The answers come away from the GUI thread, each as it is ready.
    ASSERT_TRUE(PumpUntil(
        [&] { return w.RemoteProbesPending() == 0 && w.RemoteServersNode->Count() == 2; }));

    EXPECT_EQ(ChildTexts(w.RemoteServersNode), (Strings{"127.0.66.250", "remote-7"}));
    // The discovered unit shows under NAS Servers only, and leaves the remote list with it.
    EXPECT_EQ(ChildTexts(w.NasServersNode), Strings{"alpha"});
    EXPECT_EQ(Form_RemoteNAS->EntryCount(), 2);
    EXPECT_EQ(Form_RemoteNAS->GetLastEntry()->Address, remote.address());
    EXPECT_EQ(Form_RemoteNAS->GetLastEntry()->Name, "remote-7");
    vcl::TTreeNode* unanswered = Child(w.RemoteServersNode, "127.0.66.250");
    EXPECT_EQ(unanswered->GetImageIndex(), nkRemoteUnanswered);
    EXPECT_EQ(unanswered->GetData(), nullptr);
    vcl::TTreeNode* node = Child(w.RemoteServersNode, "remote-7");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(ChildTexts(node), (Strings{"R", "[ Other ]"}));

    w.TreeView->SetSelected(w.RemoteServersNode);
    ASSERT_EQ(w.ListView->Items()->Count(), 2);
    EXPECT_EQ(Rows()[0], "127.0.66.250|----------|----------|----------|----------|----------|"
                         "----------|----------");
    EXPECT_EQ(Rows()[1].substr(0, 24), "remote-7|LAB|127.0.66.7|");

    w.TreeView->SetSelected(node->Item(0));
    EXPECT_EQ(Captions(), Strings{"r.iso"});

    // The unit stops answering: asked again, its node degrades to an unanswered entry.
    vcl::TTreeNode* folder = node->Item(0);
    units_.pop_back();
    ListCdImages(w, folder, true);
    EXPECT_EQ(w.TreeView->GetSelected(), w.RemoteServersNode);
    EXPECT_EQ(node->GetImageIndex(), nkRemoteUnanswered);
    EXPECT_FALSE(node->HasChildren());

    // A kind without a layout leaves the columns and empties the list.
    w.TreeView->SetSelected(unanswered);
    EXPECT_EQ(ColumnTitles(), kServerColumns);
    EXPECT_EQ(w.ListView->Items()->Count(), 0);
}

TEST_F(MainWindowTest, TextsFromUnitsAreBoundedAndValid) {
    // A UTF-8 unit whose name holds bytes that are no UTF-8, and whose image records fill their
    // text fields with no terminator.
    nassim::UnitConfig config;
    config.address = nassim::Ipv4(127, 0, 66, 1);
    config.udpPort = udpPort_;
    config.tcpPort = tcpPort_;
    config.name = std::string("caf\xC3\xA9\xFF\xC3", 8);
    config.encodingKind = 1;
    config.capabilities = 1;
    config.lan[0].address = config.address;
    config.hardwareAddress[0] = 1;
    config.state.imageFolders = {"A"};
    config.state.images = {Image("A/" + std::string(40, 'n'))};
    units_.push_back(std::make_unique<nassim::Unit>(config));
    nassim::CommandFault fault;
    fault.command = nassim::kCommandImageList;
    fault.unterminated = true;
    units_.back()->addCommandFault(fault);

    TForm_Central& w = MakeWindow();
    ASSERT_EQ(w.NasServersNode->Count(), 1);
    vcl::TTreeNode* server = w.NasServersNode->Item(0);
    EXPECT_TRUE(ValidUtf8(server->GetText())) << server->GetText();
    EXPECT_EQ(server->GetText().rfind("caf\xC3\xA9", 0), 0u);

    w.TreeView->SetSelected(server->Item(0));
    ASSERT_EQ(w.ListView->Items()->Count(), 1);
    vcl::TListItem* row = w.ListView->Items()->Item(0);
    EXPECT_LE(row->GetCaption().size(), 32u);
    EXPECT_LE(row->SubItems()->Strings(0).size(), 112u);
    for (const std::string& text : Rows())
        EXPECT_TRUE(ValidUtf8(text)) << text;
}

} // namespace

namespace {

TEST_F(MainWindowTest, ServerNodesFollowEachDiscovery) {
    AddUnit(1, "alpha", true, {"A"});
    AddUnit(2, "beta");
    TForm_Central& w = MakeWindow();
    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    void* oldServer = alpha->GetData();
    w.TreeView->SetSelected(w.NasServersNode);
    ASSERT_EQ(w.ListView->Items()->Count(), 2);

    // beta is gone, gamma is new: alpha keeps its node and its object, with its folders; no
    // row shows beta any more.
    ASSERT_NE(w.NasSvrNet.FindByName("beta"), nullptr);
    const NasUnitHandle beta = w.NasSvrNet.FindByName("beta")->UnitHandle;
    units_.pop_back();
    AddUnit(3, "gamma");
    // Discovery collects until answers pause; a pause long enough for any load keeps alpha's
    // answer in this refresh, so that alpha's node is not dropped and made anew.
    nas::NetConfig patient = *nas::CurrentNetConfig();
    patient.discoveryWaitMs = 2000;
    patient.discoveryCollectMs = 3000;
    nas::SetNetConfig(patient);
    RefreshServerTree(w);
    EXPECT_EQ(ChildTexts(w.NasServersNode), (Strings{"alpha", "gamma"}));
    EXPECT_EQ(Child(w.NasServersNode, "alpha"), alpha);
    EXPECT_EQ(alpha->GetData(), oldServer);
    EXPECT_EQ(alpha->GetData(), w.NasSvrNet.FindByName("alpha")->UnitHandle.Data());
    EXPECT_EQ(ChildTexts(alpha), (Strings{"A", "[ Other ]"}));
    EXPECT_FALSE(w.NasSvrNet.IsLive(beta));
    for (int i = 0; i < w.ListView->Items()->Count(); ++i)
        EXPECT_NE(w.ListView->Items()->Item(i)->GetData(), beta.Data());

    // Nobody answers: the branch is emptied and every unit retired.
    units_.clear();
    RefreshServerTree(w);
    EXPECT_FALSE(w.NasServersNode->HasChildren());
    EXPECT_EQ(w.NasSvrNet.FoundCount(), 0);
    w.TreeView->SetSelected(w.NasNetworkNode);
    EXPECT_EQ(Rows(), (Strings{"NAS Servers|0 Server(s)", "Remote Servers|0 Server(s)"}));
}

} // namespace
