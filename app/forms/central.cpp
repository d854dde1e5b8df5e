// The main window.
#include "central.h"

using namespace vcl;

TForm_Central::TForm_Central(TComponent* Owner) : TForm(Owner) {
    Name = "Form_Central";
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 800, 600);
    SetCaption("Quorvik");

    OnCreate = Method(this, &TForm_Central::FormCreate);
    OnPaint = Method(this, &TForm_Central::FormPaint);
}
