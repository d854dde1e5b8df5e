// The message form: a page control with hidden tabs holding the critical-task page and the
// message page, an OK button below it.
#include "fmmsg.h"

using namespace vcl;

TFmMsg::TFmMsg(TComponent* Owner) : TForm(Owner) {
    Name = "FmMsg";
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    SetPosition(poScreenCenter);
    SetBounds(0, 0, DefaultWidth, DefaultHeight);

    BitBtn1 = Make<TBitBtn>(this, this, "BitBtn1");
    BitBtn1->SetKind(bkOK);
    BitBtn1->SetBounds(166, 350, 75, 25);

    PageControl_Msg = Make<TPageControl>(this, this, "PageControl_Msg");
    PageControl_Msg->SetStyle(tsFlatButtons);
    PageControl_Msg->SetAlign(alTop);
    PageControl_Msg->SetBounds(0, 0, 399, 330);

    TabSheet_TaskInfo = Make<TTabSheet>(this, nullptr, "TabSheet_TaskInfo");
    TabSheet_TaskInfo->SetPageControl(PageControl_Msg);
    TabSheet_TaskInfo->SetTabVisible(false);

    ListView_Task = Make<TListView>(this, TabSheet_TaskInfo, "ListView_Task");
    ListView_Task->SetViewStyle(vsReport);
    ListView_Task->SetReadOnly(true);
    ListView_Task->SetRowSelect(true);
    ListView_Task->SetGridLines(true);
    ListView_Task->SetAlign(alBottom);
    ListView_Task->SetBounds(0, 130, 391, 180);
    ListView_Task->Columns()->Add()->SetWidth(360);

    Label_TaskInfo = Make<TLabel>(this, TabSheet_TaskInfo, "Label_TaskInfo");
    Label_TaskInfo->SetAutoSize(false);
    Label_TaskInfo->SetWordWrap(true);
    Label_TaskInfo->SetShowAccelChar(false);
    Label_TaskInfo->SetBounds(64, 16, 320, 104);

    Image1 = Make<TImage>(this, TabSheet_TaskInfo, "Image1");
    Image1->SetBounds(16, 16, 32, 32);

    TabSheet_Msg = Make<TTabSheet>(this, nullptr, "TabSheet_Msg");
    TabSheet_Msg->SetPageControl(PageControl_Msg);
    TabSheet_Msg->SetTabVisible(false);

    Image_Inform = Make<TImage>(this, TabSheet_Msg, "Image_Inform");
    Image_Inform->SetBounds(16, 16, 32, 32);

    Label_Inform = Make<TLabel>(this, TabSheet_Msg, "Label_Inform");
    Label_Inform->SetAutoSize(false);
    Label_Inform->SetWordWrap(true);
    Label_Inform->SetShowAccelChar(false);
    Label_Inform->SetBounds(64, 16, 329, 13);

    Memo_Report = Make<TMemo>(this, TabSheet_Msg, "Memo_Report");
    Memo_Report->SetReadOnly(true);
    Memo_Report->SetWordWrap(true);
    Memo_Report->SetScrollBars(ssVertical);
    Memo_Report->SetBounds(64, 16, 329, 13);
    Memo_Report->SetVisible(false);

    ImageList1 = new TImageList(this);
    ImageList1->Name = "ImageList1";
    ImageList1->SetSize(32, 32);
    ImageList1->AddStockIcon(siInformation); // success
    ImageList1->AddStockIcon(siError);       // failure
    ImageList1->AddStockIcon(siWarning);     // warning
    ImageList1->AddStockIcon(siInformation); // wait

    Button_Cancel = Make<TButton>(this, TabSheet_Msg, "Button_Cancel");
    Button_Cancel->SetBounds(312, 56, 75, 25);
    Button_Cancel->SetCaption("Cancel");

    ProgressBar1 = Make<TProgressBar>(this, TabSheet_Msg, "ProgressBar1");
    ProgressBar1->SetBounds(64, 36, 329, 16);
    ProgressBar1->SetMin(0);
    ProgressBar1->SetMax(100);

    BitBtn1->OnClick = Method(this, &TFmMsg::BitBtn1Click);
    Button_Cancel->OnClick = Method(this, &TFmMsg::Button_CancelClick);
    OnCreate = Method(this, &TFmMsg::FormCreate);
    OnCloseQuery = Method(this, &TFmMsg::FormCloseQuery);
    OnClose = Method(this, &TFmMsg::FormClose);
}
