#include "kinddialog.h"

#include "form1.h"
#include "msgbox.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/screen.h"

#include <algorithm>

#include <array>
#include <cstdio>

namespace {

constexpr int kLabelWidth = 453;
constexpr int kFiveButtonFormWidth = 562;
// Room above and below a text that wraps, and what the screen keeps beside the box's label
// (its title bar, its buttons, the desktop's panels).
constexpr int kLabelMargin = 8;
constexpr int kScreenReserve = 160;

// Left of a button centred at x.
int CentredLeft(int x, const vcl::TButton* button) {
    return x - button->GetWidth() / 2;
}

} // namespace

bool PrepareMessageForm(const std::string& text, int kind) {
    if (!Form1) {
        vcl::Application->MessageBox("Form1 not init!", "", vcl::MB_OK);
        return false;
    }
    Form1->SetCaption(MessageKindCaption(kind));
    Form1->Scaled = true;
    vcl::TLabel* label = Form1->Label1;
    label->SetBounds(0, 0, kLabelWidth, MessageTextHeight(text, label->Font()->GetSize()));
    label->SetCaption(text);
    // A text that wraps to more lines than its line feeds tell (a long name) gets the height it
    // takes, as far as the screen has room for the box.
    const int needed = label->TextHeight() + 2 * kLabelMargin;
    if (needed > label->GetHeight()) {
        const int room = vcl::Screen ? vcl::Screen->Height() - kScreenReserve : needed;
        label->SetHeight(std::max(label->GetHeight(), std::min(needed, room)));
    }
    Form1->SetClientWidth(kLabelWidth);
    Form1->SetClientHeight(label->GetTop() + label->GetHeight() + Form1->Button1->GetHeight() + 8);
    return true;
}

int LayoutMessageButtons(ButtonSet set) {
    TForm1& form = *Form1;
    const int top = form.Label1->GetTop() + form.Label1->GetHeight();
    for (int n = 1; n <= 5; ++n)
        form.ButtonNumber(n)->SetTop(top);

    std::array<int, 6> lefts{};
    for (int n = 1; n <= 5; ++n)
        lefts[n] = form.ButtonNumber(n)->GetLeft();

    // (button number, caption message, centre as quarters of the client width; 0: design place)
    struct Placement {
        int button;
        int captionId;
        int quarters;
    };
    std::array<Placement, 5> placements{};
    int count = 0;
    auto place = [&](int button, int captionId, int quarters) {
        placements[static_cast<size_t>(count++)] = {button, captionId, quarters};
    };
    switch (set) {
    case ButtonSet::Ok:
        place(3, 511, 2);
        break;
    case ButtonSet::Cancel:
        place(3, 512, 2);
        break;
    case ButtonSet::YesNo:
        place(2, 11, 1);
        place(4, 12, 3);
        break;
    case ButtonSet::YesCancel:
        place(2, 11, 1);
        place(4, 512, 3);
        break;
    case ButtonSet::YesToAllYesCancel:
        place(1, 513, 1);
        place(3, 11, 2);
        place(5, 512, 3);
        break;
    case ButtonSet::Five:
        if (form.GetWidth() < 560) form.SetWidth(kFiveButtonFormWidth);
        place(1, 513, 0);
        place(2, 514, 0);
        place(3, 11, 0);
        place(4, 12, 0);
        place(5, 512, 0);
        break;
    }

    const int w = form.GetClientWidth();
    std::array<bool, 6> shown{};
    for (int i = 0; i < count; ++i) {
        const Placement& p = placements[static_cast<size_t>(i)];
        vcl::TButton* button = form.ButtonNumber(p.button);
        button->SetCaption(GetMessageText(p.captionId));
        // A centre at a quarter q of the width: W/2 for 2, W/2 + W/4 for 3, as integers.
        if (p.quarters == 1)
            button->SetLeft(CentredLeft(w / 4, button));
        else if (p.quarters == 2)
            button->SetLeft(CentredLeft(w / 2, button));
        else if (p.quarters == 3)
            button->SetLeft(CentredLeft(w / 2 + w / 4, button));
        shown[static_cast<size_t>(p.button)] = true;
    }
    for (int n = 1; n <= 5; ++n)
        form.ButtonNumber(n)->SetVisible(shown[static_cast<size_t>(n)]);

    // Only a button pressed in this showing counts; closing without one answers 0.
    ChoiceResult = 0;
    form.ShowModal();

    for (int n = 1; n <= 5; ++n) {
        form.ButtonNumber(n)->SetLeft(lefts[static_cast<size_t>(n)]);
        form.ButtonNumber(n)->SetVisible(true);
    }
    return ButtonSetResult(set, ChoiceResult);
}

void LabelBoxButtons() {
    vcl::TBoxButtonCaptions captions;
    captions.Ok = GetMessageText(511);
    captions.Cancel = GetMessageText(512);
    captions.Yes = GetMessageText(11);
    captions.No = GetMessageText(12);
    vcl::SetBoxButtonCaptions(captions);
    // The toolkit's own dialogs (files and folders) in the same language.
    static const char* const kToolkitLocales[] = {"", "zh_TW", "zh_CN"};
    const char* locale =
        LanguageIndex >= 0 && LanguageIndex < 3 ? kToolkitLocales[LanguageIndex] : "";
    if (!vcl::SetDialogLanguage(locale))
        std::fprintf(stderr, "brimlet: the toolkit's translations for %s are not installed\n",
                     locale);
}

int ShowKindMessage(std::string_view argument, int kind) {
    const std::string text = ComposeKindMessage(argument, kind);
    if (vcl::Application) vcl::Application->BringToFront();
    if (!PrepareMessageForm(text, kind)) return 0;
    const MessageKind* entry = FindMessageKind(kind);
    // A kind without a button set shows nothing and answers OK.
    if (!entry) return krOk;
    return LayoutMessageButtons(entry->buttons);
}
