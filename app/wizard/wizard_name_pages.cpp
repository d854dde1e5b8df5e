// The volume names page (page 4) and the share names page (page 5): each destination's image
// label and share settings, checked and cut to the fields the tasks carry.
#include "fmwizard.h"

#include "kinddialog.h"
#include "msgbox.h"
#include "nasserver.h"
#include "textcodec.h"
#include "unit_text.h"

#include <string_view>

namespace {

constexpr std::string_view kForbidden = "*\"\\/[]:=,$#<>?|";
// The request field a label travels in (the share name's own field is shorter).
constexpr std::size_t kMirrorTextField = sizeof(NasMirrorInfo::imageName);

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

} // namespace

bool TFmWizard::CleanName(std::string& text, bool checkLead) {
    std::string t = Trim(text);
    while (!t.empty() && t.back() == '.') {
        t.pop_back();
        t = Trim(t);
    }
    if (t.empty() || Utf8Length(t) > kMaxVolumeLabelChars) return false;
    if (checkLead && (t.front() == ' ' || t.front() == '.')) return false;
    if (t.find_first_of(kForbidden) != std::string::npos) return false;
    text = t;
    return true;
}

bool TFmWizard::UnitTakesNames(const WizardJobEntry& entry, const std::string& label,
                               const std::string& share) {
    // A unit no longer listed is left to the finisher, which stops with its own message.
    const auto unit = Target(entry);
    if (unit == nullptr) return true;
    const int kind = unit->GetTextEncoding();
    for (const std::string* text : {&label, &share}) {
        if (CharactersUnitLacks(*text, kind).empty()) continue;
        ErrorBox(*text + " (" + unit->GetName() + "): " + UnitLacksText(*text, kind));
        return false;
    }
    return true;
}

std::string TFmWizard::NameForRow(const WizardJobEntry& entry, const std::string& text,
                                  std::size_t fieldBytes) const {
    // Cut in the unit's own encoding, where the field's bytes are counted; a unit no longer
    // listed keeps the text as UTF-8 would.
    const auto unit = Target(entry);
    const int kind = unit ? unit->GetTextEncoding() : 1;
    return std::string(CutForUnit(text, kind, fieldBytes - 1));
}

WizardJobEntry* TFmWizard::SelectedEntry(vcl::TListView* list) const {
    if (list->SelCount() != 1) return nullptr;
    vcl::TListItem* row = list->GetSelected();
    return row ? static_cast<WizardJobEntry*>(row->GetData()) : nullptr;
}

int TFmWizard::VolumeNamePage(int mode) {
    const int job = WzdInfo.Job;
    if (mode == 0) {
        ListView_VolumeName->Items()->BeginUpdate();
        ListView_VolumeName->Items()->Clear();
        const std::string discLabel = SourceDiscLabel();
        for (int i = 0; i < ListView_MethodResult->Items()->Count(); ++i) {
            vcl::TListItem* source = ListView_MethodResult->Items()->Item(i);
            auto* entry = static_cast<WizardJobEntry*>(source->GetData());
            if (entry == nullptr) continue;
            if (entry->VolumeLabel.empty() && IsMirrorJob(job)) {
                entry->DefaultLabel = discLabel;
                entry->VolumeLabel = discLabel;
                entry->ShareName = NameForRow(*entry, discLabel, kShareNameField);
                entry->SharePassword.clear();
                entry->VolumeLabelMode = 0;
                entry->ShareMode = 1;
            } else if (entry->VolumeLabel.empty() && job == kJobBuildImage) {
                entry->DefaultLabel.clear();
                entry->ShareName.clear();
                entry->SharePassword.clear();
                entry->VolumeLabelMode = 1;
                entry->ShareMode = 1;
            }
            vcl::TListItem* row = ListView_VolumeName->Items()->Add();
            row->SetCaption(source->GetCaption());
            row->SetData(entry);
            row->SubItems()->Add(source->SubItems()->Count() > 0 ? source->SubItems()->Strings(0)
                                                                 : "");
            row->SubItems()->Add(entry->VolumeLabel);
            row->SubItems()->Add(entry->ShareName);
            row->SubItems()->Add("");
        }
        ListView_VolumeName->Items()->EndUpdate();
        if (ListView_VolumeName->Items()->Count() == 0) return 1;
        if (ListView_VolumeName->GetSelected() == nullptr)
            ListView_VolumeName->Items()->Item(0)->SetSelected(true);
        WizardJobEntry* entry = SelectedEntry(ListView_VolumeName);
        if (IsMirrorJob(job)) {
            for (vcl::TRadioButton* r : {RadioButton_DefaultVolume, RadioButton_UserDefineVolume}) {
                r->SetVisible(true);
                r->SetEnabled(true);
            }
            Edit_UserDefineVolume->SetText(entry ? entry->VolumeLabel : "");
            if (entry && entry->VolumeLabelMode == 1) {
                RadioButton_UserDefineVolume->SetChecked(true);
                RadioButton_UserDefineVolumeClick(nullptr);
            } else {
                RadioButton_DefaultVolume->SetChecked(true);
                RadioButton_DefaultVolumeClick(nullptr);
            }
        } else {
            for (vcl::TRadioButton* r : {RadioButton_DefaultVolume, RadioButton_UserDefineVolume}) {
                r->SetEnabled(false);
                r->SetVisible(false);
            }
            Edit_UserDefineVolume->SetText(entry ? entry->VolumeLabel : "");
            RadioButton_UserDefineVolumeClick(nullptr);
        }
        Edit_ShareName->SetText("");
        Edit_SharePass->SetText("");
        Edit_SharePassConfirm->SetText("");
        CheckBox_ShareEnable->SetChecked(true);
        CheckBox_ShareEnableClick(nullptr);
        RadioButton_DefaultShareNameClick(nullptr);
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (WizardJobEntry* entry = SelectedEntry(ListView_VolumeName);
        entry && Edit_UserDefineVolume->GetText() != entry->VolumeLabel) {
        if (vcl::MessageBox(GetMessageText(474), GetMessageText(475),
                            vcl::MB_YESNO | vcl::MB_ICONQUESTION) == vcl::IDYES) {
            bbUpdateVolumeClick(nullptr);
            if (Edit_UserDefineVolume->GetText() != entry->VolumeLabel) return 1;
        }
    }
    if (ListView_VolumeName->Items()->Count() == 0 || WzdInfo.Jobs.empty()) {
        ErrorBox(GetMessageText(478));
        return 1;
    }
    for (const auto& entry : WzdInfo.Jobs) {
        entry->VolumeLabelMode = 1;
        if (entry->VolumeLabel.empty()) {
            vcl::MessageBox(GetMessageText(973), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
            return 1;
        }
        if (Utf8Length(entry->VolumeLabel) > kMaxVolumeLabelChars) {
            ErrorBox(JoinStrings2(GetMessageText(476), GetMessageText(477)));
            return 1;
        }
        if (!UnitTakesNames(*entry, entry->VolumeLabel, entry->ShareName)) return 1;
    }
    return 0;
}

void TFmWizard::RadioButton_DefaultVolumeClick(vcl::TObject*) {
    RadioButton_DefaultVolume->SetChecked(true);
    Edit_UserDefineVolume->SetEnabled(false);
    Edit_UserDefineVolume->SetColor(vcl::clBtnFace);
    Edit_UserDefineVolume->SetText(IsMirrorJob(WzdInfo.Job) ? SourceDiscLabel() : "");
    if (CheckBox_ShareEnable->GetChecked() && CheckBox_ShareEnable->GetEnabled() &&
        RadioButton_DefaultShareName->GetChecked())
        Edit_ShareName->SetText(Edit_UserDefineVolume->GetText());
    WzdInfo.VolumeNameMode = 0;
}

void TFmWizard::RadioButton_UserDefineVolumeClick(vcl::TObject*) {
    RadioButton_UserDefineVolume->SetChecked(true);
    Edit_UserDefineVolume->SetEnabled(true);
    Edit_UserDefineVolume->SetColor(vcl::clWindow);
    if (CheckBox_ShareEnable->GetChecked() && CheckBox_ShareEnable->GetEnabled() &&
        RadioButton_DefaultShareName->GetChecked())
        Edit_ShareName->SetText(Edit_UserDefineVolume->GetText());
    WzdInfo.VolumeNameMode = 1;
    if (Edit_UserDefineVolume->CanFocus()) Edit_UserDefineVolume->SetFocus();
}

void TFmWizard::Edit_UserDefineVolumeChange(vcl::TObject*) {
    if (RadioButton_DefaultShareName->GetChecked() && CheckBox_ShareEnable->GetChecked())
        Edit_ShareName->SetText(Edit_UserDefineVolume->GetText());
}

void TFmWizard::ListView_VolumeNameClick(vcl::TObject*) {
    WizardJobEntry* entry = SelectedEntry(ListView_VolumeName);
    if (entry == nullptr) return;
    const int job = WzdInfo.Job;
    if (IsMirrorJob(job)) {
        if (entry->VolumeLabelMode == 0) {
            RadioButton_DefaultVolumeClick(nullptr);
        } else if (entry->VolumeLabelMode == 1) {
            RadioButton_UserDefineVolumeClick(nullptr);
            Edit_UserDefineVolume->SetText(entry->VolumeLabel);
        } else {
            return;
        }
    } else if (job == kJobBuildImage) {
        RadioButton_UserDefineVolumeClick(nullptr);
        Edit_UserDefineVolume->SetText(entry->VolumeLabel);
    } else {
        return;
    }
    CheckBox_ShareEnable->SetChecked(entry->ShareMode != 0);
    if (entry->ShareMode == 1) RadioButton_DefaultShareName->SetChecked(true);
    if (entry->ShareMode == 2) {
        RadioButton_UserDefineShareName->SetChecked(true);
        Edit_ShareName->SetText(entry->ShareName);
    }
    if (entry->ShareMode == 1 || entry->ShareMode == 2) {
        Edit_SharePass->SetText(entry->SharePassword);
        Edit_SharePassConfirm->SetText(entry->SharePassword);
    }
}

void TFmWizard::bbUpdateVolumeClick(vcl::TObject*) {
    WizardJobEntry* entry = SelectedEntry(ListView_VolumeName);
    if (entry == nullptr) return;
    vcl::TListItem* row = ListView_VolumeName->GetSelected();
    const bool byDefault = RadioButton_DefaultVolume->GetChecked();
    std::string label = byDefault ? SourceDiscLabel() : Edit_UserDefineVolume->GetText();
    if (Edit_UserDefineVolume->GetVisible() && Edit_UserDefineVolume->CanFocus())
        Edit_UserDefineVolume->SetFocus();
    if (!CleanName(label, true)) {
        ErrorBox(GetMessageText(444));
        return;
    }
    std::string share;
    if (CheckBox_ShareEnable->GetChecked()) {
        share = Edit_ShareName->GetText();
        if (!CleanName(share, true)) {
            ErrorBox(GetMessageText(445));
            return;
        }
    }
    // A name the row's unit cannot hold is refused here, naming the characters; a long one is
    // cut where the unit's field ends, at a character of the unit's encoding.
    if (!UnitTakesNames(*entry, label, share)) return;
    label = NameForRow(*entry, label, kMirrorTextField);
    share = NameForRow(*entry, share, kShareNameField);
    row->SubItems()->SetStrings(1, label);
    entry->VolumeLabel = label;
    entry->VolumeLabelMode = byDefault ? 0 : 1;
    Edit_UserDefineVolume->SetText(label);

    if (CheckBox_ShareEnable->GetChecked()) {
        row->SubItems()->SetStrings(2, share);
        entry->ShareName = share;
        entry->ShareMode = RadioButton_DefaultShareName->GetChecked() ? 1 : 2;
        const std::string pass = Edit_SharePass->GetText();
        if (!SharePasswordAccepted(pass)) return;
        entry->SharePassword = pass;
        row->SubItems()->SetStrings(3, pass.empty() ? "" : "****");
    } else {
        row->SubItems()->SetStrings(2, "");
        entry->ShareName.clear();
        entry->ShareMode = 0;
        row->SubItems()->SetStrings(3, "");
        entry->SharePassword.clear();
    }
}

void TFmWizard::CheckBox_ShareEnableClick(vcl::TObject*) {
    const bool on = CheckBox_ShareEnable->GetChecked();
    Label_ShareNameLabel->SetEnabled(on);
    RadioButton_DefaultShareName->SetEnabled(on);
    RadioButton_UserDefineShareName->SetEnabled(on);
    if (on) {
        RadioButton_DefaultShareName->SetChecked(true);
        RadioButton_DefaultShareNameClick(nullptr);
    } else {
        RadioButton_DefaultShareName->SetChecked(false);
        RadioButton_UserDefineShareName->SetChecked(false);
    }
    for (vcl::TEdit* edit : {Edit_SharePass, Edit_SharePassConfirm}) {
        edit->SetEnabled(on);
        edit->SetColor(on ? vcl::clWindow : vcl::clBtnFace);
        if (!on) edit->SetText("");
    }
    if (!on) {
        Edit_ShareName->SetText("");
        Edit_ShareName->SetEnabled(false);
        Edit_ShareName->SetColor(vcl::clBtnFace);
    }
    WzdInfo.ShareNameMode = on ? 1 : 0;
}

void TFmWizard::RadioButton_DefaultShareNameClick(vcl::TObject*) {
    RadioButton_DefaultShareName->SetChecked(true);
    Edit_ShareName->SetEnabled(false);
    Edit_ShareName->SetColor(vcl::clBtnFace);
    Edit_ShareName->SetText(Edit_UserDefineVolume->GetText());
    WzdInfo.ShareNameMode = 1;
}

void TFmWizard::RadioButton_UserDefineShareNameClick(vcl::TObject*) {
    RadioButton_UserDefineShareName->SetChecked(true);
    Edit_ShareName->SetEnabled(true);
    Edit_ShareName->SetColor(vcl::clWindow);
    WzdInfo.ShareNameMode = 2;
}

void TFmWizard::ListView_ShareNameClick(vcl::TObject*) {
    WizardJobEntry* entry = SelectedEntry(ListView_ShareName);
    if (entry == nullptr) return;
    CheckBox_ShareEnable->SetChecked(entry->ShareMode != 0);
    RadioButton_DefaultShareName->SetChecked(entry->ShareMode == 1);
    RadioButton_UserDefineShareName->SetChecked(entry->ShareMode == 2);
    Edit_ShareName->SetText(entry->ShareName);
    Edit_SharePass->SetText(entry->SharePassword);
    Edit_SharePassConfirm->SetText(entry->SharePassword);
}

void TFmWizard::bbUpdateShareClick(vcl::TObject*) {
    WizardJobEntry* entry = SelectedEntry(ListView_ShareName);
    if (entry == nullptr) return;
    vcl::TListItem* row = ListView_ShareName->GetSelected();
    const std::string pass = Edit_SharePass->GetText();
    if (pass != Edit_SharePassConfirm->GetText()) {
        vcl::MessageBox(GetMessageText(449), GetWizardJobText(WzdInfo.Job, 0),
                        vcl::MB_OK | vcl::MB_ICONSTOP);
        return;
    }
    if (WzdInfo.ShareNameMode != 0 && !UnitTakesNames(*entry, "", Edit_ShareName->GetText()))
        return;
    entry->ShareMode = WzdInfo.ShareNameMode;
    entry->ShareName = entry->ShareMode == 0
                           ? std::string(GetMessageText(432))
                           : NameForRow(*entry, Edit_ShareName->GetText(), kShareNameField);
    if (entry->ShareMode != 0)
        entry->SharePassword = std::string(CutUtf8(pass, kSharePasswordField - 1));
    row->SubItems()->SetStrings(1, entry->ShareName);
    row->SubItems()->SetStrings(2, entry->ShareMode != 0 && !entry->SharePassword.empty() ? "****"
                                                                                          : "");
}

bool TFmWizard::SharePasswordAccepted(const std::string& pass) {
    if (pass != Edit_SharePassConfirm->GetText()) {
        ErrorBox(JoinStrings2(GetMessageText(446), GetMessageText(447)));
        return false;
    }
    if (Utf8Length(pass) > kMaxSharePasswordChars || pass.size() >= kSharePasswordField) {
        ErrorBox(JoinStrings2(GetMessageText(448), GetMessageText(447)));
        return false;
    }
    return true;
}

void TFmWizard::BitBtn_UpdateAllClick(vcl::TObject*) {
    vcl::TListItems* rows = ListView_VolumeName->Items();
    if (rows->Count() == 0) return;
    const bool byDefault = RadioButton_DefaultVolume->GetChecked();
    std::string label = byDefault ? SourceDiscLabel() : Edit_UserDefineVolume->GetText();
    // Every text is checked before any row changes: a refusal leaves all rows as they were.
    if (!CleanName(label, false)) {
        ErrorBox(GetMessageText(444));
        return;
    }
    const bool sharing = CheckBox_ShareEnable->GetChecked();
    std::string share, pass;
    if (sharing) {
        share = Edit_ShareName->GetText();
        if (!CleanName(share, false)) {
            ErrorBox(GetMessageText(445));
            return;
        }
        pass = Edit_SharePass->GetText();
        if (!SharePasswordAccepted(pass)) return;
    }
    for (int i = 0; i < rows->Count(); ++i)
        if (auto* entry = static_cast<WizardJobEntry*>(rows->Item(i)->GetData()))
            if (!UnitTakesNames(*entry, label, share)) return;
    for (int i = 0; i < rows->Count(); ++i) {
        vcl::TListItem* row = rows->Item(i);
        auto* entry = static_cast<WizardJobEntry*>(row->GetData());
        if (entry == nullptr) continue;
        // Each row's unit gets the texts cut for its own encoding.
        entry->VolumeLabel = NameForRow(*entry, label, kMirrorTextField);
        entry->VolumeLabelMode = byDefault ? 0 : 1;
        entry->ShareName = NameForRow(*entry, share, kShareNameField);
        entry->ShareMode = !sharing ? 0 : RadioButton_DefaultShareName->GetChecked() ? 1 : 2;
        entry->SharePassword = pass;
        row->SubItems()->SetStrings(1, entry->VolumeLabel);
        row->SubItems()->SetStrings(2, entry->ShareName);
        row->SubItems()->SetStrings(3, pass.empty() ? "" : "****");
    }
    if (WizardJobEntry* shown = SelectedEntry(ListView_VolumeName))
        Edit_UserDefineVolume->SetText(shown->VolumeLabel);
}
