// The CD-server password query: kept passwords first, then the password dialog with a retry
// question after each refusal.
#include "cdh_password.h"

#include "cdh_net.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "nasservertext.h"
#include "password.h"

#include <algorithm>
#include <cstddef>

namespace {

// The kind dialog that asks whether to try again: the question as the whole text, caption
// "Error", buttons Yes and No.
constexpr int kRetryKind = 46;
// The longest password a check takes, in bytes (a kept password keeps a terminator).
constexpr std::size_t kTypedPasswordMax = kCdhPwTextWidth - 1;

enum class Check { Accepted, Refused, Failed };

Check SendCheck(CDH_NET_CLASS& facade, TCdhSvr* server, const std::string& text, int kind,
                int argument) {
    switch (facade.SendPasswordCommand(server, text, kind, argument)) {
    case 1:
        return Check::Accepted;
    case 0:
        return Check::Refused;
    default:
        return Check::Failed;
    }
}

// The step a check leads to where a refusal asks for the password; a refusal sets refusedMark
// when there is one.
CdhPasswordStep StepOf(Check check, bool* refusedMark = nullptr) {
    switch (check) {
    case Check::Accepted:
        return CdhPasswordStep::Accepted;
    case Check::Refused:
        if (refusedMark != nullptr) *refusedMark = true;
        return CdhPasswordStep::Ask;
    case Check::Failed:
        break;
    }
    return CdhPasswordStep::Failed;
}

// Whether the group list loaded for the server holds a whole entry at index.
bool GroupLoaded(const TCdhSvr& server, int index) {
    const std::size_t loaded =
        std::min(server.GroupEntryBytes, server.GroupEntries.size()) / kCdhGroupSize;
    return index >= 0 && static_cast<std::size_t>(index) < loaded;
}

} // namespace

CdhPasswordStep TryKeptServerPasswords(CDH_NET_CLASS& facade, TCdhSvr* server, int kind,
                                       int groupId, CdhRefusedMarks& marks) {
    if (server == nullptr) return CdhPasswordStep::Failed;
    const std::string admin = facade.GetPasswordText(server);
    switch (kind) {
    case kCdhAskAdministrator:
        return StepOf(SendCheck(facade, server, admin, kCdhAskAdministrator, 0),
                      &marks.administrator);

    case kCdhAskMirror: {
        const Check asAdmin = SendCheck(facade, server, admin, kCdhAskAdministrator, 0);
        if (asAdmin == Check::Failed) return CdhPasswordStep::Failed;
        if (asAdmin == Check::Accepted && facade.HasFeature96Bit0(server)) {
            // The administrator password opens the mirror too.
            facade.SetSecondPasswordText(server, admin);
            return CdhPasswordStep::Accepted;
        }
        if (asAdmin == Check::Refused) marks.administrator = true;
        const std::string mirror = facade.GetSecondPasswordText(server);
        const Check asMirror = SendCheck(facade, server, mirror, kCdhAskMirror, 0);
        if (asMirror == Check::Accepted) {
            // The mirror password alone is enough only where the server says so.
            return asAdmin == Check::Accepted || facade.HasFeature99Bit5(server)
                       ? CdhPasswordStep::Accepted
                       : CdhPasswordStep::Ask;
        }
        return StepOf(asMirror, &marks.mirror);
    }

    case kCdhAskShareFolder: {
        const Check asAdmin = SendCheck(facade, server, admin, kCdhAskAdministrator, 0);
        if (asAdmin == Check::Failed) return CdhPasswordStep::Failed;
        if (asAdmin == Check::Refused) {
            marks.administrator = true;
            return CdhPasswordStep::Ask;
        }
        if (facade.HasFeature96Bit0(server)) {
            facade.SetThirdPasswordText(server, admin);
            return CdhPasswordStep::Accepted;
        }
        // An accepted share-folder check keeps its text as the third password (facade).
        return StepOf(SendCheck(facade, server, admin, kCdhAskShareFolder, groupId), &marks.share);
    }

    default:
        return CdhPasswordStep::Failed;
    }
}

CdhPasswordStep CheckTypedServerPassword(CDH_NET_CLASS& facade, TCdhSvr* server, int kind,
                                         int groupId, const CdhRefusedMarks& marks,
                                         const std::string& typed) {
    if (server == nullptr) return CdhPasswordStep::Failed;
    switch (kind) {
    case kCdhAskAdministrator:
        return StepOf(SendCheck(facade, server, typed, kCdhAskAdministrator, 0));

    case kCdhAskMirror:
    case kCdhAskShareFolder:
        if (marks.administrator) {
            switch (SendCheck(facade, server, typed, kCdhAskAdministrator, 0)) {
            case Check::Accepted:
                if (kind == kCdhAskMirror)
                    facade.SetSecondPasswordText(server, typed);
                else
                    facade.SetThirdPasswordText(server, typed);
                return CdhPasswordStep::Accepted;
            case Check::Refused:
                break;
            case Check::Failed:
                return CdhPasswordStep::Failed;
            }
        }
        if (kind == kCdhAskMirror ? marks.mirror : marks.share) {
            // An accepted share-folder check keeps its text as the third password (facade).
            switch (SendCheck(facade, server, typed, kind, kind == kCdhAskMirror ? 0 : groupId)) {
            case Check::Accepted:
                return CdhPasswordStep::Accepted;
            case Check::Refused:
                break;
            case Check::Failed:
                return CdhPasswordStep::Failed;
            }
        }
        return CdhPasswordStep::Ask;

    default:
        return CdhPasswordStep::Failed;
    }
}

bool TForm_Password::QueryServerPassword(TCdhSvr* server, int kind, int groupIndex) {
    CDH_NET_CLASS& facade = CdhNetClass();
    if (server == nullptr || kind < kCdhAskAdministrator || kind > kCdhAskShareFolder) return false;
    // A share folder that is not in the loaded group list has no id to check against.
    if (kind == kCdhAskShareFolder && !GroupLoaded(*server, groupIndex)) return false;
    const int groupId = kind == kCdhAskShareFolder ? facade.GetGroupId(server, groupIndex) : 0;

    CdhRefusedMarks marks;
    switch (TryKeptServerPasswords(facade, server, kind, groupId, marks)) {
    case CdhPasswordStep::Accepted:
        return true;
    case CdhPasswordStep::Failed:
        return false;
    case CdhPasswordStep::Ask:
        break;
    }

    std::string caption = facade.GetServerName(server);
    int promptId = 249;
    int retryId = 250;
    if (kind == kCdhAskMirror) {
        promptId = 251;
        retryId = 509;
    } else if (kind == kCdhAskShareFolder) {
        caption += GetMessageText(252);
        caption += facade.GetGroupName(server, groupIndex);
        promptId = 253;
        retryId = 254;
    }
    // Only the texts change: the controls stay as the dialog's last use left them.
    SetCaption(caption);
    Label_Prompt->SetCaption(GetMessageText(promptId));
    const std::string retryQuestion = caption + GetMessageText(retryId);

    for (;;) {
        if (ShowModal() != vcl::mrOk) return false;
        const std::string typed(CutUtf8(Edit_Password->GetText(), kTypedPasswordMax));
        switch (CheckTypedServerPassword(facade, server, kind, groupId, marks, typed)) {
        case CdhPasswordStep::Accepted:
            return true;
        case CdhPasswordStep::Failed:
            return false;
        case CdhPasswordStep::Ask:
            break;
        }
        if (ShowKindMessage(retryQuestion, kRetryKind) != krYes) return false;
    }
}
