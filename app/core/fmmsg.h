// TFmMsg: the non-modal message form with two pages: a message page (icon, text, progress bar,
// Cancel and OK) for the progress of long operations and for task results, and a critical-task
// page that lists the server tasks blocking an operation. Made once at start and reused; a
// finished task's report opens a message form of its own (OpenReport), which stays until its OK.
#pragma once

#include "vcl/buttons.h"
#include "vcl/com_controls.h"
#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/image_list.h"
#include "vcl/list_view.h"
#include "vcl/memo.h"
#include "vcl/std_controls.h"

#include <string>
#include <vector>

struct NasTaskInfo;

class TFmMsg : public vcl::TForm {
public:
    static constexpr int DefaultWidth = 407;
    static constexpr int DefaultHeight = 410;
    // Icons of ImageList1.
    enum { IconSuccess = 0, IconFailure = 1, IconWarning = 2, IconWait = 3 };

    // Makes the components (the form's description).
    explicit TFmMsg(vcl::TComponent* Owner);
    ~TFmMsg() override;

    vcl::TBitBtn* BitBtn1 = nullptr;
    vcl::TPageControl* PageControl_Msg = nullptr;
    vcl::TTabSheet* TabSheet_TaskInfo = nullptr;
    vcl::TListView* ListView_Task = nullptr;
    vcl::TLabel* Label_TaskInfo = nullptr;
    vcl::TImage* Image1 = nullptr;
    vcl::TTabSheet* TabSheet_Msg = nullptr;
    vcl::TImage* Image_Inform = nullptr;
    vcl::TLabel* Label_Inform = nullptr;
    vcl::TMemo* Memo_Report = nullptr; // a report too tall for the screen scrolls here
    vcl::TImageList* ImageList1 = nullptr;
    vcl::TButton* Button_Cancel = nullptr;
    vcl::TProgressBar* ProgressBar1 = nullptr;

    // Shows the message page without waiting, progress at 0, Cancel clear.
    void ShowMessagePage(const std::string& caption, const std::string& text, int height, int width,
                         int icon, bool showProgress, bool showCancel, bool showOk, bool fitLabel);
    // Sets the page's text and progress; false once Cancel was pressed, true without change
    // while another page is active.
    bool UpdateProgress(const std::string& text, int position);
    bool IsCancelled() const { return cancelled_; }
    // The label height that fits text: (font points + 4) x (line feeds + 2) + 50, at most the
    // form height - 70.
    int FitLabelHeight(const std::string& text) const;
    // Lists the names of count task records on the critical-task page (the caller made it the
    // active page) for the server, and shows the form without waiting.
    void ShowCriticalTasks(unsigned count, const NasTaskInfo* tasks, const char* serverName);

    // A report on a message form of its own: the message page with OK, sized to show the whole
    // text, placed beside the reports still open. It stays until OK (or Close) and is then freed,
    // whatever the shared form shows meanwhile.
    static TFmMsg* OpenReport(const std::string& caption, const std::string& text, int icon);
    // The report forms open now, oldest first.
    static std::vector<TFmMsg*> OpenReports();
    bool IsReport() const { return report_; }

    void FormCreate(vcl::TObject* Sender);
    void BitBtn1Click(vcl::TObject* Sender);
    void Button_CancelClick(vcl::TObject* Sender);
    void FormCloseQuery(vcl::TObject* Sender, bool& CanClose);
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);

private:
    // The message page as ShowMessagePage shows it, not yet shown.
    void LayOutMessagePage(const std::string& caption, const std::string& text, int height,
                           int width, int icon, bool showProgress, bool showCancel, bool showOk,
                           bool fitLabel);
    // OK sits centred below the page control.
    void PlaceOkButton();
    // Widens the form for lines that cannot wrap and heightens it for the wrapped text, within
    // the screen.
    void FitToText(const std::string& text);

    bool cancelled_ = false;
    bool report_ = false;
};

extern TFmMsg* FmMsg;
