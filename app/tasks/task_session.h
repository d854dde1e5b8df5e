// The session a task sends its data through: a mirror session of the task's own server object,
// ended exactly once and only when it was opened: completed when everything was sent, aborted
// otherwise (4096 for a stop by the user, 4097 for a failure).
#pragma once

#include "isobuild_sink.h"
#include "task_record.h"

class CNasServer;

// The mirror session of a server object; utf8Folder is the start request's flag.
class ServerSessionSink : public IsoImageSink {
public:
    ServerSessionSink(CNasServer& server, int utf8Folder) : server_(server), flag_(utf8Folder) {}
    int Start(const NasCDTable& table, NasMirrorInfo& request) override;
    int Send(const std::uint8_t* data, std::size_t length) override;
    int Complete() override;
    int Abort(int reason) override;

private:
    CNasServer& server_;
    int flag_;
};

// Passes every call to another sink; a data message waits first while the task is paused (the
// image builder streams through it, so a build pauses between messages).
class PausingSink : public IsoImageSink {
public:
    PausingSink(TaskRecord& task, IsoImageSink& sink) : task_(task), sink_(sink) {}
    int Start(const NasCDTable& table, NasMirrorInfo& request) override {
        return sink_.Start(table, request);
    }
    int Send(const std::uint8_t* data, std::size_t length) override {
        task_.WaitWhilePaused();
        return sink_.Send(data, length);
    }
    int Drain() override { return sink_.Drain(); }
    int Complete() override { return sink_.Complete(); }
    int Abort(int reason) override { return sink_.Abort(reason); }

private:
    TaskRecord& task_;
    IsoImageSink& sink_;
};

class MirrorSession {
public:
    MirrorSession(TaskRecord& task, IsoImageSink* sink) : task_(task), sink_(sink) {}
    ~MirrorSession() { End(); }
    MirrorSession(const MirrorSession&) = delete;
    MirrorSession& operator=(const MirrorSession&) = delete;

    // Opens the session; on failure the task gets the mapped error, status 5 and a stop.
    bool Start(const NasCDTable& table);
    // One data message; on failure the task gets the mapped error, status 5 and a stop. A sink
    // that sends behind its caller may report the failure of an earlier message here.
    bool Send(const void* data, std::size_t length);
    // Waits until every message sent is acknowledged; a failure is recorded as by Send.
    bool Flush();
    bool IsOpen() const { return open_; }
    // EndMirror: completed when the task succeeded (status 6, no error), else aborted; a failed
    // completion makes the task fail with its mapped error.
    void End();

private:
    TaskRecord& task_;
    IsoImageSink* sink_;
    bool open_ = false;
};

// Records a failure: error code, status and a stop request.
void FailTask(TaskRecord& task, int code, std::uint8_t status = task_status::Failed);
