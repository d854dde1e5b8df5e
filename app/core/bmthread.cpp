#include "bmthread.h"

#include "bmthreadgroup.h"
#include "vcl/application.h"
#include "vcl/timer.h"

#include <mutex>

void TBMThreadBase::SetThreadGroup(TBMThreadGroup* group) {
    if (group == threadGroup_) return;
    // A group cannot join itself or a group inside it.
    for (const TBMThreadBase* g = group; g; g = g->threadGroup_)
        if (g == this) return;
    // While it leaves, the member belongs to no group, so the group's removal does not come back
    // here; while it joins, it already names the new group.
    if (TBMThreadGroup* old = threadGroup_) {
        threadGroup_ = nullptr;
        RemoveMe(old);
    }
    threadGroup_ = group;
    if (group) AddMe(group);
}

TBMThread::TBMThread(vcl::TComponent* Owner) : TBMThreadBase(Owner), timer_(new vcl::TTimer(this)) {
    timer_->SetEnabled(false);
    timer_->OnTimer = vcl::Method(this, &TBMThread::OnUpdateTimer);
    timer_->SetInterval(100);
}

TBMThread::~TBMThread() {
    timer_->SetEnabled(false);
    // Leaving the group while the job still counts as running tells the group of its end, so
    // that the group's running count does not keep a job that no longer exists.
    SetThreadGroup(nullptr);
    if (TBMExecuteThread* worker = worker_.load()) {
        worker->OnTerminate = vcl::Method(this, &TBMThread::OnThreadTerminateClose);
        worker->Resume();
        worker->Terminate();
        while (worker_.load()) {
            if (vcl::Application)
                vcl::Application->HandleMessage();
            else
                std::this_thread::yield();
        }
    }
    delete timer_;
}

void TBMThread::ReportStarted(TBMThreadGroup* group) {
    TBMExecuteThread* worker = worker_.load();
    if (worker && group) group->ThreadStarted(this, worker, worker->Data);
}

void TBMThread::ReportTerminated(TBMThreadGroup* group) {
    TBMExecuteThread* worker = worker_.load();
    if (worker && group) group->ThreadTerminated(this, worker, worker->Data);
}

void TBMThread::AddMe(TBMThreadGroup* group) {
    group->AddThread(this);
}

void TBMThread::RemoveMe(TBMThreadGroup* group) {
    group->RemoveThread(this);
}

void TBMThread::Start(void* Data) {
    if (worker_.load()) return;
    auto* worker = new TBMExecuteThread(this, Data);
    worker->FreeOnTerminate = true;
    worker->OnTerminate = vcl::Method(this, &TBMThread::OnThreadTerminate);
    worker->SetPriority(priority_);
    worker_ = worker;
    // The job starts even when a start handler throws; the exception goes on to the caller.
    struct Launch {
        TBMExecuteThread* worker;
        vcl::TTimer* timer;
        ~Launch() {
            worker->Resume();
            timer->SetEnabled(true);
        }
    } launch{worker, timer_};
    if (TBMThreadGroup* group = GetThreadGroup()) group->ThreadStarted(this, worker, worker->Data);
    if (OnStart) {
        std::lock_guard lock(Lock);
        OnStart(this, worker, worker->Data);
    }
}

void TBMThread::Stop() {
    if (TBMExecuteThread* worker = worker_.load()) {
        worker->Resume();
        worker->Terminate();
    }
}

void TBMThread::Suspend() {
    if (TBMExecuteThread* worker = worker_.load()) worker->Suspend();
}

void TBMThread::Resume() {
    if (TBMExecuteThread* worker = worker_.load()) worker->Resume();
}

unsigned TBMThread::GetTimeInterval() const {
    return timer_->GetInterval();
}

void TBMThread::SetTimeInterval(unsigned milliseconds) {
    timer_->SetInterval(milliseconds);
}

void TBMThread::SetPriority(vcl::TThreadPriority priority) {
    priority_ = priority;
    if (TBMExecuteThread* worker = worker_.load()) worker->SetPriority(priority);
}

void TBMThread::OnUpdateTimer(vcl::TObject*) {
    TBMExecuteThread* worker = worker_.load();
    if (!worker) return;
    if (TBMThreadGroup* group = GetThreadGroup())
        group->ThreadUpdate(this, worker, worker->Data, UpdatePriority, worker->Percent.load());
    if (OnUpdate) {
        std::lock_guard lock(Lock);
        OnUpdate(this, worker, worker->Data, worker->Percent.load());
    }
}

void TBMThread::Execute(TBMExecuteThread* Thread) {
    if (OnExecute) OnExecute(this, Thread, Thread->Data);
}

void TBMThread::OnThreadTerminate(vcl::TObject* Sender) {
    timer_->SetEnabled(false);
    auto* worker = static_cast<TBMExecuteThread*>(static_cast<vcl::TThread*>(Sender));
    worker_ = nullptr;
    if (TBMThreadGroup* group = GetThreadGroup())
        group->ThreadTerminated(this, worker, worker->Data);
    if (OnTerminate) {
        std::lock_guard lock(Lock);
        OnTerminate(this, worker, worker->Data);
    }
}

void TBMThread::OnThreadTerminateClose(vcl::TObject*) {
    worker_ = nullptr;
}

void TBMExecuteThread::Synchronize(const vcl::TNotifyEvent& method) {
    if (TerminateRequested() || !method) return;
    vcl::TThread::Synchronize([&] { method(Owner); });
}

void TBMExecuteThread::Synchronize(const TBMThreadNotifyEvent& method) {
    if (TerminateRequested() || !method) return;
    vcl::TThread::Synchronize([&] { method(Owner, this); });
}

void TBMExecuteThread::Synchronize(const TBMThreadDataNotifyEvent& method, void* data) {
    if (TerminateRequested() || !method) return;
    syncData_ = data;
    vcl::TThread::Synchronize([&] { method(Owner, this, syncData_); });
}
