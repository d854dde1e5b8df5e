#include "fmmsg.h"

#include "msgbox.h"

#include "nasapi.h"

#include "vcl/application.h"
#include "vcl/screen.h"

#include <algorithm>
#include <cstring>

TFmMsg* FmMsg = nullptr;

namespace {

// The report forms open now, oldest first.
std::vector<TFmMsg*> openReports;

// Each report after the first opens this far right and down of the one before, so that none
// hides another.
constexpr int kReportCascade = 24;
constexpr int kReportWidth = 407;
constexpr int kReportHeight = 230;
// A report line that cannot wrap widens the form up to this label width.
constexpr int kWidestReportLabel = 640;

} // namespace

TFmMsg::~TFmMsg() {
    // The form is made on first use by whoever needs it; the global never outlives it.
    if (FmMsg == this) FmMsg = nullptr;
    std::erase(openReports, this);
}

TFmMsg* TFmMsg::OpenReport(const std::string& caption, const std::string& text, int icon) {
    auto* form = vcl::MakeForm<TFmMsg>(vcl::Application);
    form->Name = "FmMsgReport";
    form->report_ = true;
    form->SetPosition(vcl::poDesigned);
    form->LayOutMessagePage(caption, text, kReportHeight, kReportWidth, icon, false, false, true,
                            false);
    form->FitToText(text);
    const int screenWidth = vcl::Screen ? vcl::Screen->Width() : 1024;
    const int screenHeight = vcl::Screen ? vcl::Screen->Height() : 768;
    const int step = kReportCascade * static_cast<int>(openReports.size() % 8);
    form->SetLeft(std::max(0, (screenWidth - form->GetWidth()) / 2 + step));
    form->SetTop(std::max(0, (screenHeight - form->GetHeight()) / 2 + step));
    openReports.push_back(form);
    form->Show();
    return form;
}

std::vector<TFmMsg*> TFmMsg::OpenReports() {
    return openReports;
}

void TFmMsg::FitToText(const std::string& text) {
    const int screenWidth = vcl::Screen ? vcl::Screen->Width() : 1024;
    const int screenHeight = vcl::Screen ? vcl::Screen->Height() : 768;
    const int left = Label_Inform->GetLeft();
    const int designWidth = Label_Inform->GetWidth();
    const int rightMargin = GetClientWidth() - left - designWidth;
    // The widest line as it is, then the wrapped height at the width chosen.
    Label_Inform->SetWordWrap(false);
    Label_Inform->SetAutoSize(true);
    Label_Inform->SetCaption(text);
    const int widest = Label_Inform->GetWidth();
    const int maxLabel = std::max(designWidth, std::min(kWidestReportLabel, screenWidth - 200));
    const int labelWidth = std::clamp(widest, designWidth, maxLabel);
    Label_Inform->SetWordWrap(true);
    Label_Inform->SetBounds(left, Label_Inform->GetTop(), labelWidth, Label_Inform->GetHeight());
    const int textHeight = Label_Inform->GetHeight();
    Label_Inform->SetAutoSize(false);

    const int frameWidth = GetWidth() - GetClientWidth();
    SetWidth(std::max(GetWidth(), left + labelWidth + rightMargin + frameWidth));
    // The page holds the text with a margin below it; OK has its own room below the page.
    const int top = Label_Inform->GetTop();
    const int formNeeded = top + std::max(textHeight, 32) + 24 + 80;
    const int tallest = std::max(kReportHeight, screenHeight - 60);
    SetHeight(std::min(std::max(GetHeight(), formNeeded), tallest));
    PageControl_Msg->SetHeight(GetHeight() - 80);
    const int room = PageControl_Msg->GetHeight() - top - 16;
    if (formNeeded <= tallest) {
        Label_Inform->SetBounds(left, top, labelWidth, textHeight);
    } else {
        // Taller than the screen: the text scrolls in a box of its own, none of it cut off.
        Label_Inform->SetVisible(false);
        Memo_Report->SetBounds(left, top, labelWidth, room);
        Memo_Report->SetText(text);
        Memo_Report->SetVisible(true);
    }
    PlaceOkButton();
}

void TFmMsg::FormCreate(vcl::TObject*) {
    for (int i = 0; i < PageControl_Msg->PageCount(); ++i)
        PageControl_Msg->Pages(i)->SetTabVisible(false);
    PageControl_Msg->SetActivePage(TabSheet_Msg);
    SetCaption("");
    Label_Inform->SetCaption("Information");
    cancelled_ = false;
    Button_Cancel->SetCaption(GetMessageText(512));
    SetWidth(DefaultWidth);
    SetHeight(DefaultHeight);
}

int TFmMsg::FitLabelHeight(const std::string& text) const {
    const int lineFeeds = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    const int fitted = (Label_Inform->Font()->GetSize() + 4) * (2 + lineFeeds) + 50;
    return std::min(fitted, GetHeight() - 70);
}

void TFmMsg::PlaceOkButton() {
    const int pageBottom = PageControl_Msg->GetTop() + PageControl_Msg->GetHeight();
    const int room = GetClientHeight() - pageBottom;
    BitBtn1->SetLeft((GetClientWidth() - BitBtn1->GetWidth()) / 2);
    BitBtn1->SetTop(pageBottom + std::max(0, (room - BitBtn1->GetHeight()) / 2));
}

void TFmMsg::ShowMessagePage(const std::string& caption, const std::string& text, int height,
                             int width, int icon, bool showProgress, bool showCancel, bool showOk,
                             bool fitLabel) {
    LayOutMessagePage(caption, text, height, width, icon, showProgress, showCancel, showOk,
                      fitLabel);
    Show();
    Repaint();
}

void TFmMsg::LayOutMessagePage(const std::string& caption, const std::string& text, int height,
                               int width, int icon, bool showProgress, bool showCancel, bool showOk,
                               bool fitLabel) {
    PageControl_Msg->SetActivePage(TabSheet_Msg);
    ImageList1->GetPicture(icon, *Image_Inform->Picture());
    SetCaption(caption);
    SetHeight(height);
    SetWidth(width);
    Label_Inform->SetCaption(text);
    Label_Inform->SetVisible(true);
    Memo_Report->SetVisible(false);
    Label_Inform->SetHeight(fitLabel ? FitLabelHeight(text) : Label_Inform->Font()->GetSize() + 4);

    Button_Cancel->SetVisible(showCancel);
    cancelled_ = false;
    if (showCancel) {
        PageControl_Msg->SetHeight(GetHeight() - 50);
        Button_Cancel->SetTop(Label_Inform->GetHeight() + 40);
        Button_Cancel->SetLeft(Label_Inform->GetWidth() - 17);
    } else {
        PageControl_Msg->SetHeight(GetHeight() - 80);
    }

    ProgressBar1->SetVisible(showProgress);
    if (showProgress) {
        ProgressBar1->SetTop(Label_Inform->GetTop() + Label_Inform->GetHeight() + 4);
        ProgressBar1->SetPosition(0);
    }
    BitBtn1->SetVisible(showOk);
    BitBtn1->SetWidth(75);
    PlaceOkButton();
}

bool TFmMsg::UpdateProgress(const std::string& text, int position) {
    if (cancelled_) return false;
    if (PageControl_Msg->GetActivePage() != TabSheet_Msg) return true;
    Label_Inform->SetCaption(text);
    ProgressBar1->SetPosition(position);
    return true;
}

void TFmMsg::ShowCriticalTasks(unsigned count, const NasTaskInfo* tasks, const char* serverName) {
    ImageList1->GetPicture(IconWarning, *Image1->Picture());
    SetCaption(GetMessageText(851));
    SetFormStyle(vcl::fsNormal);
    SetWidth(407);
    SetHeight(416);
    PageControl_Msg->SetHeight(GetHeight() - 84);

    const std::string server = serverName ? serverName : "";
    std::string info = GetMessageText(852);
    info += "\n\n\n";
    info += GetMessageText(193);
    info += " " + server + "\n";
    info += GetMessageText(853);
    info += " " + std::to_string(count);
    Label_TaskInfo->SetCaption(info);

    ListView_Task->Items()->BeginUpdate();
    ListView_Task->Items()->Clear();
    ListView_Task->Columns()->Items(0)->SetCaption(GetMessageText(854));
    for (unsigned i = 0; tasks && i < count; ++i) {
        // The name is the text at the start of the record, never read past the record's end.
        const auto* name = reinterpret_cast<const char*>(tasks[i].data);
        ListView_Task->Items()->Add()->SetCaption(
            std::string(name, strnlen(name, sizeof tasks[i].data)));
    }
    ListView_Task->Items()->EndUpdate();

    BitBtn1->SetVisible(true);
    BitBtn1->SetWidth(98);
    PlaceOkButton();
    Show();
}

void TFmMsg::BitBtn1Click(vcl::TObject*) {
    Close();
}

void TFmMsg::Button_CancelClick(vcl::TObject*) {
    cancelled_ = true;
}

void TFmMsg::FormCloseQuery(vcl::TObject*, bool& CanClose) {
    Hide();
    SetWidth(DefaultWidth);
    SetHeight(DefaultHeight);
    CanClose = true;
}

void TFmMsg::FormClose(vcl::TObject*, vcl::TCloseAction& Action) {
    // A report has been read: it goes. The shared form stays for its next use.
    if (report_) {
        std::erase(openReports, this);
        Action = vcl::caFree;
    }
}
