#include "form_showdata.h"

TForm_Showdata* Form_Showdata = nullptr;

TForm_Showdata::~TForm_Showdata() {
    if (DebugLogTarget == this) DebugLogTarget = nullptr;
    if (Form_Showdata == this) Form_Showdata = nullptr;
}

void TForm_Showdata::FormCreate(vcl::TObject*) {
    RichEdit->SetLines({"Clear all data before use."});
    DebugLogTarget = this;
}

void TForm_Showdata::Button_ClearClick(vcl::TObject*) {
    RichEdit->Clear();
}

void TForm_Showdata::Button_DebugClick(vcl::TObject*) {
    DebugLogText(*this, "", Edit1->GetText());
}

int TForm_Showdata::LineCount() const {
    return static_cast<int>(RichEdit->Lines().size());
}

void TForm_Showdata::AddLine(std::string_view line, DebugLogColour colour) {
    vcl::TColor color = vcl::clWindowText;
    switch (colour) {
    case DebugLogColour::Red:
        color = vcl::clRed;
        break;
    case DebugLogColour::Blue:
        color = vcl::clBlue;
        break;
    case DebugLogColour::Green:
        color = vcl::clGreen;
        break;
    case DebugLogColour::Text:
        break;
    }
    RichEdit->AddLine(std::string(line), color);
}
