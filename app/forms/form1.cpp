// The choice dialog: a centred text over five buttons in a row.
#include "form1.h"

using namespace vcl;

TForm1::TForm1(TComponent* Owner) : TForm(Owner) {
    Name = "Form1";
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    SetPosition(poScreenCenter);
    SetClientWidth(552);
    SetClientHeight(173);

    Label1 = Make<TLabel>(this, this, "Label1");
    Label1->SetAlign(alTop);
    Label1->SetAutoSize(false);
    Label1->SetAlignment(taCenter);
    Label1->SetLayout(tlCenter);
    Label1->SetWordWrap(true);
    Label1->SetShowAccelChar(false); // message texts are shown as they are
    Label1->SetMargin(8);            // a text as wide as the box keeps clear of its edges
    Label1->SetBounds(0, 0, 552, 121);

    const int lefts[5] = {4, 117, 230, 347, 458};
    TButton** buttons[5] = {&Button1, &Button2, &Button3, &Button4, &Button5};
    const char* names[5] = {"Button1", "Button2", "Button3", "Button4", "Button5"};
    void (TForm1::*clicks[5])(TObject*) = {&TForm1::Button1Click, &TForm1::Button2Click,
                                           &TForm1::Button3Click, &TForm1::Button4Click,
                                           &TForm1::Button5Click};
    for (int i = 0; i < 5; ++i) {
        TButton* button = Make<TButton>(this, this, names[i]);
        button->SetBounds(lefts[i], 132, 90, 30);
        button->SetCaption(names[i]);
        button->SetTabOrder(i);
        button->OnClick = Method(this, clicks[i]);
        *buttons[i] = button;
    }
}
