// The debug window: the read-only log text over a bottom panel with CLEAR, Debug and an edit box.
#include "form_showdata.h"

using namespace vcl;

TForm_Showdata::TForm_Showdata(TComponent* Owner) : TForm(Owner) {
    Name = "Form_Showdata";
    SetCaption("Show  Debug  Data");
    SetClientWidth(560);
    SetClientHeight(400);

    Panel1 = Make<TPanel>(this, this, "Panel1");
    Panel1->SetAlign(alBottom);
    Panel1->SetHeight(36);
    Panel1->SetBevelOuter(bvNone);
    Button_Clear = Make<TButton>(this, Panel1, "Button_Clear");
    Button_Clear->SetBounds(8, 5, 75, 26);
    Button_Clear->SetCaption("CLEAR");
    Button_Debug = Make<TButton>(this, Panel1, "Button_Debug");
    Button_Debug->SetBounds(90, 5, 75, 26);
    Button_Debug->SetCaption("Debug");
    Edit1 = Make<TEdit>(this, Panel1, "Edit1");
    Edit1->SetBounds(174, 6, 376, 24);

    RichEdit = Make<TRichEdit>(this, this, "RichEdit");
    RichEdit->SetAlign(alClient);
    RichEdit->SetReadOnly(true);
    RichEdit->SetScrollBars(ssBoth);

    OnCreate = Method(this, &TForm_Showdata::FormCreate);
    Button_Clear->OnClick = Method(this, &TForm_Showdata::Button_ClearClick);
    Button_Debug->OnClick = Method(this, &TForm_Showdata::Button_DebugClick);
    Form_Showdata = this;
}
