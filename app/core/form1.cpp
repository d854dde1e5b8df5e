#include "form1.h"

TForm1* Form1 = nullptr;
int ChoiceResult = 0;

TForm1::~TForm1() = default;

vcl::TButton* TForm1::ButtonNumber(int number) const {
    switch (number) {
    case 1:
        return Button1;
    case 2:
        return Button2;
    case 3:
        return Button3;
    case 4:
        return Button4;
    case 5:
        return Button5;
    default:
        return nullptr;
    }
}

void TForm1::Choose(int number) {
    ChoiceResult = number;
    Close();
}

void TForm1::Button1Click(vcl::TObject*) {
    Choose(1);
}
void TForm1::Button2Click(vcl::TObject*) {
    Choose(2);
}
void TForm1::Button3Click(vcl::TObject*) {
    Choose(3);
}
void TForm1::Button4Click(vcl::TObject*) {
    Choose(4);
}
void TForm1::Button5Click(vcl::TObject*) {
    Choose(5);
}
