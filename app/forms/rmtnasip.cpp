// The add-address dialog: a prompt over the address box, OK and Cancel below; the range
// controls (two radio buttons, From and To boxes with their labels) sit under them, hidden.
#include "rmtnasip.h"

using namespace vcl;

namespace {

TEdit* MakeAddressBox(TForm_AddNASIP* form, const char* name, int left, int top) {
    TEdit* box = Make<TEdit>(form, form, name);
    box->SetBounds(left, top, 120, 21);
    box->SetMaxLength(15);
    box->SetText("   .   .   .   ");
    box->Font()->SetName("Monospace");
    box->Font()->SetPitch(fpFixed);
    return box;
}

} // namespace

TForm_AddNASIP::TForm_AddNASIP(TComponent* Owner) : TForm(Owner) {
    Name = "Form_AddNASIP";
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poScreenCenter);
    SetClientWidth(281);
    SetClientHeight(112);
    SetCaption("Add a Remote NAS");

    Label1 = Make<TLabel>(this, this, "Label1");
    Label1->SetBounds(16, 12, 160, 13);
    Label1->SetCaption("Please input the IP address:");

    AddOK = Make<TButton>(this, this, "AddOK");
    AddOK->SetBounds(48, 72, 81, 27);
    AddOK->SetCaption("OK");
    AddOK->SetTabOrder(1);

    AddCancel = Make<TButton>(this, this, "AddCancel");
    AddCancel->SetBounds(152, 72, 81, 27);
    AddCancel->SetCaption("Cancel");
    AddCancel->SetTabOrder(2);

    MaskEdit_IP_Single = MakeAddressBox(this, "MaskEdit_IP_Single", 16, 34);
    MaskEdit_IP_Single->SetTabOrder(0);
    MaskEdit_IPG01 = MakeAddressBox(this, "MaskEdit_IPG01", 64, 150);
    MaskEdit_IPG02 = MakeAddressBox(this, "MaskEdit_IPG02", 64, 178);

    RBtn_OneIP = Make<TRadioButton>(this, this, "RBtn_OneIP");
    RBtn_OneIP->SetBounds(16, 120, 120, 17);
    RBtn_OneIP->SetCaption("IP &address");
    RBtn_OneIP->SetChecked(true);

    RBtn_GroupIP = Make<TRadioButton>(this, this, "RBtn_GroupIP");
    RBtn_GroupIP->SetBounds(144, 120, 120, 17);
    RBtn_GroupIP->SetCaption("IP address &range");

    Label_From = Make<TLabel>(this, this, "Label_From");
    Label_From->SetBounds(16, 154, 40, 13);
    Label_From->SetCaption("&From:");

    Label_To = Make<TLabel>(this, this, "Label_To");
    Label_To->SetBounds(16, 182, 40, 13);
    Label_To->SetCaption("&To:");

    OnCreate = Method(this, &TForm_AddNASIP::FormCreate);
    OnShow = Method(this, &TForm_AddNASIP::NASIpOnShow);
    AddOK->OnClick = Method(this, &TForm_AddNASIP::btAddOK);
    AddCancel->OnClick = Method(this, &TForm_AddNASIP::btAddCancel);
    MaskEdit_IP_Single->OnKeyPress = Method(this, &TForm_AddNASIP::MaskEdit_IP_KeyPress);
    MaskEdit_IP_Single->OnKeyDown = Method(this, &TForm_AddNASIP::MaskEdit_IP_KeyDown);
    MaskEdit_IP_Single->OnChange = Method(this, &TForm_AddNASIP::MaskEdit_IP_Change);
}
