// The application object: owns the GUI event loop, runs calls on the GUI thread for other
// threads, keeps the forms, and catches what event handlers throw so that no exception crosses
// the event loop (the message is shown through the dialog host and the loop carries on).
#pragma once

#include "vcl/component.h"
#include "vcl/graphics.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vcl {

class TForm;

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;

class TApplication : public TComponent {
public:
    // Makes the GUI application of the toolkit on the calling thread, which becomes the GUI
    // thread, unless the toolkit's application object exists already (then it is used as it is).
    // argc and argv must outlive the object. Only one TApplication exists at a time.
    TApplication(int& argc, char** argv);
    TApplication();
    ~TApplication() override;

    // Handles the events that are pending now, then returns.
    void ProcessMessages();
    // Waits for at least one event and handles what is pending.
    void HandleMessage();
    // Shows the main form (when there is one and ShowMainForm is set) and runs the event loop
    // until Terminate; closing the main form terminates.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Queues call to run on the GUI thread; callable from any thread. Returns at once.
    void Post(std::function<void()> call);
    // Runs call on the GUI thread and waits for it (at once when called on the GUI thread);
    // rethrows in the caller what the call threw.
    void Synchronize(const std::function<void()>& call);
    bool InGuiThread() const { return std::this_thread::get_id() == guiThread_; }

    // Reports an exception caught at an event dispatch: to OnException when assigned, else by
    // ShowException. Never throws.
    void HandleException(TObject* sender, std::exception_ptr error);
    // Shows an exception's message in a box with the stop icon and the title as caption (and
    // on standard error).
    void ShowException(const std::exception& e);

    // Makes a form of class T owned by the application into ref, then raises its OnCreate; the
    // first form made so becomes the main form once its OnCreate is done.
    template <class T> void CreateForm(T*& ref) {
        T* form = new T(this);
        ref = form;
        form->AfterConstruction();
        if (!mainForm_) mainForm_ = form;
    }
    TForm* MainForm() const { return mainForm_; }
    // Every form that exists, in creation order.
    int FormCount() const { return static_cast<int>(forms_.size()); }
    TForm* Forms(int index) const;

    // A message box through the dialog host (flags as in dialog_host.h); returns the button id.
    // An empty caption shows the title.
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
    // Raises the active form, or the main form, above other windows.
    void BringToFront();

    std::string GetTitle() const { return title_; }
    void SetTitle(const std::string& title);
    std::string HelpFile;
    bool ShowMainForm = true;
    // The window icon of every form.
    TPicture* Icon() { return &icon_; }

    TExceptionEvent OnException;

private:
    friend class TForm;
    void Init(int& argc, char** argv);
    void FormCreated(TForm* form);
    void FormDestroyed(TForm* form);
    void ApplyIcon();

    TForm* mainForm_ = nullptr;
    std::vector<TForm*> forms_;
    std::string title_ = "brimlet";
    TPicture icon_;

    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::thread::id guiThread_;
    bool terminated_ = false;
};

// The one application object, or null before it is made and after it is gone.
extern TApplication* Application;

// Reports the current exception through the application (standard error without one).
void ReportException(TObject* sender, std::exception_ptr error);

// Runs an event handler so that nothing it throws escapes into the event loop.
template <class F> void Guarded(TObject* sender, F&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        ReportException(sender, std::current_exception());
    }
}

} // namespace vcl
