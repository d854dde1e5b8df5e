// TForm_ApCfg: the program options dialog. It shows and edits the main window's settings record
// (refresh, start-up, container validation and its log); only OK writes the record, and only in
// memory: the main window writes the INI file when it closes.
#pragma once

#include "inidata.h"

#include "vcl/dialogs.h"
#include "vcl/form.h"
#include "vcl/spin_edit.h"
#include "vcl/std_controls.h"

#include <string>

class TForm_ApCfg : public vcl::TForm {
public:
    // Makes the components (the form's description, app/forms/apcfg.cpp).
    explicit TForm_ApCfg(vcl::TComponent* Owner);
    ~TForm_ApCfg() override;

    vcl::TCheckBox* CheckBox_LoadExplorer = nullptr;
    vcl::TCheckBox* CheckBox_LoadWizard = nullptr;
    vcl::TCheckBox* CheckBox_LoadContainer = nullptr;
    vcl::TGroupBox* GroupBox_Refresh = nullptr;
    vcl::TCheckBox* CheckBox_AutoRefresh = nullptr;
    vcl::TLabel* Label1 = nullptr;
    vcl::TCSpinEdit* CSpinEdit_RefreshTime = nullptr;
    vcl::TLabel* Label2 = nullptr;
    vcl::TButton* Button_RefreshTimeDefault = nullptr;
    vcl::TGroupBox* GroupBox_Validate = nullptr;
    vcl::TCheckBox* CheckBox_ValidateLogEnable = nullptr;
    vcl::TEdit* Edit_ValidateLog = nullptr;
    vcl::TRadioButton* RadioButton_Append = nullptr;
    vcl::TRadioButton* RadioButton_OverWrite = nullptr;
    vcl::TButton* Button_SaveAs = nullptr;
    vcl::TButton* Button_DefaultValidateLog = nullptr;
    vcl::TCheckBox* CheckBox_AutoValidate = nullptr;
    vcl::TButton* Button_Ok = nullptr;
    vcl::TButton* Button_Cancel = nullptr;
    vcl::TSaveDialog* SaveDialog = nullptr; // the main window's, set before showing

    // The record the dialog edits (the main window's) and the window it centres over.
    void SetSettings(_INI_DATA_* settings) { settings_ = settings; }
    void SetCentreOver(vcl::TForm* form) { centreOver_ = form; }

    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    void Button_OkClick(vcl::TObject* Sender);
    void Button_CancelClick(vcl::TObject* Sender);
    void Button_RefreshTimeDefaultClick(vcl::TObject* Sender);
    void CheckBox_AutoRefreshClick(vcl::TObject* Sender);
    void CheckBox_ValidateLogEnableClick(vcl::TObject* Sender);
    void RadioButton_AppendClick(vcl::TObject* Sender);
    void RadioButton_OverWriteClick(vcl::TObject* Sender);
    void Button_SaveAsClick(vcl::TObject* Sender);
    void Button_DefaultValidateLogClick(vcl::TObject* Sender);
    void UpdateControls();

    // The log file name a name chosen in the save dialog becomes: blanks and trailing dots
    // trimmed, ".log" added unless it ends in ".log" (any case); empty when unusable.
    static std::string LogFileNameOf(const std::string& chosen);

private:
    void Centre();
    void LoadControls(bool loadExplorer);
    void UpdateValidateControls();

    _INI_DATA_* settings_ = nullptr;
    vcl::TForm* centreOver_ = nullptr;
};

extern TForm_ApCfg* Form_ApCfg;
