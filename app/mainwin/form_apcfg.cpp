#include "form_apcfg.h"

#include "brandinfo.h"
#include "msgbox.h"

#include "paths/paths.h"
#include "vcl/application.h"

#include <algorithm>
#include <cctype>

TForm_ApCfg* Form_ApCfg = nullptr;

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A file name the log can have: not empty, no separators or control characters, not "." or
// "..", at most 255 bytes.
bool IsUsableFileName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
    return std::none_of(name.begin(), name.end(), [](unsigned char c) {
        return c < 0x20 || c == 0x7F || c == '/' || c == '\\';
    });
}

} // namespace

TForm_ApCfg::~TForm_ApCfg() {
    if (Form_ApCfg == this) Form_ApCfg = nullptr;
}

void TForm_ApCfg::Centre() {
    vcl::TForm* main =
        centreOver_ ? centreOver_ : (vcl::Application ? vcl::Application->MainForm() : nullptr);
    if (!main) return;
    SetTop(main->GetTop() + (main->GetHeight() - GetHeight()) / 2);
    SetLeft(main->GetLeft() + (main->GetWidth() - GetWidth()) / 2);
}

void TForm_ApCfg::LoadControls(bool loadExplorer) {
    if (!settings_) return;
    if (loadExplorer) CheckBox_LoadExplorer->SetChecked(settings_->LoadExplorer == 1);
    CheckBox_LoadWizard->SetChecked(settings_->LoadWizard == 1);
    CheckBox_LoadContainer->SetChecked(settings_->LoadContainer == 1);
    CheckBox_AutoRefresh->SetChecked(settings_->RefreshEnable == 1);
    CSpinEdit_RefreshTime->SetValue(settings_->RefreshInterval);
    CheckBox_ValidateLogEnable->SetChecked(settings_->ValidateLogEnable == 1);
    RadioButton_OverWrite->SetChecked(settings_->OverWriteValidateLog != 0);
    RadioButton_Append->SetChecked(!RadioButton_OverWrite->GetChecked());
    Edit_ValidateLog->SetText(settings_->ValidateLog);
    CheckBox_AutoValidate->SetChecked(settings_->AutoValidate == 1);
}

void TForm_ApCfg::FormCreate(vcl::TObject*) {
    Centre();
    LoadControls(false);
    const auto branded = [](int id) {
        return ReplaceFirst(kProductWord, BrandInfo.APPNAME, GetMessageText(id));
    };
    SetCaption(GetMessageText(556));
    Label1->SetCaption(GetMessageText(575));
    Label2->SetCaption(GetMessageText(576));
    Button_Ok->SetCaption(GetMessageText(577));
    Button_Cancel->SetCaption(GetMessageText(578));
    Button_RefreshTimeDefault->SetCaption(GetMessageText(579));
    CheckBox_LoadWizard->SetCaption(branded(580));
    CheckBox_LoadWizard->SetHint(GetMessageText(581));
    CheckBox_LoadContainer->SetCaption(branded(582));
    CheckBox_LoadContainer->SetHint(branded(582));
    CheckBox_LoadExplorer->SetCaption(branded(583));
    CheckBox_LoadExplorer->SetHint(branded(583));
    CheckBox_ValidateLogEnable->SetCaption(GetMessageText(584));
    CheckBox_ValidateLogEnable->SetHint(GetMessageText(584));
    CheckBox_AutoValidate->SetCaption(GetMessageText(585));
    CheckBox_AutoValidate->SetHint(GetMessageText(585));
    CheckBox_AutoRefresh->SetCaption(GetMessageText(807));
    Button_DefaultValidateLog->SetCaption(GetMessageText(586));
    Button_SaveAs->SetCaption(GetMessageText(587));
    RadioButton_Append->SetCaption(GetMessageText(588));
    RadioButton_OverWrite->SetCaption(GetMessageText(589));
}

void TForm_ApCfg::FormShow(vcl::TObject*) {
    Centre();
    LoadControls(true);
    UpdateControls();
    if (Button_Cancel->CanFocus()) Button_Cancel->SetFocus();
}

void TForm_ApCfg::UpdateControls() {
    const bool refresh = CheckBox_AutoRefresh->GetChecked();
    Button_RefreshTimeDefault->SetEnabled(refresh);
    CSpinEdit_RefreshTime->SetEnabled(refresh);
    CSpinEdit_RefreshTime->SetColor(refresh ? vcl::clWindow : vcl::clGrayText);
    UpdateValidateControls();
}

void TForm_ApCfg::UpdateValidateControls() {
    const bool log = CheckBox_ValidateLogEnable->GetChecked();
    for (vcl::TControl* control : {static_cast<vcl::TControl*>(RadioButton_Append),
                                   static_cast<vcl::TControl*>(RadioButton_OverWrite),
                                   static_cast<vcl::TControl*>(Button_SaveAs),
                                   static_cast<vcl::TControl*>(Button_DefaultValidateLog)})
        control->SetEnabled(log);
}

void TForm_ApCfg::CheckBox_AutoRefreshClick(vcl::TObject*) {
    UpdateControls();
}

void TForm_ApCfg::CheckBox_ValidateLogEnableClick(vcl::TObject*) {
    UpdateValidateControls();
}

void TForm_ApCfg::Button_RefreshTimeDefaultClick(vcl::TObject*) {
    CSpinEdit_RefreshTime->SetValue(10);
}

void TForm_ApCfg::RadioButton_AppendClick(vcl::TObject*) {
    if (!RadioButton_Append->GetChecked()) RadioButton_Append->SetChecked(true);
    RadioButton_OverWrite->SetChecked(false);
}

void TForm_ApCfg::RadioButton_OverWriteClick(vcl::TObject*) {
    if (!RadioButton_OverWrite->GetChecked()) RadioButton_OverWrite->SetChecked(true);
    RadioButton_Append->SetChecked(false);
}

void TForm_ApCfg::Button_DefaultValidateLogClick(vcl::TObject*) {
    Edit_ValidateLog->SetText(platform::ProgramFilePath("validate.log"));
}

std::string TForm_ApCfg::LogFileNameOf(const std::string& chosen) {
    std::string name = Trim(chosen);
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    name = Trim(name);
    if (!IsUsableFileName(name)) return {};
    const auto dot = name.find_last_of('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    for (char& c : extension)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (extension != ".LOG") name += ".log";
    return name;
}

void TForm_ApCfg::Button_SaveAsClick(vcl::TObject*) {
    if (!SaveDialog) return;
    SaveDialog->InitialDir = platform::ProgramFolder();
    SaveDialog->Filter = GetMessageText(7);
    if (!SaveDialog->Execute()) return;
    const std::string path = Trim(SaveDialog->FileName);
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    const std::string name =
        LogFileNameOf(slash == std::string::npos ? path : path.substr(slash + 1));
    if (name.empty()) {
        vcl::Application->MessageBox(GetMessageText(8), GetMessageText(9),
                                     vcl::MB_OK | vcl::MB_ICONSTOP);
        return;
    }
    SaveDialog->InitialDir = folder;
    Edit_ValidateLog->SetText((folder.empty() ? std::string() : folder) + "/" + name);
}

void TForm_ApCfg::Button_OkClick(vcl::TObject*) {
    UpdateControls();
    if (settings_) {
        settings_->LoadExplorer = CheckBox_LoadExplorer->GetChecked() ? 1 : 0;
        settings_->LoadWizard = CheckBox_LoadWizard->GetChecked() ? 1 : 0;
        settings_->LoadContainer = CheckBox_LoadContainer->GetChecked() ? 1 : 0;
        settings_->RefreshEnable = CheckBox_AutoRefresh->GetChecked() ? 1 : 0;
        settings_->RefreshInterval = std::clamp(CSpinEdit_RefreshTime->GetValue(), 1, 60);
        settings_->ValidateLogEnable = CheckBox_ValidateLogEnable->GetChecked() ? 1 : 0;
        settings_->OverWriteValidateLog = RadioButton_OverWrite->GetChecked() ? 1 : 0;
        settings_->ValidateLog = Edit_ValidateLog->GetText();
        settings_->AutoValidate = CheckBox_AutoValidate->GetChecked() ? 1 : 0;
    }
    SetModalResult(vcl::mrOk);
}

void TForm_ApCfg::Button_CancelClick(vcl::TObject*) {
    LoadControls(true);
    UpdateControls();
    SetModalResult(vcl::mrCancel);
}
