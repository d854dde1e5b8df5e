#include "vcl/modal_host.h"

#include "vcl/application.h"
#include "vcl/form.h"

namespace vcl {

namespace {

// The desktop: the form stays up while the event loop runs, until it ends.
class DesktopModalHost : public TModalHost {
public:
    int RunModal(TForm& form) override {
        form.BeginModal();
        try {
            while (!form.ModalDone())
                Application->HandleMessage();
        } catch (...) {
            form.EndModal();
            throw;
        }
        form.EndModal();
        return form.GetModalResult();
    }
};

DesktopModalHost desktopHost;
TModalHost* current = nullptr;
int depth = 0;

} // namespace

TModalHost& ModalHost() {
    return current ? *current : desktopHost;
}

TModalHost* SetModalHost(TModalHost* host) {
    TModalHost* previous = current;
    current = host == &desktopHost ? nullptr : host;
    return previous;
}

int ModalDepth() {
    return depth;
}

TModalScope::TModalScope() {
    ++depth;
}

TModalScope::~TModalScope() {
    --depth;
}

} // namespace vcl
