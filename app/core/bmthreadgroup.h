// TBMThreadGroup: gathers TBMThread components and other groups, and raises group events when the
// first member job starts (OnStart), as members tick (OnUpdate, following the running member with
// the highest UpdatePriority) and when the last running member job ends (OnTerminate). All events
// run on the GUI thread.
#pragma once

#include "bmthread.h"

#include <vector>

class TBMThreadGroup : public TBMThreadBase {
public:
    explicit TBMThreadGroup(vcl::TComponent* Owner) : TBMThreadBase(Owner) {}
    // Leaves its own group, then lets go of its members (their group becomes null).
    ~TBMThreadGroup() override;

    // Membership; each keeps the member's ThreadGroup in step. A group cannot join itself or a
    // group inside it.
    void AddThread(TBMThread* thread);
    void AddThreadGroup(TBMThreadGroup* group);
    void RemoveThread(TBMThread* thread);
    void RemoveThreadGroup(TBMThreadGroup* group);

    bool GetRuning() override { return GetCountRuning() > 0; }
    void ReportStarted(TBMThreadGroup* group) override;
    void ReportTerminated(TBMThreadGroup* group) override;
    // These call the same operation on every direct member, in the order they joined.
    void Start() override { Start(nullptr); }
    void Start(void* Data) override;
    void Stop() override;
    void Suspend() override;
    void Resume() override;

    virtual int GetCountRuning();
    int GetThreadItemsCount() const { return static_cast<int>(items_.size()); }
    TBMThreadBase* GetThreadItems(int index) const;
    int GetThreadsCount() const { return static_cast<int>(threads_.size()); }
    TBMThread* GetThreads(int index) const;

    // Reports of the members.
    void ThreadStarted(vcl::TObject* Sender, TBMExecuteThread* Thread, void*& Data);
    void ThreadUpdate(vcl::TObject* Sender, TBMExecuteThread* Thread, void*& Data,
                      int UpdatePriority, int Percent);
    void ThreadTerminated(vcl::TObject* Sender, TBMExecuteThread* Thread, void*& Data);

    TBMThreadUpdateEvent OnThreadUpdate;
    TBMThreadEvent OnThreadStart;
    TBMThreadEvent OnThreadTerminate;

protected:
    void AddMe(TBMThreadGroup* group) override { group->AddThreadGroup(this); }
    void RemoveMe(TBMThreadGroup* group) override { group->RemoveThreadGroup(this); }

private:
    std::vector<TBMThreadBase*> items_; // direct members, in joining order
    std::vector<TBMThread*> threads_;   // threads that joined directly or with a member group
    int countRuning_ = 0;
};
