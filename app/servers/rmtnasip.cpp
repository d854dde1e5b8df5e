#include "rmtnasip.h"

#include "msgbox.h"
#include "rmtnasip_mask.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/dragdrop.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>

TForm_AddNASIP* Form_AddNASIP = nullptr;

namespace {

std::optional<std::string> ClipboardText() {
    vcl::TDragData data = vcl::ClipboardData();
    if (!data.hasText) return std::nullopt;
    return data.text;
}

// The character a shortcut types in the classic edit: the toolkit handles these keys itself
// unless the key-down stops them. 0 for keys that are not the box's.
char32_t EditingChar(vcl::TKey key, vcl::TShiftState shift) {
    const bool ctrl = shift.Contains(vcl::ssCtrl);
    const bool shiftHeld = shift.Contains(vcl::ssShift);
    if (key == vcl::VK_BACK) return ipbox::kBackspace;
    if (ctrl && key == 'V') return ipbox::kCtrlV;
    if (ctrl && key == 'X') return ipbox::kCtrlX;
    if (shiftHeld && key == vcl::VK_INSERT) return ipbox::kCtrlV;
    if (shiftHeld && key == vcl::VK_DELETE) return ipbox::kCtrlX;
    return 0;
}

} // namespace

TForm_AddNASIP::~TForm_AddNASIP() {
    if (Form_AddNASIP == this) Form_AddNASIP = nullptr;
}

void TForm_AddNASIP::FormCreate(vcl::TObject*) {
    SetCaption(GetMessageText(823));
    Label1->SetCaption(GetMessageText(824));
    AddOK->SetCaption(GetMessageText(511));
    AddCancel->SetCaption(GetMessageText(512));
    RBtn_OneIP->SetCaption(GetMessageText(880));
    RBtn_GroupIP->SetCaption(GetMessageText(881));
    Label_From->SetCaption(GetMessageText(882));
    Label_To->SetCaption(GetMessageText(883));
    address_ = 0;
    ResetInput();
    for (vcl::TControl* range : std::initializer_list<vcl::TControl*>{
             RBtn_OneIP, RBtn_GroupIP, Label_From, Label_To, MaskEdit_IPG01, MaskEdit_IPG02})
        range->SetVisible(false);
}

void TForm_AddNASIP::NASIpOnShow(vcl::TObject*) {
    MaskEdit_IP_Single->SetEnabled(true);
    MaskEdit_IP_Single->SetColor(vcl::clWindow);
    MaskEdit_IP_Single->SetFocus();
    MaskEdit_IP_Single->SetSelStart(0);
    for (vcl::TEdit* range : {MaskEdit_IPG01, MaskEdit_IPG02}) {
        range->SetEnabled(false);
        range->SetColor(vcl::clBtnFace);
    }
}

void TForm_AddNASIP::ResetInput() {
    LayOut(MaskEdit_IP_Single, ipbox::EmptyText(), 0);
    accepted_ = false;
}

bool TForm_AddNASIP::GetAddress(std::uint32_t& address) const {
    address = address_;
    return accepted_;
}

void TForm_AddNASIP::btAddOK(vcl::TObject*) {
    const std::optional<std::uint32_t> address =
        ipbox::ParseAddressText(MaskEdit_IP_Single->GetText());
    if (!address) {
        vcl::Application->MessageBox(GetMessageText(231), GetMessageText(9),
                                     vcl::MB_OK | vcl::MB_ICONSTOP);
        return;
    }
    address_ = *address;
    accepted_ = true;
    SetModalResult(vcl::mrOk);
}

void TForm_AddNASIP::btAddCancel(vcl::TObject*) {
    Close();
}

void TForm_AddNASIP::MaskEdit_IP_KeyPress(vcl::TObject* Sender, char32_t& Key) {
    auto* box = dynamic_cast<vcl::TEdit*>(Sender);
    if (!box) box = MaskEdit_IP_Single;
    if (passKeyPress_) {
        // The character of a shortcut that the key-down let through to the toolkit.
        passKeyPress_ = false;
        if (Key != '.' && !(Key >= '0' && Key <= '9')) return;
    }
    if (Key == ipbox::kEnter) {
        if (ipbox::ParseAddressText(box->GetText())) AddOK->SetFocus();
    } else if (Key == ipbox::kEscape) {
        Close();
    }

    ipbox::BoxState state{box->GetText(), box->GetSelStart()};
    switch (ipbox::TypeKey(state, Key, ClipboardText)) {
    case ipbox::KeyResult::Applied:
        LayOut(box, state.text, state.caret);
        Key = 0;
        break;
    case ipbox::KeyResult::Refused:
        Key = 0;
        break;
    case ipbox::KeyResult::Passed:
        break;
    }
}

void TForm_AddNASIP::MaskEdit_IP_KeyDown(vcl::TObject* Sender, vcl::TKey& Key,
                                         vcl::TShiftState Shift) {
    passKeyPress_ = false;
    auto* box = dynamic_cast<vcl::TEdit*>(Sender);
    if (!box) box = MaskEdit_IP_Single;
    if (Key == vcl::VK_DELETE && !Shift.Contains(vcl::ssShift)) {
        ipbox::BoxState state{box->GetText(), box->GetSelStart()};
        if (ipbox::DeleteKey(state) == ipbox::KeyResult::Applied)
            LayOut(box, state.text, state.caret);
        Key = 0;
        return;
    }
    char32_t typed = EditingChar(Key, Shift);
    if (typed == 0) return;
    MaskEdit_IP_KeyPress(Sender, typed);
    // Handled here (or refused). A cut that the filter lets through goes on to the toolkit, which
    // may raise a key press for it as well: that one is not filtered again. The change handler
    // lays the rest out again.
    if (typed == 0)
        Key = 0;
    else
        passKeyPress_ = true;
}

void TForm_AddNASIP::MaskEdit_IP_Change(vcl::TObject* Sender) {
    if (laying_) return;
    auto* box = dynamic_cast<vcl::TEdit*>(Sender);
    if (!box) box = MaskEdit_IP_Single;
    const std::string text = box->GetText();
    const std::string laid = ipbox::NormalizeBoxText(text, boxText_);
    if (laid == text) {
        boxText_ = laid;
        return;
    }
    LayOut(box, laid, std::min(box->GetSelStart(), ipbox::kTextLength));
}

void TForm_AddNASIP::LayOut(vcl::TEdit* box, const std::string& text, int caret) {
    laying_ = true;
    box->SetText(text);
    laying_ = false;
    boxText_ = text;
    box->SetSelStart(caret);
}
