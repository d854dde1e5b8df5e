// The about box: a borderless black window with the about picture and four white labels on it.
#include "about.h"

#include <cstddef>

extern const unsigned char kAboutPicture[];
extern const std::size_t kAboutPictureSize;

using namespace vcl;

namespace {

// A line of white text on the picture, 20 pixels high as designed; the form makes it as high as
// its text in the font it got once it has its text (TForm_About::FitLineHeights).
TLabel* MakeAboutLabel(TForm_About* form, const char* name, int left, int top, int width) {
    TLabel* label = Make<TLabel>(form, form, name);
    label->SetAutoSize(false);
    label->SetTransparent(true);
    label->SetShowAccelChar(false);
    label->Font()->SetName("Arial");
    label->Font()->SetHeight(-15);
    label->Font()->SetColor(clWhite);
    label->SetBounds(left, top, width, 20);
    return label;
}

} // namespace

TForm_About::TForm_About(TComponent* Owner) : TForm(Owner) {
    Name = "Form_About";
    SetBorderStyle(bsNone);
    SetColor(clBlack);
    SetPosition(poDesktopCenter);
    SetClientWidth(500);
    SetClientHeight(251);

    Image_About = Make<TImage>(this, this, "Image_About");
    Image_About->SetBounds(0, 0, 503, 256);
    Image_About->Picture()->LoadFromBytes(kAboutPicture, kAboutPictureSize);

    // The web and mail addresses of the branding data run up to the disc of the picture.
    Label_Web = MakeAboutLabel(this, "Label_Web", 34, 166, 316);
    Label_Email = MakeAboutLabel(this, "Label_Email", 34, 188, 316);
    Label_5 = MakeAboutLabel(this, "Label_5", 34, 212, 306);
    Label_Version = MakeAboutLabel(this, "Label_Version", 406, 212, 90);

    Timer = new TTimer(this);
    Timer->Name = "Timer";
    Timer->SetEnabled(false); // runs while the form is active
    Timer->SetInterval(100);

    OnCreate = Method(this, &TForm_About::FormCreate);
    OnShow = Method(this, &TForm_About::FormShow);
    OnActivate = Method(this, &TForm_About::FormActivate);
    OnHide = Method(this, &TForm_About::FormHide);
    OnClose = Method(this, &TForm_About::FormClose);
    OnMouseMove = Method(this, &TForm_About::FormMouseMove);
    Image_About->OnClick = Method(this, &TForm_About::Image_AboutClick);
    Image_About->OnMouseMove = Method(this, &TForm_About::FormMouseMove);
    Label_5->OnClick = Method(this, &TForm_About::Image_AboutClick);
    Label_5->OnMouseMove = Method(this, &TForm_About::FormMouseMove);
    Label_Version->OnClick = Method(this, &TForm_About::Image_AboutClick);
    Label_Version->OnMouseMove = Method(this, &TForm_About::FormMouseMove);
    Label_Web->OnClick = Method(this, &TForm_About::Label_WebClick);
    Label_Web->OnMouseMove = Method(this, &TForm_About::Label_WebMouseMove);
    Label_Web->OnMouseDown = Method(this, &TForm_About::Label_WebMouseDown);
    Label_Web->OnMouseUp = Method(this, &TForm_About::Label_WebMouseUp);
    Label_Email->OnClick = Method(this, &TForm_About::Label_EmailClick);
    Label_Email->OnMouseMove = Method(this, &TForm_About::Label_EmailMouseMove);
    Label_Email->OnMouseDown = Method(this, &TForm_About::Label_EmailMouseDown);
    Label_Email->OnMouseUp = Method(this, &TForm_About::Label_EmailMouseUp);
    Timer->OnTimer = Method(this, &TForm_About::TimerTimer);
}
