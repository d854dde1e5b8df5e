// TForm1: the choice dialog, a text and five buttons. Each button stores its number in
// ChoiceResult and closes the dialog; ShowKindMessage (kinddialog.h) lays it out per button set.
#pragma once

#include "vcl/form.h"
#include "vcl/std_controls.h"

class TForm1 : public vcl::TForm {
public:
    // Makes the components (the form's description).
    explicit TForm1(vcl::TComponent* Owner);
    ~TForm1() override;

    vcl::TLabel* Label1 = nullptr;
    vcl::TButton* Button1 = nullptr;
    vcl::TButton* Button2 = nullptr;
    vcl::TButton* Button3 = nullptr;
    vcl::TButton* Button4 = nullptr;
    vcl::TButton* Button5 = nullptr;

    void Button1Click(vcl::TObject* Sender);
    void Button2Click(vcl::TObject* Sender);
    void Button3Click(vcl::TObject* Sender);
    void Button4Click(vcl::TObject* Sender);
    void Button5Click(vcl::TObject* Sender);

    // The button at number 1 to 5, or null.
    vcl::TButton* ButtonNumber(int number) const;

private:
    void Choose(int number);
};

// The choice dialog made at start, or null before.
extern TForm1* Form1;
// The number (1 to 5) of the button last pressed in the choice dialog; 0 while none was pressed
// in the dialog being shown.
extern int ChoiceResult;
