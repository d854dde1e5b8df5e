// Server quick setup as a user meets it: a simulated unit found by discovery and chosen on the
// server page (or preselected), addresses, names and passwords typed into the pages' edits, OK
// answered through the password dialog; the set-server requests the unit received are compared
// byte by byte, the wizard's copy of the server holds what was sent, and discovery finds the unit
// with its new settings.
#include "wizard_fixture.h"

#include "form1.h"
#include "nassvrnet.h"
#include "netconfig.h"
#include "password.h"
#include "utils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <cstdio>
#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kAdminPassword[] = "secret";

std::string Hex(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::string out;
    char two[4];
    for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out;
}

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::string Text(const Bytes& b, std::size_t at, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(b.data() + at);
    return std::string(p, strnlen(p, width));
}

class WizardSetupTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        // Discovery (the window's) and the broadcast set-server request on loopback; requests
        // by TCP go to the units' port.
        nas::NetConfig config = *nas::CurrentNetConfig();
        config.setServerPortFirst = nassim::FreeUdpPort();
        config.setServerPortLast = static_cast<std::uint16_t>(config.setServerPortFirst + 9);
        nas::SetNetConfig(config);
    }
    void TearDown() override {
        WizardTest::TearDown();
        WizardRefreshInfo.Forget();
    }

    // The unit as the main window's discovery finds it now (a copy of its entry), or null.
    std::unique_ptr<CNasServer> Discover(const nassim::Unit& sim) {
        CNASSvrNet list;
        if (list.Discover() != 0) return nullptr;
        for (const auto& s : list.Found()) {
            if (std::memcmp(s->Info.hardwareAddress, sim.config().hardwareAddress.data(),
                            kNasHardwareAddressSize) != 0)
                continue;
            auto copy = std::make_unique<CNasServer>();
            copy->Assign(*s);
            return copy;
        }
        return nullptr;
    }

    // A unit started with config and found by the main window's discovery. With reportAddress
    // the unit gives its own address as LAN 0's.
    Unit& FoundUnit(nassim::UnitConfig config, bool reportAddress) {
        Unit& unit = StartUnit(config, reportAddress);
        FindUnits();
        EXPECT_TRUE(unit.server) << "discovery did not find the unit";
        if (!unit.server) throw std::runtime_error("unit not found");
        return unit;
    }

    static void SetMac(nassim::UnitConfig& config, const std::string& mac) {
        config.hardwareAddress = {};
        std::copy(mac.begin(), mac.end(), config.hardwareAddress.begin());
    }

    // A ready unit with an administrator password, reached by TCP (a remote server); LAN 0 at its
    // own address, manual addresses, teaming Fault Tolerance, workgroup mode.
    Unit& SetupUnit(std::uint32_t encoding = 0) {
        nassim::UnitConfig config;
        config.name = "UNIT1";
        config.workgroup = "WORKGROUP";
        config.comment = "Old comment";
        config.extraText = "EXTRA";
        config.encodingKind = encoding;
        config.extendedReply = encoding == 2; // the 348-byte reply marks kind 2
        config.extendedName = "WORKGROUP";
        config.status = 1;
        config.capabilities = 0x00000101u; // bit 0 goes cleared in the request
        config.word148 = 0x11223344u;
        config.half160 = 0x5566;
        config.half162 = 0x7788;
        config.word164 = 0x99AABBCCu;
        config.optionWord = 0x100;
        config.lan[0].mask = 0xFF000000u;
        config.lan[0].gateway = nassim::Ipv4(127, 0, 0, 254);
        SetMac(config, "00:11:22:33:44:11");
        config.state.adminPassword = kAdminPassword;
        config.state.imageFolders = {"ISO"};
        Unit& unit = FoundUnit(config, true);
        unit.server->RemoteFlag = 1;
        return unit;
    }

    // Types text into an edit as a user does: focus, select all, keys.
    void Type(vcl::TEdit* edit, const std::string& text) {
        QWidget* w = FocusTarget(edit);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w, Qt::Key_Delete);
        // One key event per character, non-ASCII ones included.
        for (const QChar ch : QString::fromStdString(text)) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &press);
            QApplication::sendEvent(w, &release);
        }
    }
    void ClickBox(vcl::TControl* box) { QTest::mouseClick(W(box), Qt::LeftButton); }

    // The kind dialog whose text holds part; answered by its first visible button.
    void ExpectKind(const std::string& part) {
        Responder().ExpectModal("Form1", [part](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm1&>(form);
            EXPECT_NE(dialog.Label1->GetCaption().find(part), std::string::npos)
                << "shown: " << dialog.Label1->GetCaption();
            for (int n = 1; n <= 5; ++n)
                if (dialog.ButtonNumber(n)->GetVisible()) {
                    dialog.ButtonNumber(n)->Click();
                    return;
                }
        });
    }
    void ExpectPassword(const std::string& password, const std::string& user = "") {
        Responder().ExpectModal("Form_Password", [password, user](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            if (!user.empty()) dialog.Edit_UserName->SetText(user);
            dialog.Edit_Password->SetText(password);
            dialog.Button_Ok->Click();
        });
    }

    // Job 5 with the unit preselected, as the main window starts it.
    void StartPreselected(Unit& unit) {
        TFmWizard& w = Wizard();
        WizardRefreshInfo.Take(*unit.server);
        w.PreselectedServer = unit.server->UnitHandle;
        w.StartJob(kJobSetupPreselected);
        ASSERT_EQ(Kind(), kPageIpAddress);
    }

    // The quick setup as the window's tool button opens it with "NAS Servers" selected (job 3,
    // page 8 first); drive runs while the window shows the wizard and must end it.
    void OpenSetupFromTheWindow(std::function<void(TFmWizard&)> drive) {
        W().TreeView->SetSelected(W().NasServersNode);
        Responder().ExpectModal(
            "FmWizard", [drive](vcl::TForm& form) { drive(dynamic_cast<TFmWizard&>(form)); });
        QTest::mouseClick(W(W().ToolButton_ServerQuickSetup), Qt::LeftButton);
    }
    // On page 8: the unit's row chosen, then Next to page 10.
    void ChooseOnServerPage(TFmWizard& w, Unit& unit) {
        ASSERT_EQ(Kind(), kPageServerDetail);
        vcl::TListItems* rows = w.ListView_ServerDetail->Items();
        int at = -1;
        for (int i = 0; i < rows->Count(); ++i)
            if (rows->Item(i)->GetData() == unit.server->UnitHandle.Data()) at = i;
        ASSERT_GE(at, 0) << "the unit is not listed";
        rows->Item(at)->SetSelected(true);
        QTest::mouseClick(W(w.bbNext), Qt::LeftButton);
        ASSERT_EQ(Kind(), kPageIpAddress);
    }
    // The listener's quiet polls let its record of the last sender go, so that the same unit's
    // next announcement is taken (a repeat within 10 seconds is not).
    void ForgetLastSender() {
        for (int i = 0; i < 10 && W().NasSvrNet.LastAnnouncement(); ++i)
            W().Timer_ABSENT->OnTimer(W().Timer_ABSENT);
        ASSERT_EQ(W().NasSvrNet.LastAnnouncement(), nullptr);
    }

    std::vector<Bytes> SetServerRequests(Unit& unit) {
        std::vector<Bytes> out;
        for (const nassim::Request& r : unit.sim->requestsFor(nassim::kCommandSetServer))
            out.push_back(r.bytes);
        return out;
    }
};

// The request of the first test, field by field: header (time zeroed), digest of the current
// password, the new one in Base64, hardware address, teaming, pass-through values, flags,
// comment, addresses, gateways, masks, name, workgroup.
TEST_F(WizardSetupTest, ServerPageToOkSendsOneRequestWithTypedNamesAndAddresses) {
    Unit& unit = SetupUnit();
    TFmWizard& w = Wizard();
    w.StartJob(kJobSetupServer);
    ASSERT_EQ(Kind(), kPageServerDetail);
    EXPECT_EQ(ServerDetailLive, 1);
    ASSERT_EQ(w.ListView_ServerDetail->Items()->Count(), 1);
    // Nothing selected: the page stays and keeps refreshing.
    Responder().ExpectBox("Please select a server.", vcl::IDOK);
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageServerDetail);
    EXPECT_EQ(ServerDetailLive, 1);
    w.ListView_ServerDetail->Items()->Item(0)->SetSelected(true);
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageIpAddress);
    EXPECT_EQ(ServerDetailLive, 0);
    EXPECT_EQ(w.GetCaption(), "Wizard - Setup Server:   [UNIT1]");
    EXPECT_TRUE(w.RadioButton_SpecIp->GetChecked());
    EXPECT_EQ(w.Edit_Ip->GetText(), utils::IpToText(unit.sim->address()));
    EXPECT_FALSE(w.GroupBoxLAN3->GetVisible());
    // Fault Tolerance: LAN 2 stays closed.
    EXPECT_FALSE(w.Edit_Ip2->GetEnabled());

    Type(w.Edit_Ip, "127.1.2.3");
    Type(w.Edit_Mask, "255.255.0.0");
    Type(w.Edit_Gateway, "127.1.0.1");
    Type(w.Edit_Ip2, "");
    w.Edit_Ip2->SetText("127.2.0.3");
    w.Edit_Mask2->SetText("255.255.0.0");
    w.Edit_Gateway2->SetText("127.2.0.1");
    w.Edit_Ip3->SetText("127.3.0.3");
    w.Edit_Mask3->SetText("255.255.0.0");
    w.Edit_Gateway3->SetText("127.3.0.1");
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageServerName);
    EXPECT_EQ(w.Edit_SmbName->GetText(), "UNIT1");
    EXPECT_EQ(w.Edit_SmbDomain->GetText(), "WORKGROUP");
    EXPECT_TRUE(w.RadioButton_WorkGroupMode->GetChecked());
    Type(w.Edit_SmbName, "FRONTDESK");
    Type(w.Edit_SmbDomain, "TEAM");
    Type(w.Edit_ServerComment, "Front desk unit");
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPagePassword);
    ExpectButtons(true, false, true);
    ClickBox(w.CheckBox_ChangeAdminPass);
    ASSERT_TRUE(w.Edit_AdminPass->GetEnabled());
    Type(w.Edit_AdminPass, "NewPass");
    Type(w.Edit_AdminConfirm, "newpass"); // letter case is not compared

    ExpectPassword(kAdminPassword);
    Responder().ExpectBox("already changed and NAS will be restarted", vcl::IDOK);
    ExpectKind("Server Quick Setup  successfully.");
    w.bbOk->Click();

    const auto sent = SetServerRequests(unit);
    ASSERT_EQ(sent.size(), 1u);
    Bytes got = sent[0];
    ASSERT_EQ(got.size(), 352u);
    std::fill(got.begin() + 12, got.begin() + 16, 0); // the header's time
    const auto digest = nassim::PasswordDigest(kAdminPassword);
    EXPECT_EQ(Hex(got, 42, 58), Hex(Bytes(digest.begin(), digest.end()), 0, 16));
    // Header, lengths, readable new password "NewPass" (Base64 "TmV3UGFzcw==").
    EXPECT_EQ(Hex(got, 0, 42), "50454c5155414e45"
                               "0001"
                               "0000"
                               "00000000"
                               "0000"
                               "0100"
                               "00010000"
                               "0300"
                               "0100"
                               "0000"
                               "0000"
                               "02000000"
                               "f8000000"
                               "0600");
    EXPECT_EQ(Hex(got, 58, 124), "0700"
                                 "546d56335547467a63773d3d" +
                                     std::string(104, '0'));
    EXPECT_EQ(Text(got, 124, 18), "00:11:22:33:44:11");
    EXPECT_EQ(U16(got, 142), 0);           // teaming
    EXPECT_EQ(U32(got, 144), 0x00000100u); // capability word, bit 0 cleared
    EXPECT_EQ(U32(got, 152), 0u);          // protocols: manual
    EXPECT_EQ(U32(got, 156), 0x100u);      // options: workgroup mode
    EXPECT_EQ(U32(got, 160), 0x11223344u);
    EXPECT_EQ(U16(got, 164), 0x5566);
    EXPECT_EQ(U16(got, 166), 0x7788);
    EXPECT_EQ(U32(got, 168), 0x99AABBCCu);
    EXPECT_EQ(Hex(got, 172, 204), "46726f6e74206465736b20756e6974" + std::string(34, '0'));
    // Addresses, gateways, masks in network order.
    EXPECT_EQ(Hex(got, 204, 240), "7f0102037f0200037f030003"
                                  "7f0100017f0200017f030001"
                                  "ffff0000ffff0000ffff0000");
    EXPECT_EQ(Text(got, 240, 16), "FRONTDESK");
    EXPECT_EQ(Text(got, 256, 16), "TEAM");
    EXPECT_EQ(Hex(got, 272, 352), std::string(160, '0'));

    // The wizard's copy holds what was sent.
    const CNasServer& copy = WizardRefreshInfo.Server;
    EXPECT_EQ(copy.GetName(), "FRONTDESK");
    EXPECT_EQ(copy.GetWorkgroup(), "TEAM");
    EXPECT_EQ(copy.GetComment(), "Front desk unit");
    EXPECT_EQ(copy.GetLanIpText(0), "127.1.2.3");
    EXPECT_EQ(copy.GetMaskText(2), "255.255.0.0");
    EXPECT_EQ(copy.Info.capabilityFlags, 0x101u);
    // The window asked the units again: its object of the unit has the new name.
    EXPECT_EQ(unit.server->GetName(), "FRONTDESK");

    // The unit took them: discovery finds it with its new names and addresses, and it takes
    // the new administrator password and no longer the old one.
    const auto found = Discover(*unit.sim);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->GetName(), "FRONTDESK");
    EXPECT_EQ(found->GetWorkgroup(), "TEAM");
    EXPECT_EQ(found->GetComment(), "Front desk unit");
    EXPECT_EQ(found->GetLanIpText(0), "127.1.2.3");
    EXPECT_EQ(found->GetLanIpText(1), "127.2.0.3");
    EXPECT_EQ(found->GetLanIpText(2), "127.3.0.3");
    EXPECT_EQ(found->GetMaskText(1), "255.255.0.0");
    EXPECT_EQ(found->GetGatewayText(2), "127.3.0.1");
    EXPECT_EQ(found->Info.word134, 0);      // teaming
    EXPECT_EQ(found->Info.value160, 0u);    // protocols: manual
    EXPECT_FALSE(found->IsOptionBit0Set()); // workgroup mode
    const std::uint32_t at[3] = {unit.sim->address(), 0, 0};
    EXPECT_EQ(NasApiCheckPassword(at, "NewPass"), 0);
    EXPECT_EQ(NasApiCheckPassword(at, kAdminPassword), nassim::kStatusInvalidPassword);
}

// Job 5 to OK with what the pages show; the requests the unit received.
TEST_F(WizardSetupTest, TeamingChangedWithTheProtocolsGoesInTwoRequests) {
    struct Case {
        const char* what;
        int teaming;                                     // item chosen in the teaming combo
        bool dhcp;                                       // switch to automatic addressing with DHCP
        std::vector<std::pair<int, std::uint32_t>> sent; // teaming and protocols of each request
    };
    const std::vector<Case> cases = {
        {"teaming only", 3, false, {{3, 0}}},
        {"teaming and DHCP", 1, true, {{1, 0}, {1, 0x40}}},
        {"DHCP only", 0, true, {{0, 0x40}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Unit& unit = SetupUnit(1);
        StartPreselected(unit);
        TFmWizard& w = Wizard();
        w.ComboBoxDNICMode->SetItemIndex(c.teaming);
        w.ComboBoxDNICMode->OnChange(w.ComboBoxDNICMode);
        EXPECT_EQ(w.Edit_Ip2->GetEnabled(), c.teaming == 3);
        if (c.dhcp) {
            ClickBox(w.RadioButton_AutoIp);
            EXPECT_FALSE(w.Edit_Ip->GetEnabled());
            ClickBox(w.CheckBox_Dhcp);
        }
        w.bbNext->Click();
        ASSERT_EQ(Kind(), kPageServerName);
        w.bbNext->Click();
        ASSERT_EQ(Kind(), kPagePassword);
        ExpectPassword(kAdminPassword);
        ExpectKind("successfully.");
        w.bbOk->Click();
        const auto sent = SetServerRequests(unit);
        ASSERT_EQ(sent.size(), c.sent.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(U16(sent[i], 142), c.sent[i].first) << "request " << i;
            EXPECT_EQ(U32(sent[i], 152), c.sent[i].second) << "request " << i;
            // Encoding kind 1: the 320-byte payload form is not used, texts go as UTF-8.
            EXPECT_EQ(Text(sent[i], 240, 16), "UNIT1");
        }
        if (sent.size() == 2) {
            // The two requests differ in their protocols alone (and the header's time).
            Bytes first = sent[0];
            Bytes second = sent[1];
            for (Bytes* b : {&first, &second}) {
                std::fill(b->begin() + 12, b->begin() + 16, 0);
                std::fill(b->begin() + 152, b->begin() + 156, 0);
            }
            EXPECT_EQ(Hex(first, 0, first.size()), Hex(second, 0, second.size()));
        }
        EXPECT_EQ(WizardRefreshInfo.Server.Info.word134, c.teaming);
        EXPECT_EQ(WizardRefreshInfo.Server.Info.value160, c.sent.back().second);
        // The unit holds the teaming and the protocols of the last request.
        const auto found = Discover(*unit.sim);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->Info.word134, c.teaming);
        EXPECT_EQ(found->Info.value160, c.sent.back().second);
        EXPECT_EQ(found->GetName(), "UNIT1");
        EXPECT_EQ(found->GetLanIpText(0), utils::IpToText(unit.sim->address()));
        vcl::TCloseAction action = vcl::caHide;
        w.FormClose(&w, action);
        StopUnits();
    }
}

TEST_F(WizardSetupTest, DomainAccountGoesWithTheLongerRequest) {
    Unit& unit = SetupUnit(2);
    servertest::PutText(unit.server->Info.extendedName, sizeof unit.server->Info.extendedName,
                        "WORKGROUP");
    StartPreselected(unit);
    TFmWizard& w = Wizard();
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageServerName);
    EXPECT_EQ(w.Edit_SmbDomain->GetText(), "WORKGROUP");
    // Cancelling the account prompt keeps the workgroup mode.
    Responder().ExpectModal("Form_Password", vcl::mrCancel);
    ClickBox(w.RadioButton_DomainMode);
    EXPECT_TRUE(w.RadioButton_WorkGroupMode->GetChecked());
    EXPECT_EQ(w.DomainMode, 1);
    // A password longer than the request's field is refused at the prompt, not cut; the prompt
    // comes again.
    ExpectPassword(std::string(32, 'p'), "corp\\joiner");
    Responder().ExpectBox("at most 31 bytes", vcl::IDOK);
    ExpectPassword("dom-pw", "corp\\joiner");
    ClickBox(w.RadioButton_DomainMode);
    EXPECT_TRUE(w.RadioButton_DomainMode->GetChecked());
    EXPECT_EQ(w.DomainMode, 0);
    Type(w.Edit_SmbDomain, "CORP.EXAMPLE.COM");
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPagePassword);
    ExpectPassword(kAdminPassword);
    Responder().ExpectBox("already changed", vcl::IDOK);
    ExpectKind("successfully.");
    w.bbOk->Click();

    const auto sent = SetServerRequests(unit);
    ASSERT_EQ(sent.size(), 1u);
    const Bytes& got = sent[0];
    ASSERT_EQ(got.size(), 460u);
    EXPECT_EQ(U16(got, 18), 2);        // flags: the long form
    EXPECT_EQ(U32(got, 20), 428u);     // payload
    EXPECT_EQ(U32(got, 36), 312u);     // data length
    EXPECT_EQ(U32(got, 156), 0x101u);  // domain mode
    EXPECT_EQ(Text(got, 256, 16), ""); // no workgroup in the domain form
    EXPECT_EQ(Hex(got, 288, 352), Hex(Bytes{'C', 'O', 'R', 'P', '.', 'E', 'X', 'A', 'M', 'P', 'L',
                                            'E', '.', 'C', 'O', 'M'},
                                      0, 16) +
                                      std::string(96, '0'));
    EXPECT_EQ(Hex(got, 352, 364), "09000000"
                                  "64000000"
                                  "01000000");
    EXPECT_EQ(Text(got, 364, 64), "corp\\joiner");
    EXPECT_EQ(Hex(got, 428, 460), "646f6d2d7077" + std::string(52, '0'));
    EXPECT_EQ(WizardRefreshInfo.Server.GetExtendedName(), "CORP.EXAMPLE.COM");
    EXPECT_TRUE(WizardRefreshInfo.Server.IsOptionBit0Set());
    // The unit is in the domain now.
    const auto found = Discover(*unit.sim);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->GetExtendedName(), "CORP.EXAMPLE.COM");
    EXPECT_TRUE(found->IsOptionBit0Set());
}

// A new unit with no addresses yet, found by discovery and not reachable by TCP: the request goes
// by broadcast (route 0) from a port of the configured range, and the unit takes it.
TEST_F(WizardSetupTest, AUnitWithoutAddressesIsSetUpByBroadcast) {
    nassim::UnitConfig config;
    config.name = "NEWUNIT";
    config.workgroup = "WORKGROUP";
    config.status = 1;
    config.capabilities = 0x80000000u; // bit 31: the typed password stands without a TCP check
    SetMac(config, "00:11:22:33:44:12");
    config.state.adminPassword = kAdminPassword;
    config.fault = nassim::Fault::Refuse; // nothing answers by TCP
    Unit& unit = FoundUnit(config, false);
    ASSERT_EQ(unit.server->RemoteFlag, 0);

    TFmWizard& w = Wizard();
    w.StartJob(kJobSetupServer);
    ASSERT_EQ(w.ListView_ServerDetail->Items()->Count(), 1);
    w.ListView_ServerDetail->Items()->Item(0)->SetSelected(true);
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageIpAddress);
    EXPECT_EQ(w.Edit_Ip->GetText(), "0.0.0.0");
    Type(w.Edit_Ip, "127.0.70.5");
    Type(w.Edit_Mask, "255.255.0.0");
    Type(w.Edit_Gateway, "127.0.0.1");
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageServerName);
    Type(w.Edit_SmbName, "LOBBY");
    Type(w.Edit_ServerComment, "By broadcast");
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPagePassword);
    ExpectPassword(kAdminPassword);
    Responder().ExpectBox("already changed", vcl::IDOK);
    ExpectKind("Server Quick Setup  successfully.");
    w.bbOk->Click();

    const std::vector<nassim::Request> got = unit.sim->requestsFor(nassim::kCommandSetServer);
    ASSERT_EQ(got.size(), 1u);
    const nas::NetConfig& net = *nas::CurrentNetConfig();
    EXPECT_EQ(got[0].via, nassim::Via::Udp);
    EXPECT_EQ(got[0].to, nassim::kLoopbackBroadcast);
    EXPECT_EQ(got[0].from, nassim::Ipv4(127, 0, 0, 1));
    EXPECT_GE(got[0].fromPort, net.setServerPortFirst);
    EXPECT_LE(got[0].fromPort, net.setServerPortLast);
    EXPECT_EQ(got[0].problem, "");

    // The whole record, the header's time zeroed.
    Bytes want(352, 0);
    const auto put = [&want](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), want.begin() + static_cast<std::ptrdiff_t>(at));
    };
    const auto text = [&want](std::size_t at, const std::string& t) {
        std::copy(t.begin(), t.end(), want.begin() + static_cast<std::ptrdiff_t>(at));
    };
    text(0, "PELQUANE");
    put(8, {0x00, 0x01});        // version
    put(18, {1, 0});             // flags
    put(20, {0x00, 0x01, 0, 0}); // payload length 256
    put(24, {3, 0, 1, 0});       // command, the word at 26
    put(32, {2, 0, 0, 0});       // sub-code
    put(36, {248, 0, 0, 0});     // data length
    put(40, {6, 0});             // length of the current password
    const auto digest = nassim::PasswordDigest(kAdminPassword);
    std::copy(digest.begin(), digest.end(), want.begin() + 42);
    put(58, {6, 0});
    text(60, "c2VjcmV0"); // the password, unchanged, in Base64
    text(124, "00:11:22:33:44:12");
    put(144, {0, 0, 0, 0x80}); // capability word, bit 0 cleared
    text(172, "By broadcast");
    put(204, {127, 0, 70, 5});
    put(216, {127, 0, 0, 1});
    put(228, {255, 255, 0, 0});
    text(240, "LOBBY");
    text(256, "WORKGROUP");
    Bytes sent = got[0].bytes;
    ASSERT_EQ(sent.size(), 352u);
    std::fill(sent.begin() + 12, sent.begin() + 16, 0);
    EXPECT_EQ(Hex(sent, 0, sent.size()), Hex(want, 0, want.size()));

    const auto found = Discover(*unit.sim);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->GetName(), "LOBBY");
    EXPECT_EQ(found->GetWorkgroup(), "WORKGROUP");
    EXPECT_EQ(found->GetComment(), "By broadcast");
    EXPECT_EQ(found->GetLanIpText(0), "127.0.70.5");
    EXPECT_EQ(found->GetMaskText(0), "255.255.0.0");
    EXPECT_EQ(found->GetGatewayText(0), "127.0.0.1");
    EXPECT_EQ(found->GetLanIpText(1), "0.0.0.0");
}

TEST_F(WizardSetupTest, WhatTheUnitRefusesIsNotRecordedAsSet) {
    for (std::uint32_t encoding : {0u, 2u}) {
        SCOPED_TRACE("encoding " + std::to_string(encoding));
        Unit& unit = SetupUnit(encoding);
        nassim::CommandFault refuse;
        refuse.command = nassim::kCommandSetServer;
        refuse.status = -3;
        unit.sim->addCommandFault(refuse);
        StartPreselected(unit);
        TFmWizard& w = Wizard();
        // Teaming and DHCP: two requests planned, the first is refused.
        w.ComboBoxDNICMode->SetItemIndex(2);
        w.ComboBoxDNICMode->OnChange(w.ComboBoxDNICMode);
        ClickBox(w.RadioButton_AutoIp);
        ClickBox(w.CheckBox_Dhcp);
        w.bbNext->Click();
        Type(w.Edit_ServerComment, "Changed");
        w.bbNext->Click();
        ASSERT_EQ(Kind(), kPagePassword);
        ExpectPassword(kAdminPassword);
        Responder().ExpectBox("already changed", vcl::IDOK);
        // Every encoding kind hears of the failure.
        ExpectKind("Network connection error.");
        w.bbOk->Click();
        EXPECT_EQ(SetServerRequests(unit).size(), 1u);
        EXPECT_EQ(WizardRefreshInfo.Server.GetComment(), "Old comment");
        EXPECT_EQ(WizardRefreshInfo.Server.Info.word134, 0);
        const auto found = Discover(*unit.sim); // nor did the unit change
        ASSERT_TRUE(found);
        EXPECT_EQ(found->GetComment(), "Old comment");
        EXPECT_EQ(found->Info.word134, 0);
        vcl::TCloseAction action = vcl::caHide;
        w.FormClose(&w, action);
        StopUnits();
    }
}

// A unit that answers with a refusal is not said to be unreachable: the user reads its reason,
// and that the unit does not say which value it refused. The wizard stays on its page with what
// was typed; corrected, the values are sent again and taken.
TEST_F(WizardSetupTest, ARefusedValueKeepsTheWizardOpenWithWhatWasTyped) {
    Unit& unit = SetupUnit();
    OpenSetupFromTheWindow([&](TFmWizard& w) {
        ChooseOnServerPage(w, unit);
        // A gateway outside LAN 1's network: the unit refuses the option.
        Type(w.Edit_Gateway, "10.9.9.9");
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageServerName);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPagePassword);
        ClickBox(w.CheckBox_ChangeAdminPass);
        Type(w.Edit_AdminPass, "newpass");
        Type(w.Edit_AdminConfirm, "newpass");
        ExpectPassword(kAdminPassword);
        Responder().ExpectBox(std::string("Server Quick Setup:\nInvalid option!\n\n") +
                                  GetMessageText(959),
                              vcl::IDOK);
        Click(w.bbOk);
        EXPECT_EQ(SetServerRequests(unit).size(), 1u);
        // Still open on the password page, with what was typed on every page.
        EXPECT_EQ(w.GetModalResult(), vcl::mrNone);
        ASSERT_EQ(Kind(), kPagePassword);
        EXPECT_TRUE(w.CheckBox_ChangeAdminPass->GetChecked());
        EXPECT_EQ(w.Edit_AdminPass->GetText(), "newpass");
        EXPECT_EQ(w.Edit_AdminConfirm->GetText(), "newpass");
        EXPECT_EQ(w.Edit_Gateway->GetText(), "10.9.9.9");
        // Nothing was recorded as set.
        EXPECT_EQ(WizardRefreshInfo.Server.GetGatewayText(0), "127.0.0.254");

        // The gateway corrected (Back keeps the pages as they are), the passwords typed again
        // (entering the page empties them), and OK.
        Click(w.bbBack);
        Click(w.bbBack);
        ASSERT_EQ(Kind(), kPageIpAddress);
        EXPECT_EQ(w.Edit_Gateway->GetText(), "10.9.9.9");
        Type(w.Edit_Gateway, "127.0.0.253");
        Click(w.bbNext);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPagePassword);
        ClickBox(w.CheckBox_ChangeAdminPass);
        Type(w.Edit_AdminPass, "newpass");
        Type(w.Edit_AdminConfirm, "newpass");
        ExpectPassword(kAdminPassword);
        ExpectKind("successfully.");
        Click(w.bbOk);
        EXPECT_EQ(w.GetModalResult(), vcl::mrOk);
    });
    EXPECT_FALSE(Wizard().GetVisible());
    ASSERT_EQ(SetServerRequests(unit).size(), 2u);
    const auto found = Discover(*unit.sim);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->GetGatewayText(0), "127.0.0.253");
    EXPECT_EQ(unit.sim->state().adminPassword.value_or(""), "newpass");
}

TEST_F(WizardSetupTest, AUnitNotReadyGetsNothing) {
    Unit& unit = SetupUnit();
    unit.server->Info.unitStatus = 2; // Reset
    StartPreselected(unit);
    TFmWizard& w = Wizard();
    w.bbNext->Click();
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPagePassword);
    ExpectPassword(kAdminPassword);
    Responder().ExpectBox("System Not Ready.", vcl::IDOK);
    w.bbOk->Click();
    EXPECT_TRUE(SetServerRequests(unit).empty());
}

// The unit chosen for the quick setup announces going off-line (from its own address), the
// wizard opened by the window's tool button: past the server page the user is told and the wizard
// closes, also when the announcement came while the password prompt was up; nothing is sent to
// the unit. On the server page the announcement only takes the unit's row away.
TEST_F(WizardSetupTest, TheChosenUnitGoingOfflineEndsTheSetupPastTheServerPage) {
    Unit& unit = SetupUnit();
    // On page 10.
    OpenSetupFromTheWindow([&](TFmWizard& w) {
        ChooseOnServerPage(w, unit);
        Responder().ExpectBox("Server UNIT1 is off-line.", vcl::IDOK);
        AnnounceOffline(unit);
        EXPECT_EQ(unit.node, nullptr);
        EXPECT_EQ(w.GetModalResult(), vcl::mrCancel);
    });
    EXPECT_FALSE(Wizard().GetVisible());

    // While the password prompt of OK is up: the setup ends when the prompt has closed.
    ForgetLastSender();
    FindUnits();
    ASSERT_NE(unit.node, nullptr);
    OpenSetupFromTheWindow([&](TFmWizard& w) {
        ChooseOnServerPage(w, unit);
        Click(w.bbNext);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPagePassword);
        Responder().ExpectModal("Form_Password", [&](vcl::TForm& form) {
            AnnounceOffline(unit);
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            dialog.Edit_Password->SetText(kAdminPassword);
            dialog.Button_Ok->Click();
        });
        Responder().ExpectBox("Server UNIT1 is off-line.", vcl::IDOK);
        Click(w.bbOk);
        EXPECT_EQ(w.GetModalResult(), vcl::mrCancel);
    });
    EXPECT_FALSE(Wizard().GetVisible());
    EXPECT_TRUE(SetServerRequests(unit).empty());

    // On page 8: the row goes, the wizard stays.
    ForgetLastSender();
    FindUnits();
    ASSERT_NE(unit.node, nullptr);
    OpenSetupFromTheWindow([&](TFmWizard& w) {
        ASSERT_EQ(Kind(), kPageServerDetail);
        ASSERT_EQ(w.ListView_ServerDetail->Items()->Count(), 1);
        AnnounceOffline(unit);
        EXPECT_EQ(w.ListView_ServerDetail->Items()->Count(), 0);
        EXPECT_EQ(w.GetModalResult(), vcl::mrNone);
        EXPECT_EQ(Kind(), kPageServerDetail);
        Click(w.bbCancel);
    });
    EXPECT_TRUE(SetServerRequests(unit).empty());
}

// Each case types into the page's edits and presses Next; refused cases name the field.
TEST_F(WizardSetupTest, AddressesAreCheckedOnEveryLan) {
    Unit& unit = SetupUnit();
    StartPreselected(unit);
    TFmWizard& w = Wizard();
    struct Case {
        vcl::TEdit* edit;
        const char* typed;
        const char* refusal; // empty: accepted
    };
    const std::vector<Case> cases = {
        {w.Edit_Ip, "10.0.0", "Server IP address error"},
        {w.Edit_Ip, "10.0.0.256", "Server IP address error"},
        {w.Edit_Ip, "10.0.0.1.5", "Server IP address error"},
        {w.Edit_Ip, "10.0.0.0x1", "Server IP address error"},
        {w.Edit_Mask, "255.255.255.255", "Subnet Mask IP address error"},
        {w.Edit_Gateway2, "", "Gateway IP address error"},
        // LAN 3's group is hidden on this unit, and still checked.
        {w.Edit_Gateway3, "1.2.3", "Gateway IP address error"},
        {w.Edit_Ip, "  10.0.0.9 ", ""},
    };
    EXPECT_FALSE(w.GroupBoxLAN3->GetVisible());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("typed \"") + c.typed + "\"");
        for (const auto& lan : w.Lan) {
            lan.Ip->SetText("10.0.0.1");
            lan.Mask->SetText("255.0.0.0");
            lan.Gateway->SetText("10.0.0.254");
        }
        if (c.edit->GetEnabled())
            Type(c.edit, c.typed);
        else
            c.edit->SetText(c.typed); // a closed LAN keeps the record's texts
        if (*c.refusal) ExpectKind(c.refusal);
        w.bbNext->Click();
        if (*c.refusal) {
            EXPECT_EQ(Kind(), kPageIpAddress);
        } else {
            EXPECT_EQ(Kind(), kPageServerName);
            EXPECT_EQ(w.Edit_Ip->GetText(), "10.0.0.9");
            w.bbBack->Click();
        }
    }
    // Automatic addressing needs one protocol.
    ClickBox(w.RadioButton_AutoIp);
    ExpectKind("You must choose at least one between DHCP,BOOTP,RARP.");
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageIpAddress);
}

TEST_F(WizardSetupTest, NamesAreCheckedByTheBytesTheirFieldsHold) {
    struct Case {
        std::uint32_t encoding;
        const char* name;
        const char* group;
        const char* comment;
        const char* refusal; // empty: accepted
    };
    const std::vector<Case> cases = {
        // Nine characters of two UTF-8 bytes: 18 bytes for a 15-byte name on a UTF-8 unit,
        // 9 bytes in the code page on a kind 0 unit.
        {1, "ééééééééé", "TEAM", "", "Microsoft Name too long."},
        {0, "ééééééééé", "TEAM", "", ""},
        {0, "NAME", "TEAM", "0123456789012345678901234567890123", "Server Comment too long."},
        {0, "NAME", "TEAM", "0123456789012345678901234567890", ""},
        {0, "NA#ME", "TEAM", "", "Find invalid characters"},
        {0, "NAME", "TE;AM", "", "Microsoft Group Name"},
        {0, "", "TEAM", "", "Microsoft Name is required."},
        {0, "NAME", "", "", "Domain Name is required."},
        // Not in the code page the unit reads.
        {0, "名字", "TEAM", "", "Find invalid characters"},
        {1, "NAME", "Gruppe\xE2\x82\xAC", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " / " + c.group + " / " + c.comment);
        Unit& unit = SetupUnit(c.encoding);
        StartPreselected(unit);
        TFmWizard& w = Wizard();
        w.bbNext->Click();
        ASSERT_EQ(Kind(), kPageServerName);
        Type(w.Edit_SmbName, c.name);
        Type(w.Edit_SmbDomain, c.group);
        Type(w.Edit_ServerComment, c.comment);
        if (*c.refusal) ExpectKind(c.refusal);
        w.bbNext->Click();
        EXPECT_EQ(Kind(), *c.refusal ? kPageServerName : kPagePassword);
        vcl::TCloseAction action = vcl::caHide;
        w.FormClose(&w, action);
        StopUnits();
    }
}

TEST_F(WizardSetupTest, PasswordsAreComparedWithoutCaseAndCheckedByBytes) {
    struct Case {
        int language;
        const char* typed;
        const char* confirm;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {0, "Abc", "aBC", true},
        {0, "abc", "abd", false},
        // Eight characters take 16 bytes in the Traditional Chinese code page: one too many.
        {1, "密碼密碼密碼密碼", "密碼密碼密碼密碼", false},
        {1, "密碼密碼密碼密", "密碼密碼密碼密", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        LanguageIndex = c.language;
        Unit& unit = SetupUnit();
        StartPreselected(unit);
        TFmWizard& w = Wizard();
        w.bbNext->Click();
        w.bbNext->Click();
        ASSERT_EQ(Kind(), kPagePassword);
        ClickBox(w.CheckBox_ChangeAdminPass);
        Type(w.Edit_AdminPass, c.typed);
        Type(w.Edit_AdminConfirm, c.confirm);
        EXPECT_EQ(w.Edit_AdminPass->GetText(), c.typed);
        if (c.accepted) {
            ExpectPassword(kAdminPassword);
            ExpectKind(GetMessageText(197));
        } else {
            // The wizard stays open and nothing is sent.
            ExpectKind(std::string(c.language == 0 && std::string(c.typed) == "abc"
                                       ? GetMessageText(229)
                                       : GetMessageText(456)));
        }
        w.bbOk->Click();
        EXPECT_EQ(SetServerRequests(unit).size(), c.accepted ? 1u : 0u);
        if (!c.accepted) {
            EXPECT_EQ(w.GetModalResult(), vcl::mrNone);
        }
        vcl::TCloseAction action = vcl::caHide;
        w.FormClose(&w, action);
        StopUnits();
        LanguageIndex = 0;
    }
}
} // namespace

namespace {

// The quick setup opened by the window's command: once the unit took its new name, the window
// asks the units again and runs its selection again, so its tree and list show the new name.
TEST_F(WizardSetupTest, TheWindowShowsTheNewNameOnceTheSetupIsDone) {
    SetupUnit();
    W().TreeView->SetSelected(W().NasServersNode);
    ASSERT_EQ(Captions(), (std::vector<std::string>{"UNIT1"}));
    Responder().ExpectModal("FmWizard", [&](vcl::TForm& form) {
        auto& w = dynamic_cast<TFmWizard&>(form);
        ASSERT_EQ(Kind(), kPageServerDetail);
        ASSERT_EQ(w.ListView_ServerDetail->Items()->Count(), 1);
        w.ListView_ServerDetail->Items()->Item(0)->SetSelected(true);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageIpAddress);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageServerName);
        Type(w.Edit_SmbName, "FRONTDESK");
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPagePassword);
        ExpectPassword(kAdminPassword);
        Responder().ExpectBox("already changed and NAS will be restarted", vcl::IDOK);
        ExpectKind("successfully.");
        Click(w.bbOk);
    });
    Click(W().ToolButton_ServerQuickSetup);
    EXPECT_EQ(W().TreeView->GetSelected(), W().NasServersNode);
    EXPECT_EQ(ChildTexts(W().NasServersNode), (std::vector<std::string>{"FRONTDESK"}));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"FRONTDESK"}));
}

} // namespace
