// TForm_About: the borderless picture window that is the splash screen at start and, once the
// main window has switched it over, the about box with clickable web and e-mail addresses. Its
// creation reads the branding data file (brandinfo.h).
#pragma once

#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/std_controls.h"
#include "vcl/timer.h"

#include <string>

class TForm_About : public vcl::TForm {
public:
    // Makes the components (the form's description); splash mode, no version text.
    explicit TForm_About(vcl::TComponent* Owner);
    ~TForm_About() override;

    vcl::TImage* Image_About = nullptr;
    vcl::TLabel* Label_Web = nullptr;
    vcl::TLabel* Label_Email = nullptr;
    vcl::TLabel* Label_5 = nullptr;
    vcl::TLabel* Label_Version = nullptr;
    vcl::TTimer* Timer = nullptr;

    // False: splash mode (the form refuses to close); true: about-box mode.
    bool Interactive = false;
    // The program's version, "major.minor" (kept, not shown).
    const std::string& VersionText() const { return versionText_; }

    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    void FormActivate(vcl::TObject* Sender);
    void FormHide(vcl::TObject* Sender);
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
    void Image_AboutClick(vcl::TObject* Sender);
    void Label_WebClick(vcl::TObject* Sender);
    void Label_EmailClick(vcl::TObject* Sender);
    void Label_WebMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y);
    void Label_EmailMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y);
    void FormMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y);
    void Label_WebMouseDown(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift,
                            int X, int Y);
    void Label_EmailMouseDown(vcl::TObject* Sender, vcl::TMouseButton Button,
                              vcl::TShiftState Shift, int X, int Y);
    void Label_WebMouseUp(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift,
                          int X, int Y);
    void Label_EmailMouseUp(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift,
                            int X, int Y);
    void TimerTimer(vcl::TObject* Sender);

private:
    void OpenLink(const std::string& url);
    void FitAboutLine(vcl::TLabel* label);
    void FitLineHeights();
    void LinkPressed(vcl::TLabel* label, vcl::TMouseButton button);

    bool mouseHeld_ = false;
    std::string versionText_;
};

// The splash and about form, or null while there is none.
extern TForm_About* Form_About;
