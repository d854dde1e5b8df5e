// TBMThread: a component that runs one job (OnExecute) on a worker thread and reports its start
// (OnStart), progress ticks (OnUpdate, every RefreshInterval ms) and end (OnTerminate) on the GUI
// thread. Needs the application object (vcl::Application) for its timer and its GUI-thread calls.
//
// Pause is cooperative: Suspend counts a pause that the job waits out at its next
// Thread->Terminated() check; Resume releases it; Stop ends any pause.
//
// The component's lock is held around its events, so an event handler must not free the
// component that raised it.
#pragma once

#include "vcl/component.h"
#include "vcl/critical_section.h"
#include "vcl/events.h"
#include "vcl/thread.h"

#include <atomic>
#include <functional>

namespace vcl {
class TTimer;
}

class TBMThread;
class TBMThreadGroup;
class TBMExecuteThread;

// Data refers to the Data field of the worker named by Thread: a handler may replace the pointer
// for the handlers that follow. Sender is the TBMThread whose job it concerns.
using TBMThreadEvent =
    std::function<void(vcl::TObject* Sender, TBMExecuteThread* Thread, void*& Data)>;
using TBMThreadUpdateEvent =
    std::function<void(vcl::TObject* Sender, TBMExecuteThread* Thread, void*& Data, int Percent)>;
using TBMThreadNotifyEvent = std::function<void(TBMThread* Sender, TBMExecuteThread* Thread)>;
using TBMThreadDataNotifyEvent =
    std::function<void(TBMThread* Sender, TBMExecuteThread* Thread, void*& Data)>;

// What components and groups share: the GUI-thread events, group membership, update priority
// and a re-entrant lock held around the events.
class TBMThreadBase : public vcl::TComponent {
public:
    explicit TBMThreadBase(vcl::TComponent* Owner) : vcl::TComponent(Owner) {}

    virtual bool GetRuning() = 0;
    virtual void ReportStarted(TBMThreadGroup* group) = 0;
    virtual void ReportTerminated(TBMThreadGroup* group) = 0;
    virtual void Start() = 0;
    virtual void Start(void* Data) = 0;
    virtual void Stop() = 0;
    virtual void Suspend() = 0;
    virtual void Resume() = 0;

    TBMThreadGroup* GetThreadGroup() const { return threadGroup_; }
    // Leaves the current group (if any) and joins group (if not null).
    void SetThreadGroup(TBMThreadGroup* group);

    TBMThreadUpdateEvent OnUpdate;
    TBMThreadEvent OnStart;
    TBMThreadEvent OnTerminate;
    // Picks whose updates a group reports: the running member with the highest value.
    int UpdatePriority = 0;
    vcl::TCriticalSection Lock;

protected:
    virtual void AddMe(TBMThreadGroup* group) = 0;
    virtual void RemoveMe(TBMThreadGroup* group) = 0;

private:
    friend class TBMThreadGroup;
    TBMThreadGroup* threadGroup_ = nullptr;
};

class TBMThread : public TBMThreadBase {
public:
    // Idle, RefreshInterval 100, Priority tpNormal.
    explicit TBMThread(vcl::TComponent* Owner);
    // A running job is asked to end and waited for (the GUI thread keeps handling messages);
    // it raises no OnTerminate then.
    ~TBMThread() override;

    bool GetRuning() override { return worker_.load() != nullptr; }
    void ReportStarted(TBMThreadGroup* group) override;
    void ReportTerminated(TBMThreadGroup* group) override;
    void Start() override { Start(nullptr); }
    // Starts a job unless one runs: OnStart (and the group's start report) before the job's first
    // statement, then the worker, then the update timer.
    void Start(void* Data) override;
    // Asks the job to end; returns at once.
    void Stop() override;
    void Suspend() override;
    void Resume() override;

    unsigned GetTimeInterval() const;
    void SetTimeInterval(unsigned milliseconds);
    vcl::TThreadPriority GetPriority() const { return priority_; }
    void SetPriority(vcl::TThreadPriority priority);
    // The worker of the running job, or null.
    TBMExecuteThread* Worker() const { return worker_.load(); }

    // The job; runs on the worker thread. It looks at Thread->Terminated() from time to time.
    TBMThreadEvent OnExecute;

protected:
    void AddMe(TBMThreadGroup* group) override;
    void RemoveMe(TBMThreadGroup* group) override;
    virtual void OnUpdateTimer(vcl::TObject* Sender);
    virtual void Execute(TBMExecuteThread* Thread);
    virtual void OnThreadTerminate(vcl::TObject* Sender);
    virtual void OnThreadTerminateClose(vcl::TObject* Sender);

private:
    friend class TBMExecuteThread;
    vcl::TTimer* timer_;
    std::atomic<TBMExecuteThread*> worker_{nullptr};
    vcl::TThreadPriority priority_ = vcl::tpNormal;
};

// The worker thread of one run of a TBMThread. It frees itself after the run.
class TBMExecuteThread : public vcl::TThread {
public:
    TBMExecuteThread(TBMThread* owner, void* data) : Owner(owner), Data(data) {}

    // Run method on the GUI thread and wait for it; nothing happens once Terminate was called or
    // for an empty method. Kind 1 gets (Owner); kind 2 (Owner, this worker); kind 3 stores data in
    // the worker and passes a reference to the stored copy.
    void Synchronize(const vcl::TNotifyEvent& method);
    void Synchronize(const TBMThreadNotifyEvent& method);
    void Synchronize(const TBMThreadDataNotifyEvent& method, void* data);
    // The data of the last kind 3 call, as its method left it.
    void* SyncData() const { return syncData_; }

    TBMThread* const Owner;
    void* Data;
    // Progress the job may set; each update tick hands it to OnUpdate.
    std::atomic<int> Percent{0};

protected:
    void Execute() override { Owner->Execute(this); }

private:
    void* syncData_ = nullptr;
};
