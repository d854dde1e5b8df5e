// TForm_Central: the main window. Created first at start-up, so it is the application's main form;
// its first paint ends the about box's splash mode.
#pragma once

#include "vcl/form.h"

class TForm_Central : public vcl::TForm {
public:
    // Makes the components (app/forms/central.cpp).
    explicit TForm_Central(vcl::TComponent* Owner);
    ~TForm_Central() override;

    void FormCreate(vcl::TObject* Sender);
    // Ends the splash on the first paint; without an about box says so once.
    void FormPaint(vcl::TObject* Sender);

private:
    bool aboutMissingTold_ = false;
};

extern TForm_Central* Form_Central;
