// TForm_Showdata: the debug window. While it exists it is the target of the debug log writers
// (showdata.h): each line they write shows in its read-only text; CLEAR empties it and Debug
// writes the edit box's text as a numbered line.
#pragma once

#include "showdata.h"

#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/rich_edit.h"
#include "vcl/std_controls.h"

class TForm_Showdata : public vcl::TForm, public DebugLogSink {
public:
    // Makes the components (the form's description, app/forms/showdata.cpp).
    explicit TForm_Showdata(vcl::TComponent* Owner);
    ~TForm_Showdata() override;

    vcl::TRichEdit* RichEdit = nullptr;
    vcl::TPanel* Panel1 = nullptr;
    vcl::TButton* Button_Clear = nullptr;
    vcl::TButton* Button_Debug = nullptr;
    vcl::TEdit* Edit1 = nullptr;

    void FormCreate(vcl::TObject* Sender);
    void Button_ClearClick(vcl::TObject* Sender);
    void Button_DebugClick(vcl::TObject* Sender);

    // The sink: the text's lines; warning lines in their colour (red, blue, green), every other
    // line in the desktop's text colour.
    int LineCount() const override;
    void AddLine(std::string_view line, DebugLogColour colour) override;
};

// The debug window, or null (no part of the program opens it in a normal run).
extern TForm_Showdata* Form_Showdata;
