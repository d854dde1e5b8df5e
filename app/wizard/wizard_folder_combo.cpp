// The owner-drawn folder combos of the destination and conversion-target pages, which show the
// whole text of a long highlighted item in the wizard's hint window, and the "Please wait" page
// shown while a container job reads its disc.
#include "fmwizard.h"

#include "fmmsg.h"
#include "msgbox.h"

#include "vcl/application.h"
#include "vcl/combo_box.h"

namespace {

// The message page's size for the wait text.
constexpr int kWaitWidth = 210;
constexpr int kWaitHeight = 140;

void FolderComboItem(TFmWizard& wizard, vcl::TWinControl* control, int index, vcl::TRect rect,
                     vcl::TOwnerDrawState state) {
    auto* combo = dynamic_cast<vcl::TComboBox*>(control);
    if (combo == nullptr || !wizard.HintWindow || !state.Contains(vcl::odSelected)) return;
    const std::string text = index >= 0 && index < combo->Items()->Count()
                                 ? combo->Items()->Strings(index)
                                 : std::string();
    const int width = combo->TextWidth(text);
    if (combo->GetDroppedDown() && !state.Contains(vcl::odComboBoxEdit) &&
        width > combo->GetWidth()) {
        // Each long item the user moves to shows at its own place in the open list.
        wizard.HintWindow->ActivateHint(
            {rect.Left, rect.Top, rect.Left + width + 5, rect.Top + combo->TextHeight() + 5}, text);
        wizard.HintShown = 1;
        return;
    }
    if (wizard.HintShown) wizard.HintWindow->ReleaseHandle();
    wizard.HintShown = 0;
}

} // namespace

void TFmWizard::ComboBox_ServerHdListDrawItem(vcl::TWinControl* Control, int Index, vcl::TRect Rect,
                                              vcl::TOwnerDrawState State) {
    FolderComboItem(*this, Control, Index, Rect, State);
}

void TFmWizard::ComboBox_ImageFolderDrawItem(vcl::TWinControl* Control, int Index, vcl::TRect Rect,
                                             vcl::TOwnerDrawState State) {
    FolderComboItem(*this, Control, Index, Rect, State);
}

TFmWizard::WaitPage::WaitPage(TFmWizard& wizard) : wizard_(wizard) {
    wizard_.SetEnabled(false);
    if (!FmMsg && vcl::Application) FmMsg = vcl::MakeForm<TFmMsg>(vcl::Application);
    if (FmMsg)
        FmMsg->ShowMessagePage("Quorvik", GetMessageText(888), kWaitHeight, kWaitWidth,
                               TFmMsg::IconWait, false, false, false, false);
}

TFmWizard::WaitPage::~WaitPage() {
    if (FmMsg) FmMsg->Close();
    wizard_.SetEnabled(true);
}
