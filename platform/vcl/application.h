// The application object: owns the GUI event loop, runs calls on the GUI thread for other
// threads, and catches what event handlers throw so that no exception crosses the event loop.
#pragma once

#include "vcl/component.h"

#include <exception>
#include <functional>
#include <memory>
#include <thread>

namespace vcl {

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
    // Runs the event loop until Terminate.
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
    // Shows an exception's message to the user (standard error for now).
    void ShowException(const std::exception& e);

    TExceptionEvent OnException;

private:
    void Init(int& argc, char** argv);

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
