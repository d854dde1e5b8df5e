// The CD-server branch of the main window with a root node put in by the test (the window never
// makes one): discovery makes a node per answering server, the property sheet shows the server,
// a server that leaves is pruned, and without the root every operation gives its no-branch
// answer.
// The simulator's header comes before any Qt header, whose "slots" macro it would meet.
#include "../cdserver/cdh_test_support.h"

#include "mainwin_fixture.h"

#include "about.h"
#include "form_property.h"
#include "msgbox.h"

#include "vcl/menus.h"

#include <QApplication>

namespace {

using Strings = std::vector<std::string>;

class CdhNodesTest : public MainWindowTest {
protected:
    using MainWindowTest::W;
    using UiTest::W;

    void SetUp() override {
        MainWindowTest::SetUp();
        cdhTcp_ = cdsim::FreeTcpPort();
        cdhUdp_ = cdsim::FreeUdpPort();
        SetCdhConfig(cdhtest::LoopbackConfig(cdhTcp_, cdhUdp_));
        TcpSocketManager = new TTcpSocket(0x0101);
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = true;
    }
    void TearDown() override {
        delete Form_Property;
        delete Form_Central;
        Form_Central = nullptr;
        servers_.clear();
        delete CdhServerList;
        CdhServerList = nullptr;
        delete TcpSocketManager;
        TcpSocketManager = nullptr;
        ResetCdhConfig();
        delete Form_About;
        Form_About = nullptr;
        MainWindowTest::TearDown();
    }
    void StartCdServer(unsigned last, const std::string& name) {
        cdsim::ServerConfig config;
        config.address = cdsim::Ipv4(127, 0, 0, last);
        config.tcpPort = cdhTcp_;
        config.udpPort = cdhUdp_;
        config.name = name;
        config.mac[5] = static_cast<std::uint8_t>(last);
        servers_.push_back(std::make_unique<cdsim::Server>(std::move(config)));
    }

    std::uint16_t cdhTcp_ = 0, cdhUdp_ = 0;
    std::vector<std::unique_ptr<cdsim::Server>> servers_;
};

TEST_F(CdhNodesTest, WithoutItsRootTheBranchIsNeverTouched) {
    StartCdServer(2, "CDH-ONE");
    TForm_Central& w = MakeWindow();
    ASSERT_EQ(w.CdhRootNode, nullptr);
    const Strings desktop = ChildTexts(w.DesktopNode);
    EXPECT_EQ(w.BuildCdhServerTree(), -1);
    EXPECT_EQ(w.RefreshCdhServers(), 0);
    EXPECT_EQ(w.BuildCdhServerNode(nullptr), nullptr);
    w.DeleteCdhServerNode(nullptr);
    w.PruneServerNodes();
    EXPECT_EQ(ChildTexts(w.DesktopNode), desktop);
    // No discovery was asked for: the server saw nothing.
    EXPECT_TRUE(servers_[0]->requests().empty());
}

TEST_F(CdhNodesTest, AnInjectedRootGetsANodePerAnsweringServer) {
    StartCdServer(2, "CDH-ONE");
    StartCdServer(3, "CDH-TWO");
    TForm_Central& w = MakeWindow();
    ASSERT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
    vcl::TTreeNode* root = w.TreeView->Items()->AddChild(w.DesktopNode, "CD Servers");
    root->SetImageIndex(nkCdhRoot);
    root->SetSelectedIndex(nkCdhRoot);
    w.CdhRootNode = root;

    EXPECT_EQ(w.RefreshCdhServers(), 2);
    EXPECT_EQ(ChildTexts(root), (Strings{"CDH-ONE", "CDH-TWO"}));
    for (int i = 0; i < root->Count(); ++i)
        EXPECT_EQ(root->Item(i)->GetImageIndex(), 15) << root->Item(i)->GetText();

    // The server's property page, from its node's right-click menu.
    vcl::TTreeNode* one = Child(root, "CDH-ONE");
    QApplication::setActiveWindow(W(&w));
    ClickNode(w.DesktopNode);
    Responder().ExpectModal("Form_Property", [&](vcl::TForm& form) {
        auto& p = static_cast<TForm_Property&>(form);
        EXPECT_EQ(p.PageControl_Property->GetActivePage(), p.TabSheet_Server);
        EXPECT_EQ(p.Label_ServerName->GetCaption(), "CDH-ONE");
        EXPECT_EQ(p.Label_Ip->GetCaption(), "127.0.0.2");
        form.SetModalResult(vcl::mrOk);
    });
    {
        PopupScript popup;
        popup.choose = w.MenuItem_RightProperty;
        one->MakeVisible();
        const vcl::TRect r = one->DisplayRect(true);
        const QPoint at(r.Left + 3, (r.Top + r.Bottom) / 2);
        QTest::mousePress(Viewport(w.TreeView), Qt::RightButton, {}, at);
        QTest::mouseRelease(Viewport(w.TreeView), Qt::RightButton, {}, at);
    }
    EXPECT_EQ(Responder().Pending(), 0);

    // A server that no longer answers leaves the branch at the next discovery.
    servers_.pop_back();
    EXPECT_EQ(w.RefreshCdhServers(), 1);
    EXPECT_EQ(ChildTexts(root), Strings{"CDH-ONE"});
}

} // namespace
