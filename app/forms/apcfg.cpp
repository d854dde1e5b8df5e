// The program options dialog: three start-up check boxes, the refresh group (check box on its
// frame, interval spin edit, default button), the validation-log group (check box on its frame,
// the read-only log path, append or overwrite, save-as and default buttons), the validate-before-
// build check box, and OK and Cancel.
#include "form_apcfg.h"

#include "vcl/ext_controls.h"

using namespace vcl;

namespace {

template <class T>
T* Place(TForm_ApCfg* form, TWinControl* parent, const char* name, int left, int top, int width,
         int height) {
    T* control = Make<T>(form, parent, name);
    control->SetBounds(left, top, width, height);
    return control;
}

} // namespace

TForm_ApCfg::TForm_ApCfg(TComponent* Owner) : TForm(Owner) {
    Name = "Form_ApCfg";
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    SetClientWidth(445);
    SetClientHeight(353);
    SetShowHint(true);

    CheckBox_LoadExplorer = Place<TCheckBox>(this, this, "CheckBox_LoadExplorer", 16, 10, 410, 20);
    CheckBox_LoadWizard = Place<TCheckBox>(this, this, "CheckBox_LoadWizard", 16, 34, 410, 20);
    CheckBox_LoadContainer =
        Place<TCheckBox>(this, this, "CheckBox_LoadContainer", 16, 58, 410, 20);

    GroupBox_Refresh = Place<TGroupBox>(this, this, "GroupBox_Refresh", 10, 86, 425, 62);
    CheckBox_AutoRefresh =
        Place<TCheckBox>(this, GroupBox_Refresh, "CheckBox_AutoRefresh", 10, 0, 200, 20);
    Label1 = Place<TLabel>(this, GroupBox_Refresh, "Label1", 16, 30, 120, 18);
    CSpinEdit_RefreshTime =
        Place<TCSpinEdit>(this, GroupBox_Refresh, "CSpinEdit_RefreshTime", 140, 26, 60, 24);
    CSpinEdit_RefreshTime->SetMinValue(1);
    CSpinEdit_RefreshTime->SetMaxValue(60);
    CSpinEdit_RefreshTime->SetValue(10);
    Label2 = Place<TLabel>(this, GroupBox_Refresh, "Label2", 208, 30, 80, 18);
    Button_RefreshTimeDefault =
        Place<TButton>(this, GroupBox_Refresh, "Button_RefreshTimeDefault", 300, 24, 115, 26);

    GroupBox_Validate = Place<TGroupBox>(this, this, "GroupBox_Validate", 10, 156, 425, 120);
    CheckBox_ValidateLogEnable =
        Place<TCheckBox>(this, GroupBox_Validate, "CheckBox_ValidateLogEnable", 10, 0, 200, 20);
    Edit_ValidateLog = Place<TEdit>(this, GroupBox_Validate, "Edit_ValidateLog", 16, 26, 395, 24);
    Edit_ValidateLog->SetReadOnly(true);
    Edit_ValidateLog->SetColor(clGrayText);
    RadioButton_Append =
        Place<TRadioButton>(this, GroupBox_Validate, "RadioButton_Append", 16, 58, 120, 20);
    RadioButton_OverWrite =
        Place<TRadioButton>(this, GroupBox_Validate, "RadioButton_OverWrite", 16, 84, 120, 20);
    Button_SaveAs = Place<TButton>(this, GroupBox_Validate, "Button_SaveAs", 170, 80, 115, 26);
    Button_DefaultValidateLog =
        Place<TButton>(this, GroupBox_Validate, "Button_DefaultValidateLog", 296, 80, 115, 26);

    CheckBox_AutoValidate = Place<TCheckBox>(this, this, "CheckBox_AutoValidate", 16, 284, 410, 20);

    Button_Ok = Place<TButton>(this, this, "Button_Ok", 250, 316, 88, 28);
    Button_Ok->SetDefault(true);
    Button_Cancel = Place<TButton>(this, this, "Button_Cancel", 346, 316, 88, 28);
    Button_Cancel->SetCancel(true);

    OnCreate = Method(this, &TForm_ApCfg::FormCreate);
    OnShow = Method(this, &TForm_ApCfg::FormShow);
    Button_Ok->OnClick = Method(this, &TForm_ApCfg::Button_OkClick);
    Button_Cancel->OnClick = Method(this, &TForm_ApCfg::Button_CancelClick);
    Button_RefreshTimeDefault->OnClick = Method(this, &TForm_ApCfg::Button_RefreshTimeDefaultClick);
    CheckBox_AutoRefresh->OnClick = Method(this, &TForm_ApCfg::CheckBox_AutoRefreshClick);
    CheckBox_ValidateLogEnable->OnClick =
        Method(this, &TForm_ApCfg::CheckBox_ValidateLogEnableClick);
    RadioButton_Append->OnClick = Method(this, &TForm_ApCfg::RadioButton_AppendClick);
    RadioButton_OverWrite->OnClick = Method(this, &TForm_ApCfg::RadioButton_OverWriteClick);
    Button_SaveAs->OnClick = Method(this, &TForm_ApCfg::Button_SaveAsClick);
    Button_DefaultValidateLog->OnClick = Method(this, &TForm_ApCfg::Button_DefaultValidateLogClick);
    Form_ApCfg = this;
}
