#include "vcl/application.h"

#include "detail/picture.h"
#include "vcl/dialog_host.h"
#include "vcl/exception.h"
#include "vcl/form.h"
#include "vcl/modal_host.h"
#include "vcl/screen.h"
#include "vcl/sync_queue.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QMetaObject>
#include <QObject>
#include <QPixmap>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace vcl {

TApplication* Application = nullptr;

namespace {

int defaultArgc = 1;
char defaultName[] = "brimlet";
char* defaultArgv[] = {defaultName, nullptr};

void WriteToStderr(const char* message) {
    std::fprintf(stderr, "brimlet: exception: %s\n", message);
    std::fflush(stderr);
}

} // namespace

struct TApplication::Impl {
    std::unique_ptr<QCoreApplication> ownApp; // null when the toolkit's application existed
    std::unique_ptr<QObject> context;         // receiver of posted calls, lives on the GUI thread
};

TApplication::TApplication(int& argc, char** argv) : TComponent(nullptr) {
    Init(argc, argv);
}

TApplication::TApplication() : TComponent(nullptr) {
    Init(defaultArgc, defaultArgv);
}

void TApplication::Init(int& argc, char** argv) {
    if (Application) throw std::logic_error("only one TApplication may exist");
    impl_ = std::make_unique<Impl>();
    if (!QCoreApplication::instance()) impl_->ownApp = std::make_unique<QApplication>(argc, argv);
    // The program ends through Terminate only. Forms do not count as windows that end it when
    // closed, so the toolkit would otherwise take any other window it shows (a message box, a
    // file dialog) for the last one: closing that would quit, and the quit closes every form,
    // the main form (ending the program) and any modal dialog below the box among them.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    guiThread_ = std::this_thread::get_id();
    impl_->context = std::make_unique<QObject>();
    QObject* context = impl_->context.get();
    detail::SyncQueue::Instance().SetWake([context] {
        QMetaObject::invokeMethod(
            context, [] { detail::SyncQueue::Instance().RunPending(); }, Qt::QueuedConnection);
    });
    Application = this;
    Screen = new TScreen(this);
    icon_.OnChange = [this] { ApplyIcon(); };
}

TApplication::~TApplication() {
    // Components owned by the application go while it still exists and dispatches.
    DestroyComponents();
    Screen = nullptr;
    detail::SyncQueue::Instance().RunPending();
    detail::SyncQueue::Instance().SetWake({});
    impl_->context.reset();
    impl_->ownApp.reset();
    Application = nullptr;
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    detail::SyncQueue::Instance().RunPending();
}

void TApplication::HandleMessage() {
    if (!detail::SyncQueue::Instance().RunPending())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void TApplication::Run() {
    if (mainForm_ && ShowMainForm && !terminated_) mainForm_->Show();
    while (!terminated_)
        QCoreApplication::exec();
}

void TApplication::Terminate() {
    terminated_ = true;
    // exit, not quit: the toolkit's quit first asks every window to close and gives up when one
    // stays shown (the main form, which ends the program here rather than hide, or a report that
    // waits for its OK), and the program would run on.
    QCoreApplication::exit(0);
}

void TApplication::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(
        impl_->context.get(), [this, call = std::move(call)] { Guarded(this, call); },
        Qt::QueuedConnection);
}

void TApplication::Synchronize(const std::function<void()>& call) {
    if (InGuiThread())
        call();
    else
        detail::SyncQueue::Instance().RunAndWait(call);
}

void TApplication::HandleException(TObject* sender, std::exception_ptr error) {
    if (!error) return;
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            if (OnException)
                OnException(sender, e);
            else
                ShowException(e);
        } catch (...) {
            Exception unknown("unknown exception");
            if (OnException)
                OnException(sender, unknown);
            else
                ShowException(unknown);
        }
    } catch (...) {
        WriteToStderr("exception in the exception handler");
    }
}

void TApplication::ShowException(const std::exception& e) {
    WriteToStderr(e.what());
    TModalScope modal;
    DialogHost().MessageBox(MessageBoxRequest(e.what(), title_, MB_OK | MB_ICONSTOP));
}

TForm* TApplication::Forms(int index) const {
    if (index < 0 || index >= FormCount()) return nullptr;
    return forms_[static_cast<size_t>(index)];
}

void TApplication::FormCreated(TForm* form) {
    forms_.push_back(form);
}

void TApplication::FormDestroyed(TForm* form) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    if (mainForm_ == form) mainForm_ = nullptr;
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    TModalScope modal;
    return DialogHost().MessageBox(
        MessageBoxRequest(text, caption.empty() ? title_ : caption, flags));
}

void TApplication::BringToFront() {
    TForm* target = nullptr;
    for (TForm* f : forms_)
        if (f->Active()) target = f;
    if (!target) target = mainForm_;
    if (target) target->BringToFront();
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
}

void TApplication::ApplyIcon() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon_.Data().image)));
}

void ReportException(TObject* sender, std::exception_ptr error) {
    if (!error) return;
    if (Application) {
        Application->HandleException(sender, error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        WriteToStderr(e.what());
    } catch (...) {
        WriteToStderr("unknown exception");
    }
}

} // namespace vcl
