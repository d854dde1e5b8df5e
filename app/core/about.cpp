#include "about.h"

#include "brandinfo.h"
#include "msgbox.h"
#include "startup_notes.h"

#include "paths/paths.h"
#include "shell/shell.h"
#include "vcl/application.h"
#include "vcl/screen.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#ifndef BRIMLET_VERSION_MAJOR
#define BRIMLET_VERSION_MAJOR 1
#endif
#ifndef BRIMLET_VERSION_MINOR
#define BRIMLET_VERSION_MINOR 0
#endif

TForm_About* Form_About = nullptr;

TForm_About::~TForm_About() {
    if (Form_About == this) Form_About = nullptr;
}

void TForm_About::FormCreate(vcl::TObject*) {
    PixelsPerInch = 120;
    char version[64];
    std::snprintf(version, sizeof version, "%d.%02d%s", BRIMLET_VERSION_MAJOR,
                  BRIMLET_VERSION_MINOR, GetMessageText(1));
    versionText_ = version;
    Label_Version->SetCaption("SW : 1.00");
    // The branding file lives in the program folder; its picture record is never written out.
    // What it refuses is told once the program has started.
    if (std::string refused = ReadAboutFile(platform::ProgramFilePath(GetMessageText(4)));
        !refused.empty())
        AddStartupNote(std::move(refused));
    Label_Web->SetCaption(BrandInfo.WEB);
    Label_Email->SetCaption(BrandInfo.EMAIL);
    Label_5->SetCaption(GetMessageText(2));
    for (vcl::TLabel* label : {Label_Web, Label_Email, Label_5})
        FitAboutLine(label);
    FitLineHeights();
}

void TForm_About::FitLineHeights() {
    // "Arial" is whatever the machine maps it to, and some of those fonts have a taller line
    // than the design's 20 pixels: each line is as high as its text, a line that grew pushes the
    // ones below it down, and the block moves up should its last line leave the window.
    constexpr int kDesignHeight = 20;
    for (vcl::TLabel* label : {Label_Web, Label_Email, Label_5, Label_Version})
        label->SetHeight(std::max(kDesignHeight, label->TextHeight()));
    const auto bottom = [](const vcl::TLabel* label) {
        return label->GetTop() + label->GetHeight();
    };
    Label_Email->SetTop(std::max(Label_Email->GetTop(), bottom(Label_Web)));
    Label_5->SetTop(std::max(Label_5->GetTop(), bottom(Label_Email)));
    Label_Version->SetTop(Label_5->GetTop());
    const int overflow = std::max(bottom(Label_5), bottom(Label_Version)) - GetClientHeight();
    if (overflow > 0)
        for (vcl::TLabel* label : {Label_Web, Label_Email, Label_5, Label_Version})
            label->SetTop(label->GetTop() - overflow);
}

void TForm_About::FitAboutLine(vcl::TLabel* label) {
    // A branding text longer than its line is shown in a smaller font, down to 10 pixels, and
    // whole in the label's hint.
    constexpr int kSmallestFont = 10;
    for (int height = 15; height > kSmallestFont && label->TextWidth() > label->GetWidth();
         --height)
        label->Font()->SetHeight(-(height - 1));
    const bool cut = label->TextWidth() > label->GetWidth();
    label->SetHint(cut ? label->GetCaption() : std::string());
    label->SetShowHint(cut);
}

void TForm_About::FormShow(vcl::TObject*) {
    if (!Interactive) return;
    const vcl::TForm* main = vcl::Application ? vcl::Application->MainForm() : nullptr;
    if (!main || main == this) return;
    SetPosition(vcl::poDesigned); // from now on placed here, no longer centred on the desktop
    SetLeft(main->GetLeft() + (main->GetWidth() - GetWidth()) / 2);
    SetTop(main->GetTop() + (main->GetHeight() - GetHeight()) / 2);
}

void TForm_About::FormActivate(vcl::TObject*) {
    Timer->SetEnabled(true);
}

void TForm_About::FormHide(vcl::TObject*) {
    Timer->SetEnabled(false);
}

void TForm_About::FormClose(vcl::TObject*, vcl::TCloseAction& Action) {
    if (Interactive) {
        Timer->SetEnabled(false);
        Action = vcl::caHide;
    } else {
        Action = vcl::caNone; // the splash stays until the main window has painted
    }
}

void TForm_About::Image_AboutClick(vcl::TObject*) {
    if (Interactive) Close();
}

void TForm_About::OpenLink(const std::string& url) {
    if (!Interactive || url.empty()) return;
    vcl::THourGlass hourglass(vcl::crDefault);
    platform::ShellOpen(url);
}

void TForm_About::Label_WebClick(vcl::TObject*) {
    OpenLink(BrandWebUrl(BrandInfo.WEB));
}

void TForm_About::Label_EmailClick(vcl::TObject*) {
    OpenLink(BrandMailUrl(BrandInfo.EMAIL));
}

void TForm_About::Label_WebMouseMove(vcl::TObject*, vcl::TShiftState, int, int) {
    if (Interactive) Label_Web->SetCursor(vcl::crHandPoint);
}

void TForm_About::Label_EmailMouseMove(vcl::TObject*, vcl::TShiftState, int, int) {
    if (Interactive) Label_Email->SetCursor(vcl::crHandPoint);
}

void TForm_About::FormMouseMove(vcl::TObject*, vcl::TShiftState, int, int) {
    vcl::Screen->SetCursor(vcl::crDefault);
}

void TForm_About::LinkPressed(vcl::TLabel* label, vcl::TMouseButton button) {
    if (button != vcl::mbLeft) return;
    mouseHeld_ = true;
    if (Interactive) label->Font()->SetColor(vcl::clRed);
}

void TForm_About::Label_WebMouseDown(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState, int,
                                     int) {
    LinkPressed(Label_Web, Button);
}

void TForm_About::Label_EmailMouseDown(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState,
                                       int, int) {
    LinkPressed(Label_Email, Button);
}

void TForm_About::Label_WebMouseUp(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState, int,
                                   int) {
    if (Button == vcl::mbLeft) mouseHeld_ = false;
}

void TForm_About::Label_EmailMouseUp(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState, int,
                                     int) {
    if (Button == vcl::mbLeft) mouseHeld_ = false;
}

void TForm_About::TimerTimer(vcl::TObject*) {
    if (!Interactive || mouseHeld_) return;
    Label_Web->Font()->SetColor(vcl::clWhite);
    Label_Email->Font()->SetColor(vcl::clWhite);
}
