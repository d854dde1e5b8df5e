#include "central.h"

#include "about.h"
#include "brandinfo.h"
#include "kinddialog.h"
#include "msgbox.h"

TForm_Central* Form_Central = nullptr;

TForm_Central::~TForm_Central() {
    if (Form_Central == this) Form_Central = nullptr;
}

void TForm_Central::FormCreate(vcl::TObject*) {
    SetCaption(BrandInfo.APPNAME);
}

void TForm_Central::FormPaint(vcl::TObject*) {
    if (!Form_About) {
        // Told once: the box itself makes the window paint again.
        if (!aboutMissingTold_) {
            aboutMissingTold_ = true;
            ShowKindMessage(GetMessageText(57), 1);
        }
        return;
    }
    if (!Form_About->Interactive) {
        Form_About->Interactive = true;
        Form_About->Close();
    }
}
