// The remote NAS list: a label over the list of addresses and names, Add, Delete and Close
// buttons on the right.
#include "remotenas.h"

using namespace vcl;

TForm_RemoteNAS::TForm_RemoteNAS(TComponent* Owner) : TForm(Owner) {
    Name = "Form_RemoteNAS";
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poScreenCenter);
    SetClientWidth(392);
    SetClientHeight(229);
    SetCaption("Remote NAS List");

    Label1 = Make<TLabel>(this, this, "Label1");
    Label1->SetBounds(12, 10, 100, 13);
    Label1->SetCaption("Remote NAS List:");

    NASListView = Make<TListView>(this, this, "NASListView");
    NASListView->SetBounds(12, 30, 272, 187);
    NASListView->SetViewStyle(vsReport);
    NASListView->SetRowSelect(true);
    NASListView->SetReadOnly(true);
    NASListView->SetHideSelection(false);
    NASListView->SetTabOrder(0);
    TListColumn* addressColumn = NASListView->Columns()->Add();
    addressColumn->SetCaption("NAS IP Address");
    addressColumn->SetWidth(120);
    TListColumn* nameColumn = NASListView->Columns()->Add();
    nameColumn->SetCaption("NAS Name");
    nameColumn->SetWidth(140);

    btNASAdd = Make<TButton>(this, this, "btNASAdd");
    btNASAdd->SetBounds(300, 30, 80, 27);
    btNASAdd->SetCaption("Add");
    btNASAdd->SetTabOrder(1);

    btNASDelete = Make<TButton>(this, this, "btNASDelete");
    btNASDelete->SetBounds(300, 66, 80, 27);
    btNASDelete->SetCaption("Delete");
    btNASDelete->SetTabOrder(2);

    btNASClose = Make<TButton>(this, this, "btNASClose");
    btNASClose->SetBounds(300, 190, 80, 27);
    btNASClose->SetCaption("Close");
    btNASClose->SetCancel(true);
    btNASClose->SetTabOrder(3);

    OnCreate = Method(this, &TForm_RemoteNAS::FormCreate);
    OnShow = Method(this, &TForm_RemoteNAS::FormShow);
    btNASAdd->OnClick = Method(this, &TForm_RemoteNAS::btNASAddClick);
    btNASDelete->OnClick = Method(this, &TForm_RemoteNAS::btNASDeleteClick);
    btNASClose->OnClick = Method(this, &TForm_RemoteNAS::btNASCloseClick);
}
