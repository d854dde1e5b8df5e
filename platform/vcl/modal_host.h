// The modal host: TForm::ShowModal runs through it. The desktop host shows the form modally and
// runs a nested event loop until the form ends; tests install a scripted responder that drives the
// form or answers for it without blocking.
#pragma once

namespace vcl {

class TForm;

class TModalHost {
public:
    virtual ~TModalHost() = default;
    // Runs form modally (TForm::BeginModal, ModalDone, EndModal) and returns its ModalResult.
    virtual int RunModal(TForm& form) = 0;
};

TModalHost& ModalHost();
// Makes host the current one (null: the desktop's again); returns the one it replaces.
TModalHost* SetModalHost(TModalHost* host);

// The number of modal loops running now: modal forms, message boxes, file and folder dialogs and
// popup menus. Timers and posted calls run inside them, so code that frees what a waiting caller
// may still use checks it first.
int ModalDepth();
// Counts one modal loop for the life of the scope.
class TModalScope {
public:
    TModalScope();
    ~TModalScope();
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;
};

} // namespace vcl
