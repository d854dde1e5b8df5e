// The inside of a simulated unit, shared by its transport (unit.cpp), its command handlers
// (commands.cpp) and its state accessors (unit_state.cpp).
#pragma once

#include "nassim.h"

#include "net.h"
#include "received_file.h"
#include "requests.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace nassim {

enum class ListenMode { Open, Stalled, Closed };

// Throws std::invalid_argument for raw records of the wrong size.
void ValidateState(const UnitState& state);

// What one TCP connection has done so far: the session it carries and where it stands.
struct Conversation {
    enum class Phase {
        Idle,        // no session yet: one-shot, list and one-request commands
        MirrorTable, // mirror started, the CD table comes next
        MirrorData,  // mirror data, complete or abort
        Transfer,    // image data, complete or abort
        Ended,       // the session ended: nothing more may arrive
    };
    Phase phase = Phase::Idle;
    std::shared_ptr<Session> session;
    std::uint32_t mirrorChecksum = 0;
    std::uint32_t imageId = 0; // reserved at a mirror start for the image it adds
    std::string folder;        // image folder of the session
    // The buffer of the last data block, whose record kept only the header: the next large
    // request is read into it, so that a session's blocks don't each allocate and clear one.
    Bytes spare;
    // The file the session is bringing in now.
    std::unique_ptr<ReceivedFile> file;
};

// How the unit answers one request.
struct Outcome {
    std::vector<Bytes> replies; // in order; the last one is the answer
    bool close = false;         // close the connection after sending
};

// What a command handler knows of the request beyond its bytes.
struct Context {
    Via via = Via::Tcp;
    Conversation* conversation = nullptr; // none for datagrams
    bool unterminated = false;
    // A non-zero status that a fault puts on the answer: the handler then leaves the unit's
    // state as it was, as for any refused request.
    bool refusedByFault = false;
};

struct Unit::Impl {
    using Answer = Outcome (Impl::*)(Request&, Context&);
    // One row per command the unit understands: its handler, and whether it is served over UDP.
    struct CommandEntry {
        std::uint16_t command;
        bool udp;
        Answer answer; // none for messages that get no reply
    };
    static const CommandEntry kCommands[];

    explicit Impl(UnitConfig c);
    ~Impl() { Stop(); }

    void Stop();
    void SetFault(Fault f);

    // Service thread.
    void Run();
    void ApplyListenMode(ListenMode mode);
    void HandleControl();
    void ReceiveDatagram(int fd, bool wildcard);
    // The address the unit's datagrams leave from: its own address while it names that one (or
    // names no address in 127.0.0.0/8), else the first loopback address it names, as a unit
    // that took new addresses by a set-server request answers from them.
    std::uint32_t SourceAddress() const;
    // The socket that sends from SourceAddress() (service thread only): udpOwn, or udpMoved bound
    // to the address the unit moved to; udpOwn when that address can't be bound.
    int SourceSocket();
    void Accept();
    void ReapConnections(bool all);

    // Connection threads.
    void Serve(net::Fd conn, sockaddr_in peer, std::shared_ptr<std::atomic<bool>> done);
    std::size_t SendStream(int fd, const Bytes& bytes, std::size_t piece);
    bool Pause(std::chrono::milliseconds ms);
    void Hold(int fd); // until the peer closes or the unit stops, reading nothing
    void EndConversation(Conversation& c);

    // Both transports.
    static const CommandEntry* Find(std::uint16_t command);
    std::optional<CommandFault> MatchRule(const Header& h);
    Outcome Dispatch(Request request, Fault fault, const std::optional<CommandFault>& rule,
                     Conversation* conversation);
    void ApplyReplyFault(Bytes& bytes, Fault fault) const;
    void ApplyRule(Outcome& outcome, const CommandFault& rule) const;
    void Record(Request request);
    void Record(Reply reply);

    // Command handlers (commands.cpp).
    Outcome AnswerServerInfo(Request&, Context&);
    Outcome AnswerAck(Request&, Context&);
    Outcome AnswerSetServer(Request&, Context&);
    Outcome AnswerGetConfig(Request&, Context&);
    Outcome AnswerSetConfig(Request&, Context&);
    Outcome AnswerAdmin(Request&, Context&);
    Outcome AnswerList(Request&, Context&);
    Outcome AnswerMirrorStart(Request&, Context&);
    Outcome AnswerMirrorTable(Request&, Context&);
    Outcome AnswerMirrorData(Request&, Context&);
    Outcome AnswerMirrorComplete(Request&, Context&);
    Outcome AnswerAbort(Request&, Context&);
    Outcome AnswerUserCheck(Request&, Context&);
    Outcome AnswerRecord(Request&, Context&);
    Outcome AnswerRecordingStatus(Request&, Context&);
    Outcome AnswerTransfer(Request&, Context&);
    Outcome AnswerTransferComplete(Request&, Context&);
    Outcome AnswerConvert(Request&, Context&);
    Outcome AnswerDelete(Request&, Context&);
    // Why a request may not come now on this connection, or an empty text.
    std::string CheckPhase(const Request& request, const Context& ctx,
                           Conversation::Phase wanted) const;
    std::int16_t RefuseAdmin(const requests::Password& p) const;  // under stateMutex
    std::int16_t RefuseAccount(const requests::Account& a) const; // under stateMutex
    bool KnowsFolder(const std::string& folder) const;            // under stateMutex
    // The names, addresses, teaming, protocols, options and administrator password that a
    // set-server request carries become the unit's own (under stateMutex).
    void StoreSettings(const requests::SetServer& s);
    std::shared_ptr<Session> NewSession(const Request& request, SessionKind kind, Bytes start);
    void AppendData(Conversation& c, const std::uint8_t* data, std::size_t size);
    // A new file of the session named name, in the conversation's folder: 0, or the status of a
    // store that can't take it (StoreStatus).
    std::int16_t BeginFile(Conversation& c, const std::string& name);
    // The status of the conversation's file so far: 0 while its copy is written, else the store's
    // status. A unit with a full disk refuses the block that does not fit.
    std::int16_t FileStatus(const Conversation& c) const;
    // The conversation's file is whole: its digest and copy go into file (under recordMutex); 0,
    // or the store's status when the copy could not be written whole.
    std::int16_t FinishFile(Conversation& c, SessionFile& file);
    // The unit refused the completion of the conversation's file (why: reason): its copy is
    // removed, it keeps no digest, and the refusal is logged where a received image would be.
    void RefuseFile(Conversation& c, SessionFile& file, const std::string& reason);
    void AddImage(const std::string& name, const std::string& folder, std::uint64_t size,
                  std::uint32_t id);

    // Its identity texts, addresses, teaming, protocols and option word change with set-server
    // requests, under stateMutex.
    UnitConfig config;
    std::atomic<Fault> fault;

    net::Fd stopRead, stopWrite;       // written once by Stop; every wait polls stopRead too
    std::atomic<bool> stopping{false}; // set by Stop, for loops that find their socket ready
    net::Fd controlRead, controlWrite; // wakes the service thread to change the listener
    net::Fd udpAny, udpOwn, udpForeign;
    net::Fd udpMoved;               // on the UDP port of the address the unit moved to, if any
    std::uint32_t movedAddress = 0; // that address (service thread only)
    net::Fd listener, filler;
    ListenMode listenMode = ListenMode::Closed;

    mutable std::mutex recordMutex; // records, problems, sessions and recordings
    mutable std::condition_variable recordChanged;
    std::deque<Request> requests;
    std::deque<Reply> replies;
    std::vector<std::string> problems;
    std::vector<std::shared_ptr<Session>> sessions;
    std::vector<RecordingJob> recordings;

    mutable std::mutex stateMutex; // state, writers, rules
    UnitState state;
    struct Writer {
        std::uint32_t counter = 0;
        std::size_t step = 0;
        bool hasJob = false;
    };
    std::map<std::uint32_t, Writer> writers;
    struct Rule {
        CommandFault fault;
        unsigned seen = 0;
    };
    std::vector<Rule> rules;

    std::mutex controlMutex;
    std::condition_variable controlDone;
    ListenMode wantedMode = ListenMode::Closed;
    std::uint64_t controlSeq = 0, appliedSeq = 0;
    std::exception_ptr controlError;

    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Connection> connections; // service thread only, then Stop
    // Descriptors of the connections being served: Stop shuts their reading side down, which
    // ends a blocked receive at once. A connection leaves before its descriptor closes.
    std::mutex liveMutex;
    std::vector<int> liveFds;
    std::thread service;
    bool stopped = false;
};

} // namespace nassim
