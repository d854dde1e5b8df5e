#include "bmthreadgroup.h"

#include <algorithm>
#include <mutex>

namespace {

template <class T> void Erase(std::vector<T*>& list, const void* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end()) list.erase(it);
}

template <class T> bool Holds(const std::vector<T*>& list, const void* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

TBMThreadGroup::~TBMThreadGroup() {
    SetThreadGroup(nullptr); // while the lists still name what the parent must forget
    std::lock_guard lock(Lock);
    for (TBMThreadBase* member : items_)
        member->threadGroup_ = nullptr;
    items_.clear();
    threads_.clear();
}

void TBMThreadGroup::AddThread(TBMThread* thread) {
    if (!thread) return;
    if (thread->GetThreadGroup() != this) {
        thread->SetThreadGroup(this); // comes back here through AddMe
        return;
    }
    if (Holds(items_, thread)) return;
    if (thread->GetRuning()) thread->ReportStarted(this);
    std::lock_guard lock(Lock);
    items_.push_back(thread);
    threads_.push_back(thread);
}

void TBMThreadGroup::AddThreadGroup(TBMThreadGroup* group) {
    if (!group) return;
    if (group->GetThreadGroup() != this) {
        group->SetThreadGroup(this); // refused when it would make a loop
        return;
    }
    if (Holds(items_, group)) return;
    if (group->GetRuning()) group->ReportStarted(this);
    std::lock_guard lock(Lock);
    items_.push_back(group);
    threads_.insert(threads_.end(), group->threads_.begin(), group->threads_.end());
}

void TBMThreadGroup::RemoveThread(TBMThread* thread) {
    if (!thread) return;
    if (thread->GetThreadGroup() == this) {
        thread->SetThreadGroup(nullptr); // comes back here through RemoveMe
        return;
    }
    if (!Holds(items_, thread)) return;
    if (thread->GetRuning()) thread->ReportTerminated(this);
    std::lock_guard lock(Lock);
    Erase(items_, thread);
    Erase(threads_, thread);
}

void TBMThreadGroup::RemoveThreadGroup(TBMThreadGroup* group) {
    if (!group) return;
    if (group->GetThreadGroup() == this) {
        group->SetThreadGroup(nullptr);
        return;
    }
    if (!Holds(items_, group)) return;
    if (group->GetRuning()) group->ReportTerminated(this);
    std::lock_guard lock(Lock);
    Erase(items_, group);
    for (TBMThread* t : group->threads_)
        Erase(threads_, t);
}

void TBMThreadGroup::ReportStarted(TBMThreadGroup* group) {
    for (TBMThreadBase* member : std::vector<TBMThreadBase*>(items_))
        member->ReportStarted(group);
}

void TBMThreadGroup::ReportTerminated(TBMThreadGroup* group) {
    for (TBMThreadBase* member : std::vector<TBMThreadBase*>(items_))
        member->ReportTerminated(group);
}

void TBMThreadGroup::Start(void* Data) {
    for (TBMThreadBase* member : std::vector<TBMThreadBase*>(items_))
        member->Start(Data);
}

void TBMThreadGroup::Stop() {
    for (TBMThreadBase* member : std::vector<TBMThreadBase*>(items_))
        member->Stop();
}

void TBMThreadGroup::Suspend() {
    for (TBMThreadBase* member : std::vector<TBMThreadBase*>(items_))
        member->Suspend();
}

void TBMThreadGroup::Resume() {
    for (TBMThreadBase* member : std::vector<TBMThreadBase*>(items_))
        member->Resume();
}

int TBMThreadGroup::GetCountRuning() {
    std::lock_guard lock(Lock);
    return countRuning_;
}

TBMThreadBase* TBMThreadGroup::GetThreadItems(int index) const {
    if (index < 0 || index >= GetThreadItemsCount()) return nullptr;
    return items_[static_cast<size_t>(index)];
}

TBMThread* TBMThreadGroup::GetThreads(int index) const {
    if (index < 0 || index >= GetThreadsCount()) return nullptr;
    return threads_[static_cast<size_t>(index)];
}

void TBMThreadGroup::ThreadStarted(vcl::TObject* Sender, TBMExecuteThread* Thread, void*& Data) {
    int before;
    {
        std::lock_guard lock(Lock);
        before = countRuning_++;
        if (OnThreadStart) OnThreadStart(Sender, Thread, Data);
    }
    if (TBMThreadGroup* parent = GetThreadGroup()) parent->ThreadStarted(Sender, Thread, Data);
    if (before == 0 && OnStart) OnStart(Sender, Thread, Data);
}

void TBMThreadGroup::ThreadUpdate(vcl::TObject* Sender, TBMExecuteThread* Thread, void*& Data,
                                  int UpdatePriority, int Percent) {
    if (OnThreadUpdate) OnThreadUpdate(Sender, Thread, Data, Percent);
    if (!OnUpdate) return;
    for (TBMThreadBase* member : items_)
        if (member->GetRuning() && member->UpdatePriority > UpdatePriority) return;
    OnUpdate(Sender, Thread, Data, Percent);
}

void TBMThreadGroup::ThreadTerminated(vcl::TObject* Sender, TBMExecuteThread* Thread, void*& Data) {
    int after;
    {
        std::lock_guard lock(Lock);
        if (countRuning_ > 0) --countRuning_;
        after = countRuning_;
    }
    if (OnThreadTerminate) OnThreadTerminate(Sender, Thread, Data);
    if (TBMThreadGroup* parent = GetThreadGroup()) parent->ThreadTerminated(Sender, Thread, Data);
    if (after == 0 && OnTerminate) OnTerminate(Sender, Thread, Data);
}
