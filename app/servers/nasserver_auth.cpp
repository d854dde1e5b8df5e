// CNasServer::Authenticate: the administrator password, a local account of the unit or the
// domain-registration account, asked through the password dialog and checked with the unit.
#include "nasserver.h"

#include "kinddialog.h"
#include "msgbox.h"
#include "nasservertext.h"
#include "password.h"
#include "unit_call.h"
#include "unit_text.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

enum class AuthClass { None, Administrator, Account, Domain };

AuthClass ClassOf(int kind) {
    switch (kind) {
    case 3:
    case 4:
    case 5:
        return AuthClass::Administrator;
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 29:
    case 33:
        return AuthClass::Account;
    case 35:
        return AuthClass::Domain;
    default:
        return AuthClass::None;
    }
}

// The kind dialog that asks whether to try again: the question as the whole text, caption
// "Error", buttons Yes and No.
constexpr int kRetryKind = 46;
// The longest password the unit's field takes, in bytes of the unit's encoding (the stored field
// keeps a terminator).
constexpr std::size_t kTypedPasswordMax = CNasServer::kPasswordSize - 1;
// The text-encoding kind whose texts are kept in the code page of the message language.
constexpr int kCodePageKind = 0;

std::string FieldString(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

// Bytes already in the unit's encoding (and checked to fit) into a zeroed field.
void PutField(char* field, std::size_t width, const std::string& bytes) {
    std::memset(field, 0, width);
    std::memcpy(field, bytes.data(), std::min(bytes.size(), width - 1));
}

} // namespace

void CNasServer::ClearCredentials() {
    if (UserName[0] == '\0') return;
    std::memset(UserName, 0, sizeof UserName);
    std::memset(Password, 0, sizeof Password);
}

int CNasServer::CheckAccount(const std::string& user, const std::string& password) {
    return RunUnitCall(
        GetName(),
        [user, password, addresses = AddressCopy()] {
            return NasApiCheckUserPassword(addresses.data(), user.c_str(), password.c_str());
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
}

bool CNasServer::Authenticate(int kind) {
    const AuthClass authClass = ClassOf(kind);
    if (authClass == AuthClass::None) {
        ClearCredentials();
        return false;
    }

    std::string retryQuestion;
    if (authClass == AuthClass::Account && UserName[0] != '\0') {
        // A stored account is tried first, without asking.
        const std::string user = FieldString(UserName, sizeof UserName);
        const std::string password = FieldString(Password, sizeof Password);
        LastResult = CheckAccount(user, password);
        if (LastResult == 0) return true;
    }
    if (authClass != AuthClass::Domain) ClearCredentials();

    if (!Form_Password) Form_Password = vcl::MakeForm<TForm_Password>(vcl::Application);
    const std::string name = GetName();
    switch (authClass) {
    case AuthClass::Administrator:
        Form_Password->SetPrompt(name, TForm_Password::ModePassword, GetMessageText(249),
                                 GetMessageText(846));
        retryQuestion = name + GetMessageText(250);
        break;
    case AuthClass::Account:
        Form_Password->SetPrompt(name, TForm_Password::ModeUserAndPassword, GetMessageText(890),
                                 GetMessageText(846));
        retryQuestion = GetMessageText(906);
        break;
    default:
        Form_Password->SetPrompt(name, TForm_Password::ModeUserAndPassword, GetMessageText(921),
                                 GetMessageText(846));
        break;
    }

    for (;;) {
        if (Form_Password->ShowModal() != vcl::mrOk) return false;
        const std::string typedUser = Form_Password->Edit_UserName->GetText();
        if (authClass == AuthClass::Domain) {
            // The domain account reaches the unit in the code page, in fields of fixed size: a
            // name or password that does not fit, or that the code page cannot hold, is refused
            // here rather than cut.
            const std::string typed = Form_Password->Edit_Password->GetText();
            std::string why;
            if (!TypedTextForUnit(typedUser, kCodePageKind, kDomainUserNameSize - 1, &why)) {
                vcl::Application->MessageBox(Form_Password->Label_UserName->GetCaption() +
                                                 std::string(" ") + why,
                                             GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
                continue;
            }
            if (!TypedTextForUnit(typed, kCodePageKind, kDomainPasswordSize - 1, &why)) {
                vcl::Application->MessageBox(GetMessageText(129) + std::string(": ") + why,
                                             GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
                continue;
            }
            PutUtf8Field(DomainUserName, sizeof DomainUserName, typedUser);
            PutUtf8Field(DomainPassword, sizeof DomainPassword, typed);
            DomainAccountGiven = typedUser.empty() && typed.empty() ? 0 : 1;
            return true;
        }
        // The password is checked, kept and later sent in the unit's own encoding; one the unit
        // cannot hold, or longer than its field, is refused here rather than cut or changed.
        std::string why;
        const std::optional<std::string> unitPassword = TypedTextForUnit(
            Form_Password->Edit_Password->GetText(), GetTextEncoding(), kTypedPasswordMax, &why);
        if (!unitPassword) {
            vcl::Application->MessageBox(GetMessageText(129) + std::string(": ") + why,
                                         GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
            continue;
        }
        const std::string& typedPassword = *unitPassword;

        bool accepted = false;
        if (authClass == AuthClass::Account) {
            // The name goes in the unit's encoding too, checked as it will be stored.
            const std::optional<std::string> user =
                TypedTextForUnit(typedUser, GetTextEncoding(), sizeof UserName - 1, &why);
            if (!user) {
                vcl::Application->MessageBox(Form_Password->Label_UserName->GetCaption() +
                                                 std::string(" ") + why,
                                             GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
                continue;
            }
            LastResult = CheckAccount(*user, typedPassword);
            if (LastResult == 0) {
                PutField(Password, sizeof Password, typedPassword);
                PutField(UserName, sizeof UserName, *user);
                return true;
            }
        } else {
            // Units with bit 31 set are not asked: the typed password stands.
            if (IsFlag31Clear()) {
                LastResult = RunUnitCall(
                    GetName(),
                    [password = typedPassword, addresses = AddressCopy()] {
                        return NasApiCheckPassword(addresses.data(), password.c_str());
                    },
                    static_cast<int>(NAS_RESULT_TIMEOUT));
                accepted = LastResult == 0;
            } else {
                accepted = true;
            }
            if (accepted) {
                PutField(Password, sizeof Password, typedPassword);
                std::memset(UserName, 0, sizeof UserName);
                return true;
            }
        }
        // A unit that could not be reached did not refuse the password: the user is told what
        // happened instead of being asked to type it again.
        if (LastResult < 0) {
            vcl::Application->MessageBox(GetLastResultText(), GetMessageText(9),
                                         vcl::MB_OK | vcl::MB_ICONSTOP);
            return false;
        }
        if (ShowKindMessage(retryQuestion, kRetryKind) != krYes) return false;
    }
}
