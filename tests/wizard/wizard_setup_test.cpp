// Server quick setup as a user meets it: a simulated unit chosen on the server page (or
// preselected), addresses, names and passwords typed into the pages' edits, OK answered through
// the password dialog; the set-server requests the unit received are compared byte by byte, and
// the wizard's copy of the server holds what was sent.
#include "wizard_fixture.h"

#include "form1.h"
#include "password.h"
#include "utils.h"

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
        vcl::Application->CreateForm(Form1);
    }
    void TearDown() override {
        delete Form_Password;
        delete Form1;
        Form1 = nullptr;
        WizardTest::TearDown();
        WizardRefreshInfo.Forget();
    }

    // A unit in the NAS Servers list, reached by TCP, with an administrator password; manual
    // addresses, teaming Fault Tolerance.
    Unit& SetupUnit(std::uint32_t encoding = 0) {
        Unit& unit = AddUnit("UNIT1", 1, false);
        unit.sim->setAdminPassword(std::string(kAdminPassword));
        CNasServer& s = *unit.server;
        s.RemoteFlag = 1;
        s.Info.textEncodingKind = encoding;
        s.Info.unitStatus = 1;
        servertest::PutText(s.Info.workgroup, sizeof s.Info.workgroup, "WORKGROUP");
        servertest::PutText(s.Info.comment, sizeof s.Info.comment, "Old comment");
        servertest::PutText(s.Info.extraText, sizeof s.Info.extraText, "EXTRA");
        s.Info.subnetMask[0] = 0xFF000000u;
        s.Info.gateway[0] = nassim::Ipv4(127, 0, 0, 254);
        s.Info.capabilityFlags = 0x00000101u; // bit 0 goes cleared in the request
        s.Info.value176 = 0x11223344u;
        s.Info.word180 = 0x5566;
        s.Info.word182 = 0x7788;
        s.Info.value184 = 0x99AABBCCu;
        s.Info.optionWord = 0x100;
        return unit;
    }

    // Types text into an edit as a user does: focus, select all, keys.
    void Type(vcl::TEdit* edit, const std::string& text) {
        QWidget* w = FocusTarget(edit);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w, Qt::Key_Delete);
        if (!text.empty()) QTest::keyClicks(w, QString::fromStdString(text));
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
        w.PreselectedServer = unit.server.get();
        w.StartJob(kJobSetupPreselected);
        ASSERT_EQ(Kind(), kPageIpAddress);
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

    Type(w.Edit_Ip, "10.1.2.3");
    Type(w.Edit_Mask, "255.255.0.0");
    Type(w.Edit_Gateway, "10.1.0.1");
    Type(w.Edit_Ip2, "");
    w.Edit_Ip2->SetText("10.2.0.3");
    w.Edit_Mask2->SetText("255.255.0.0");
    w.Edit_Gateway2->SetText("10.2.0.1");
    w.Edit_Ip3->SetText("10.3.0.3");
    w.Edit_Mask3->SetText("255.255.0.0");
    w.Edit_Gateway3->SetText("10.3.0.1");
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
    EXPECT_EQ(Hex(got, 204, 240), "0a0102030a0200030a030003"
                                  "0a0100010a0200010a030001"
                                  "ffff0000ffff0000ffff0000");
    EXPECT_EQ(Text(got, 240, 16), "FRONTDESK");
    EXPECT_EQ(Text(got, 256, 16), "TEAM");
    EXPECT_EQ(Hex(got, 272, 352), std::string(160, '0'));

    // The wizard's copy holds what was sent; the main window's object is untouched.
    const CNasServer& copy = WizardRefreshInfo.Server;
    EXPECT_EQ(copy.GetName(), "FRONTDESK");
    EXPECT_EQ(copy.GetWorkgroup(), "TEAM");
    EXPECT_EQ(copy.GetComment(), "Front desk unit");
    EXPECT_EQ(copy.GetLanIpText(0), "10.1.2.3");
    EXPECT_EQ(copy.GetMaskText(2), "255.255.0.0");
    EXPECT_EQ(copy.Info.capabilityFlags, 0x101u);
    EXPECT_EQ(unit.server->GetName(), "UNIT1");
}

} // namespace
