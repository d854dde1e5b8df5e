#include "task_session.h"

#include "nasserver.h"

#include <climits>

int ServerSessionSink::Start(const NasCDTable& table, NasMirrorInfo& request) {
    return server_.MirrorStart(&table, &request, flag_);
}

int ServerSessionSink::Send(const std::uint8_t* data, std::size_t length) {
    if (length > static_cast<std::size_t>(INT_MAX)) return -1;
    return server_.SendCdData(data, static_cast<int>(length));
}

int ServerSessionSink::Complete() {
    return server_.MirrorComplete();
}

int ServerSessionSink::Abort(int reason) {
    return server_.MirrorAbort(reason);
}

void FailTask(TaskRecord& task, int code, std::uint8_t status) {
    task.errorCode.store(static_cast<std::uint8_t>(code));
    task.status.store(status);
    task.RequestStop();
}

bool MirrorSession::Start(const NasCDTable& table) {
    if (sink_ == nullptr) {
        FailTask(task_, task_error::UnknownResult);
        return false;
    }
    // The unit may answer with the name it stores the image under: the request is sent as a
    // copy and the answer reaches the task under its lock, since the row shows that name.
    NasMirrorInfo request = task_.request;
    const int result = sink_->Start(table, request);
    task_.EditRequest([&](NasMirrorInfo& r) { r = request; });
    open_ = result == 0;
    if (!open_) FailTask(task_, MapApiResultToTaskError(result));
    return open_;
}

bool MirrorSession::Send(const void* data, std::size_t length) {
    const int result = sink_->Send(static_cast<const std::uint8_t*>(data), length);
    if (result == 0) return true;
    FailTask(task_, MapApiResultToTaskError(result));
    return false;
}

bool MirrorSession::Flush() {
    const int result = sink_ != nullptr ? sink_->Drain() : 0;
    if (result == 0) return true;
    FailTask(task_, MapApiResultToTaskError(result));
    return false;
}

void MirrorSession::End() {
    if (!open_) return;
    open_ = false;
    // The session is judged once every message handed over has its answer.
    if (const int result = sink_->Drain(); result != 0 && task_.errorCode.load() == 0)
        FailTask(task_, MapApiResultToTaskError(result));
    const std::uint8_t error = task_.errorCode.load();
    if (error == 0 && task_.status.load() == task_status::Done) {
        if (const int result = sink_->Complete(); result != 0)
            FailTask(task_, MapApiResultToTaskError(result));
        return;
    }
    const bool stopped = task_.status.load() == task_status::Stopped;
    sink_->Abort(stopped ? kAbortStopped : kAbortFailed);
}
