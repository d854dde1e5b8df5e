// The finisher of the server quick setup: the set-server record built from the pages, one or two
// set-server requests, and what was sent written into the wizard's copy of the server.
#include "fmwizard.h"

#include "kinddialog.h"
#include "msgbox.h"
#include "nasapi.h"
#include "nasserver.h"
#include "nasservertext.h"
#include "textcodec.h"
#include "unit_text.h"

#include "vcl/screen.h"

#include <cstring>
#include <memory>
#include <optional>

namespace {

// The unit's status for a request whose values it does not take ("Invalid option!").
constexpr int kInvalidOptionResult = 4;

// Server statuses under which a unit takes no settings: not ready, reset, shut-down, upgrade.
bool StatusRefusesSetup(std::uint32_t status) {
    return status == 0 || status == 2 || status == 3 || status == 4;
}

// A text in the code page of the message language, into a zeroed field; false when it does not
// fit with its terminator or holds a character the code page lacks.
bool PutAnsiField(char* field, std::size_t width, const std::string& utf8) {
    std::memset(field, 0, width);
    const auto ansi = Utf8ToAnsi(utf8);
    if (!ansi || ansi->size() >= width) return false;
    std::memcpy(field, ansi->data(), ansi->size());
    return true;
}

// A password already in the unit's encoding, into a zeroed field; false when it does not fit
// with its terminator.
bool PutPasswordField(char* field, std::size_t width, const std::string& bytes) {
    std::memset(field, 0, width);
    if (bytes.size() >= width) return false;
    std::memcpy(field, bytes.data(), bytes.size());
    return true;
}

// A record text field of the setting, back in the form the server record keeps it: UTF-8 for the
// encoding kinds 1 and 2, the code page for kind 0.
void StoreRecordText(char* field, std::size_t width, const char* sent, std::size_t sentWidth,
                     int kind) {
    const std::string ansi(sent, strnlen(sent, sentWidth));
    if (kind == 1 || kind == 2) {
        PutUtf8Field(field, width, AnsiToUtf8(ansi, "?", CutTail::Drop).value_or(ansi));
        return;
    }
    std::memset(field, 0, width);
    std::memcpy(field, ansi.data(), std::min(ansi.size(), width - 1));
}

} // namespace

std::string TFmWizard::SetupRefusalText(CNasServer& server, int result) {
    std::string why = NasResultText(&server, result);
    if (why.empty()) why = "Error " + std::to_string(result);
    std::string head = GetMessageText(483);
    while (!head.empty() && head.back() == ' ')
        head.pop_back();
    // The set-server reply carries nothing but its status: for a refused value the unit does
    // not say which one.
    if (result == kInvalidOptionResult) why += "\n\n" + std::string(GetMessageText(959));
    return head + ":\n" + why;
}

bool TFmWizard::BuildServerSettings(NasServerSetting& setting) {
    CNasServer& copy = WizardRefreshInfo.Server;
    const int kind = copy.GetTextEncoding();
    const std::string group = kind == 2 ? copy.GetExtendedName() : copy.GetWorkgroup();
    if (copy.GetName() != Edit_SmbName->GetText() || group != Edit_SmbDomain->GetText() ||
        copy.GetComment() != Edit_ServerComment->GetText()) {
        if (vcl::MessageBox(GetMessageText(923), GetMessageText(15),
                            vcl::MB_OKCANCEL | vcl::MB_ICONWARNING) != vcl::IDOK)
            return false;
    }
    const NasServerInfo& info = copy.Info;
    setting = NasServerSetting{};
    setting.mode = info.textEncodingKind;
    std::memcpy(setting.extraText, info.extraText, sizeof setting.extraText);
    setting.optionFlags =
        RadioButton_DomainMode->GetChecked() ? (info.optionWord | 1u) : (info.optionWord & ~1u);
    setting.value184 = info.capabilityFlags & ~1u;
    setting.value188 = info.value176;
    setting.word192 = info.word180;
    setting.word194 = info.word182;
    setting.value196 = info.value184;
    std::memcpy(setting.hardwareAddress, info.hardwareAddress, sizeof setting.hardwareAddress);
    setting.teamingMode = static_cast<std::uint16_t>(std::max(0, ComboBoxDNICMode->GetItemIndex()));
    std::memcpy(setting.ipAddress, info.ipAddress, sizeof setting.ipAddress);
    std::memcpy(setting.gateway, info.gateway, sizeof setting.gateway);
    std::memcpy(setting.subnetMask, info.subnetMask, sizeof setting.subnetMask);
    if (RadioButton_AutoIp->GetChecked()) {
        std::uint32_t flags = info.value160 & 0xFFFu;
        const std::pair<vcl::TCheckBox*, std::uint32_t> bits[] = {
            {CheckBox_Bootp, 0x10u}, {CheckBox_Rarp, 0x20u}, {CheckBox_Dhcp, 0x40u}};
        for (auto [box, bit] : bits)
            flags = box->GetChecked() ? (flags | bit) : (flags & ~bit);
        setting.addressFlags = flags;
    } else {
        setting.addressFlags = info.value160 & 0xFFFu & ~0x70u;
        if (RadioButton_SpecIp->GetChecked()) {
            for (int lan = 0; lan < 3; ++lan) {
                const auto ip = SetupAddressOf(Lan[lan].Ip->GetText());
                const auto mask = SetupAddressOf(Lan[lan].Mask->GetText());
                const auto gateway = SetupAddressOf(Lan[lan].Gateway->GetText());
                if (!ip || !mask || !gateway) {
                    ShowKindMessage(GetMessageText(451), 34);
                    return false;
                }
                setting.ipAddress[lan] = *ip;
                setting.subnetMask[lan] = *mask;
                setting.gateway[lan] = *gateway;
            }
        }
    }
    setting.route = copy.RemoteFlag == 1 ? 1u : 0u;
    // The pages checked every text against its field; a text that still does not fit is refused
    // here rather than cut.
    bool fits =
        PutAnsiField(setting.name, sizeof setting.name, Edit_SmbName->GetText()) &&
        PutAnsiField(setting.comment, sizeof setting.comment, Edit_ServerComment->GetText());
    if (kind == 2)
        fits = fits && PutAnsiField(setting.extendedName, sizeof setting.extendedName,
                                    Edit_SmbDomain->GetText());
    else
        fits = fits &&
               PutAnsiField(setting.workgroup, sizeof setting.workgroup, Edit_SmbDomain->GetText());
    if (!fits) {
        ShowKindMessage(GetMessageText(457), 31);
        return false;
    }
    // Both passwords go as the account prompt sends them: the stored one is already in the
    // unit's encoding (the prompt put it there), a new one is put there by the same rule.
    const std::string current(copy.Password, strnlen(copy.Password, sizeof copy.Password));
    std::optional<std::string> wanted = current;
    std::string why;
    if (CheckBox_ChangeAdminPass->GetChecked())
        wanted = TypedTextForUnit(Edit_AdminPass->GetText(), kind, kSetupPasswordBytes, &why);
    if (!wanted) {
        ErrorBox(GetMessageText(456) + std::string(": ") + why);
        return false;
    }
    if (!PutPasswordField(setting.currentPassword, sizeof setting.currentPassword, current) ||
        !PutPasswordField(setting.newPassword, sizeof setting.newPassword, *wanted)) {
        ShowKindMessage(GetMessageText(456), 31);
        return false;
    }
    return true;
}

void TFmWizard::StoreServerSettings(const NasServerSetting& setting) {
    NasServerInfo& info = WizardRefreshInfo.Server.Info;
    const int kind = static_cast<int>(info.textEncodingKind);
    StoreRecordText(info.name, sizeof info.name, setting.name, sizeof setting.name, kind);
    StoreRecordText(info.comment, sizeof info.comment, setting.comment, sizeof setting.comment,
                    kind);
    if (kind == 2)
        StoreRecordText(info.extendedName, sizeof info.extendedName, setting.extendedName,
                        sizeof setting.extendedName, kind);
    else
        StoreRecordText(info.workgroup, sizeof info.workgroup, setting.workgroup,
                        sizeof setting.workgroup, kind);
    std::memcpy(info.ipAddress, setting.ipAddress, sizeof info.ipAddress);
    std::memcpy(info.subnetMask, setting.subnetMask, sizeof info.subnetMask);
    std::memcpy(info.gateway, setting.gateway, sizeof info.gateway);
    std::memcpy(info.hardwareAddress, setting.hardwareAddress, sizeof info.hardwareAddress);
    info.word134 = setting.teamingMode;
    info.value160 = setting.addressFlags;
    info.optionWord = setting.optionFlags;
    // The value sent at 184 is the capability word with bit 0 cleared: the record keeps its own.
    info.value176 = setting.value188;
    info.word180 = setting.word192;
    info.word182 = setting.word194;
    info.value184 = setting.value196;
}

int TFmWizard::FinishServerSetup() {
    if (!WizardRefreshInfo.Valid) return -1;
    auto setting = std::make_unique<NasServerSetting>();
    auto account = std::make_unique<NasServerSetting2>();
    if (PasswordPage(1) != 0) {
        SetModalResult(vcl::mrNone);
        return -1;
    }
    CNasServer& copy = WizardRefreshInfo.Server;
    // Refreshes ran while the pages were filled in: a unit still listed is reached as it is now
    // (a new address included). One no longer listed is still tried at what the copy holds.
    if (const auto now = ResolveTarget(MacOf(copy))) copy.Info = now->Info;
    // A unit that announced going off-line meanwhile (also while the prompt or the question
    // below was up) gets nothing: the setup ends, the user told.
    if (EndSetupOfOfflineUnit()) return -1;
    if (!copy.Authenticate(kAuthAdministrator)) return -1;
    if (EndSetupOfOfflineUnit()) return -1;
    if (StatusRefusesSetup(copy.Info.unitStatus)) {
        vcl::MessageBox(GetMessageText(922), GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
        return -1;
    }
    if (!BuildServerSettings(*setting)) return -1;
    if (EndSetupOfOfflineUnit()) return -1;

    account->value0 = 9;
    account->value4 = 100;
    account->accountGiven = copy.DomainAccountGiven;
    const std::string user(copy.DomainUserName,
                           strnlen(copy.DomainUserName, sizeof copy.DomainUserName));
    const std::string password(copy.DomainPassword,
                               strnlen(copy.DomainPassword, sizeof copy.DomainPassword));
    const bool withAccount = copy.GetTextEncoding() == 2 && copy.DomainAccountGiven == 1;
    if (withAccount && (!PutAnsiField(account->userName, sizeof account->userName, user) ||
                        !PutAnsiField(account->password, sizeof account->password, password))) {
        ShowKindMessage(GetMessageText(921), 31);
        return -1;
    }
    std::uint32_t addresses[3];
    std::memcpy(addresses, copy.Info.ipAddress, sizeof addresses);

    auto send = [&](const NasServerSetting& what) {
        return withAccount ? NasApiSetServer2(addresses, &what, account.get())
                           : NasApiSetServer(addresses, &what);
    };
    int result = 0;
    bool firstTaken = false; // the teaming request of a two-request run was accepted
    NasServerSetting first = *setting;
    {
        vcl::THourGlass hourglass;
        if (setting->teamingMode != copy.Info.word134) {
            // The teaming first, with the protocols the unit has now; then the protocols, when
            // they change too. A refused first request ends the run.
            first.argument = 0;
            first.addressFlags = copy.Info.value160;
            result = send(first);
            if (result == 0 &&
                (setting->argument != 0 || setting->addressFlags != copy.Info.value160)) {
                firstTaken = true;
                result = send(*setting);
            }
        } else {
            result = send(*setting);
        }
    }
    copy.LastResult = result;
    if (result == 0) {
        StoreServerSettings(*setting);
        ShowKindMessage(GetMessageText(483), 0);
    } else {
        // Only what the unit took is recorded as set.
        if (firstTaken) StoreServerSettings(first);
        if (result > 0) {
            // The unit answered and refused the values: say so with its reason, not as a lost
            // connection, and keep the wizard on its page with what was typed, so that the user
            // can correct it and press OK again.
            vcl::MessageBox(SetupRefusalText(copy, result), GetMessageText(9),
                            vcl::MB_OK | vcl::MB_ICONSTOP);
            SetModalResult(vcl::mrNone);
            return 1;
        } else {
            ShowKindMessage(GetMessageText(483), 25);
        }
    }
    return 0;
}
