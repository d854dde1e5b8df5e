// The unit's answer to each command, and the session order it keeps on a connection.
#include "unit_impl.h"

#include "records.h"
#include "wire.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace nassim {

using Phase = Conversation::Phase;

namespace {

// A bare 32-byte reply.
Bytes Plain(std::uint16_t command, std::int16_t status) {
    return wire::MakeHeader(kHeaderSize, command, 0, status, false);
}

// A 32-byte reply header followed by data.
Bytes WithData(std::uint16_t command, std::int16_t status, const Bytes& data) {
    Bytes b = wire::MakeHeader(kHeaderSize + data.size(), command, 0, status, false);
    std::copy(data.begin(), data.end(), b.begin() + kHeaderSize);
    return b;
}

// A 40-byte reply header (data length at 36) followed by data.
Bytes Extended(std::uint16_t command, std::int16_t status, const Bytes& data) {
    Bytes b = wire::MakeHeader(kExtendedHeaderSize + data.size(), command, 0, status, true);
    std::copy(data.begin(), data.end(), b.begin() + kExtendedHeaderSize);
    return b;
}

Outcome Single(Bytes reply) {
    Outcome o;
    o.replies.push_back(std::move(reply));
    return o;
}

const char* PhaseText(Phase p) {
    switch (p) {
    case Phase::Idle:
        return "outside a session";
    case Phase::MirrorTable:
        return "while the mirror waits for its CD table";
    case Phase::MirrorData:
        return "inside a mirror session";
    case Phase::Transfer:
        return "inside an image transfer";
    case Phase::Ended:
        return "after the session ended";
    }
    return "?";
}

std::string Mismatch(const char* field, long long got, long long want) {
    return std::string(field) + " is " + std::to_string(got) + ", expected " + std::to_string(want);
}

// A data block's bytes went to its session: its record keeps the 40 header bytes, and its
// buffer goes back to the connection for the next block.
void KeepHeaderOnly(Request& r, Conversation& c) {
    Bytes head(r.bytes.begin(), r.bytes.begin() + kExtendedHeaderSize);
    c.spare = std::move(r.bytes);
    r.bytes = std::move(head);
}

void Append(Bytes& out, const Bytes& record) {
    out.insert(out.end(), record.begin(), record.end());
}

} // namespace

const Unit::Impl::CommandEntry Unit::Impl::kCommands[] = {
    {kCommandServerInfo, true, &Impl::AnswerServerInfo},
    {kCommandAck, true, &Impl::AnswerAck},
    {kCommandSetServer, true, &Impl::AnswerSetServer},
    {kCommandGetConfig, false, &Impl::AnswerGetConfig},
    {kCommandSetConfig, false, &Impl::AnswerSetConfig},
    {kCommandCheckPassword, false, &Impl::AnswerAdmin},
    {kCommandShutdown, false, &Impl::AnswerAdmin},
    {kCommandDiskList, false, &Impl::AnswerList},
    {kCommandVolumeList, false, &Impl::AnswerList},
    {kCommandTaskList, false, &Impl::AnswerList},
    {kCommandImageFolderList, false, &Impl::AnswerList},
    {kCommandImageList, false, &Impl::AnswerList},
    {kCommandMirrorStart, false, &Impl::AnswerMirrorStart},
    {kCommandMirrorTable, false, &Impl::AnswerMirrorTable},
    {kCommandMirrorData, false, &Impl::AnswerMirrorData},
    {kCommandMirrorComplete, false, &Impl::AnswerMirrorComplete},
    {kCommandMirrorAbort, false, &Impl::AnswerAbort},
    {kCommandCheckUser, false, &Impl::AnswerUserCheck},
    {kCommandShareList, false, &Impl::AnswerList},
    {kCommandCdDriveList, false, &Impl::AnswerList},
    {kCommandRecord, false, &Impl::AnswerRecord},
    {kCommandRecordingStatus, false, &Impl::AnswerRecordingStatus},
    {kCommandImageTransfer, false, &Impl::AnswerTransfer},
    {kCommandImageComplete, false, &Impl::AnswerTransferComplete},
    {kCommandImageAbort, false, &Impl::AnswerAbort},
    {kCommandConvert, false, &Impl::AnswerConvert},
    {kCommandDeleteImage, false, &Impl::AnswerDelete},
};

const Unit::Impl::CommandEntry* Unit::Impl::Find(std::uint16_t command) {
    for (const CommandEntry& entry : kCommands)
        if (entry.command == command) return &entry;
    return nullptr;
}

std::string Unit::Impl::CheckPhase(const Request& r, const Context& ctx, Phase wanted) const {
    if (ctx.conversation == nullptr || ctx.conversation->phase == wanted) return {};
    return "command " + std::to_string(r.header->command) + " arrived " +
           PhaseText(ctx.conversation->phase);
}

std::int16_t Unit::Impl::RefuseAdmin(const requests::Password& p) const {
    if (!state.adminPassword) return 0;
    const std::string& password = *state.adminPassword;
    if (p.length != password.size() || p.digest != PasswordDigest(password))
        return kStatusInvalidPassword;
    return 0;
}

std::int16_t Unit::Impl::RefuseAccount(const requests::Account& a) const {
    if (state.users.empty()) return 0;
    const auto user = state.users.find(a.user);
    if (user == state.users.end()) return kStatusInvalidUser;
    return a.digest == PasswordDigest(user->second) ? 0 : kStatusInvalidPassword;
}

bool Unit::Impl::KnowsFolder(const std::string& folder) const {
    return state.imageFolders.empty() ||
           std::find(state.imageFolders.begin(), state.imageFolders.end(), folder) !=
               state.imageFolders.end();
}

std::shared_ptr<Session> Unit::Impl::NewSession(const Request& r, SessionKind kind, Bytes start) {
    auto s = std::make_shared<Session>();
    s->kind = kind;
    s->from = r.from;
    s->fromPort = r.fromPort;
    s->startRequest = std::move(start);
    std::lock_guard lock(recordMutex);
    sessions.push_back(s);
    recordChanged.notify_all();
    return s;
}

void Unit::Impl::AppendData(Conversation& c, const std::uint8_t* data, std::size_t size) {
    if (c.file) c.file->add(data, size);
    Session& s = *c.session;
    std::lock_guard lock(recordMutex);
    if (config.recordDataBlocks) s.blockSizes.push_back(size);
    s.dataBytes += size;
    if (config.keepSessionData) s.data.insert(s.data.end(), data, data + size);
    if (!s.files.empty()) s.files.back().size += size;
}

namespace {

// How a unit answers a store that can't take an image: full, or not writable.
std::int16_t StoreStatus(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? kStatusNoFreeSpace
                                                                : kStatusPermissionDenied;
}

// An image's data is sent in blocks of 4096 bytes: the last one padded with zeros to its whole
// size, so an image may arrive with up to 4095 bytes more than it announced.
bool SizeMatchesAnnouncement(std::uint64_t received, std::uint64_t announced) {
    constexpr std::uint64_t kBlock = 4096;
    return received == announced || received == (announced + kBlock - 1) / kBlock * kBlock;
}

} // namespace

std::int16_t Unit::Impl::BeginFile(Conversation& c, const std::string& name) {
    c.file.reset();
    if (config.hashSessionData || !config.storeFolder.empty())
        c.file = std::make_unique<ReceivedFile>(config.hashSessionData, config.storeFolder,
                                                c.folder, name);
    return FileStatus(c);
}

std::int16_t Unit::Impl::FileStatus(const Conversation& c) const {
    if (!c.file || c.file->error().empty()) return 0;
    return StoreStatus(c.file->errorNumber());
}

std::int16_t Unit::Impl::FinishFile(Conversation& c, SessionFile& file) {
    if (!c.file) return 0;
    file.sha256 = c.file->finish();
    file.storedAs = c.file->path();
    const std::string error = c.file->error();
    const std::int16_t status = FileStatus(c);
    if (!error.empty()) {
        // A copy that could not be written whole is no image: the completion is refused.
        RefuseFile(c, file, error);
        return status;
    }
    c.file.reset();
    if (config.logImages) {
        std::printf("%s: received %s/%s, %llu bytes, sha256 %s%s%s\n",
                    AddressText(config.address).c_str(), c.folder.c_str(), file.name.c_str(),
                    static_cast<unsigned long long>(file.size),
                    file.sha256.empty() ? "-" : file.sha256.c_str(),
                    file.storedAs.empty() ? "" : ", stored as ", file.storedAs.c_str());
        std::fflush(stdout);
    }
    return status;
}

void Unit::Impl::RefuseFile(Conversation& c, SessionFile& file, const std::string& reason) {
    if (c.file) c.file->discard();
    c.file.reset();
    file.sha256.clear();
    file.storedAs.clear();
    if (config.logProblems)
        std::fprintf(stderr, "nas-sim: %s: refused %s/%s: %s\n",
                     AddressText(config.address).c_str(), c.folder.c_str(), file.name.c_str(),
                     reason.c_str());
    if (config.logImages) {
        std::printf("%s: refused %s/%s, %llu bytes: %s\n", AddressText(config.address).c_str(),
                    c.folder.c_str(), file.name.c_str(), static_cast<unsigned long long>(file.size),
                    reason.c_str());
        std::fflush(stdout);
    }
}

void Unit::Impl::AddImage(const std::string& name, const std::string& folder, std::uint64_t size,
                          std::uint32_t id) {
    ImageRecord image;
    image.id = id;
    image.name = name;
    // Listed in 2048-byte sectors, the last one counted whole.
    image.size =
        static_cast<std::uint32_t>(std::min<std::uint64_t>((size + 2047) / 2048, 0xFFFFFFFFu));
    image.path = folder + "/" + name;
    std::lock_guard lock(stateMutex);
    state.images.push_back(std::move(image));
}

Outcome Unit::Impl::AnswerServerInfo(Request& r, Context& ctx) {
    r.problem = wire::CheckServerInfoRequest(r.bytes, *r.header);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    std::lock_guard lock(stateMutex); // set-server changes what the reply says
    return Single(EncodeServerReply(config));
}

Outcome Unit::Impl::AnswerAck(Request& r, Context&) {
    r.problem = wire::CheckAck(r.bytes, *r.header);
    return {};
}

Outcome Unit::Impl::AnswerSetServer(Request& r, Context& ctx) {
    requests::SetServer s;
    r.problem = requests::DecodeSetServer(r.bytes, *r.header, s);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    if (ctx.via == Via::Udp && !config.answersSetServerBroadcast) return {};
    std::int16_t status;
    std::string refusal;
    {
        std::lock_guard lock(stateMutex);
        // Every unit hears a broadcast; only the one whose hardware address it carries takes it.
        const bool mine = s.hardwareAddress == config.hardwareAddress;
        if (!mine && ctx.via == Via::Udp) return {};
        status = RefuseAdmin(s.admin);
        if (status == 0) {
            refusal = mine ? requests::SetServerRefusal(s, config.encodingKind == 1 ||
                                                               config.encodingKind == 2)
                           : "hardware address of another unit";
            if (!refusal.empty()) status = kStatusInvalidOption;
        }
        if (status == 0 && !ctx.refusedByFault) StoreSettings(s);
    }
    if (!refusal.empty() && config.logProblems)
        std::fprintf(stderr, "nas-sim: %s: set-server refused: %s\n",
                     AddressText(config.address).c_str(), refusal.c_str());
    const std::uint16_t command = config.setServerReplyCommand != 0 ? config.setServerReplyCommand
                                  : s.domainForm                    ? kSetServerDomainReply
                                                                    : kCommandSetServer;
    return Single(Plain(command, status));
}

void Unit::Impl::StoreSettings(const requests::SetServer& s) {
    config.name = s.name;
    config.comment = s.comment;
    if (s.domainForm)
        config.extendedName = s.extendedName;
    else
        config.workgroup = s.workgroup;
    config.lan = s.lan;
    config.half130 = s.teamingMode;
    config.word140 = s.addressFlags;
    config.optionWord = s.optionWord;
    state.adminPassword = s.newPassword;
}

Outcome Unit::Impl::AnswerGetConfig(Request& r, Context& ctx) {
    requests::ConfigRead c;
    r.problem = requests::DecodeConfigRead(r.bytes, *r.header, c);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    Bytes file;
    {
        std::lock_guard lock(stateMutex);
        if (state.configPassword && c.password != *state.configPassword)
            return Single(Extended(kCommandGetConfig, kStatusInvalidPassword, {}));
        file = state.configFile;
    }
    // The reply always carries a whole first block.
    if (file.size() < kConfigBlockSize) file.resize(kConfigBlockSize, 0);
    return Single(Extended(kCommandGetConfig, 0, file));
}

Outcome Unit::Impl::AnswerSetConfig(Request& r, Context& ctx) {
    requests::ConfigWrite w;
    r.problem = requests::DecodeConfigWrite(r.bytes, *r.header, w);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    std::lock_guard lock(stateMutex);
    std::int16_t status = RefuseAdmin(w.admin);
    if (status == 0 && state.configPassword && w.password != *state.configPassword)
        status = kStatusInvalidPassword;
    if (status == 0 && !ctx.refusedByFault) {
        state.configFile = std::move(w.file);
        state.configValue = w.value;
    }
    return Single(Plain(kCommandSetConfig, status));
}

Outcome Unit::Impl::AnswerAdmin(Request& r, Context& ctx) {
    requests::Admin a;
    r.problem = requests::DecodeAdmin(r.bytes, *r.header, a);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    std::lock_guard lock(stateMutex);
    return Single(Plain(r.header->command, RefuseAdmin(a.admin)));
}

Outcome Unit::Impl::AnswerList(Request& r, Context& ctx) {
    r.problem = requests::CheckList(r.bytes, *r.header);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    const std::uint16_t command = r.header->command;
    const bool open = ctx.unterminated;
    Bytes data;
    std::lock_guard lock(stateMutex);
    switch (command) {
    case kCommandDiskList:
        for (const Bytes& d : state.disks)
            Append(data, d);
        break;
    case kCommandVolumeList:
        for (const Bytes& v : state.volumes)
            Append(data, v);
        break;
    case kCommandTaskList:
        // Two words precede the task records; the data length counts them.
        data.resize(8);
        wire::PutU32(data, 0, state.taskCount);
        wire::PutU32(data, 4, state.taskValue);
        for (const Bytes& t : state.tasks)
            Append(data, t);
        break;
    case kCommandImageFolderList:
        for (const std::string& f : state.imageFolders)
            Append(data, records::EncodeImageFolder(f, open));
        break;
    case kCommandImageList:
        for (const ImageRecord& i : state.images)
            Append(data, records::EncodeImage(i, open));
        break;
    case kCommandShareList:
        for (const ShareRecord& s : state.shares)
            Append(data, records::EncodeShare(s, open));
        break;
    case kCommandCdDriveList:
        for (const CdDriveRecord& d : state.cdDrives)
            Append(data, records::EncodeCdDrive(d, open));
        break;
    default:
        break;
    }
    return Single(Extended(command, 0, data));
}

Outcome Unit::Impl::AnswerMirrorStart(Request& r, Context& ctx) {
    requests::MirrorStart m;
    r.problem = requests::DecodeMirrorStart(r.bytes, *r.header, m);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    Conversation& c = *ctx.conversation;
    std::int16_t status = 0;
    std::uint32_t id = 0;
    {
        std::lock_guard lock(stateMutex);
        status = RefuseAccount(m.account);
        if (status == 0 && !KnowsFolder(m.folder)) status = kStatusInvalidOption;
        if (status == 0 && !m.imageName.empty() &&
            std::any_of(state.images.begin(), state.images.end(),
                        [&](const ImageRecord& i) { return i.name == m.imageName; }))
            status = kStatusImageExists;
        if (status == 0 && !ctx.refusedByFault) id = state.nextImageId++;
    }
    c.session = NewSession(r, SessionKind::Mirror,
                           Bytes(r.bytes.begin() + kExtendedHeaderSize, r.bytes.end()));
    if (status != 0 || ctx.refusedByFault) {
        std::lock_guard lock(recordMutex);
        c.session->end = SessionEnd::Refused;
        c.phase = Phase::Ended;
        if (status != 0) return Single(Plain(kCommandMirrorStart, status));
    }
    const std::string name = m.imageName.empty() ? "IMAGE" + std::to_string(id) : m.imageName;
    if (status == 0 && !ctx.refusedByFault) {
        std::lock_guard lock(recordMutex);
        c.session->files.push_back({name, 0, 0, 0, false, {}, {}});
        c.phase = Phase::MirrorTable;
        c.mirrorChecksum = m.checksum;
        c.imageId = id;
        c.folder = m.folder;
    }
    if (status == 0 && !ctx.refusedByFault) {
        if (const std::int16_t refused = BeginFile(c, name); refused != 0) {
            std::lock_guard lock(recordMutex);
            c.session->end = SessionEnd::Refused;
            c.phase = Phase::Ended;
            recordChanged.notify_all();
            return Single(Plain(kCommandMirrorStart, refused));
        }
    }
    return Single(WithData(
        kCommandMirrorStart, 0,
        records::EncodeMirrorReply(name, static_cast<std::uint16_t>(id), ctx.unterminated)));
}

Outcome Unit::Impl::AnswerMirrorTable(Request& r, Context& ctx) {
    r.problem = requests::DecodeMirrorTable(r.bytes, *r.header);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::MirrorTable);
    if (!r.problem.empty()) return {};
    Conversation& c = *ctx.conversation;
    Bytes table(r.bytes.begin() + kExtendedHeaderSize, r.bytes.end());
    const std::uint32_t sum = CdTableChecksum(table);
    if (sum != c.mirrorChecksum) {
        r.problem = Mismatch("the start request's CD table checksum", c.mirrorChecksum, sum);
        return {};
    }
    std::lock_guard lock(recordMutex);
    c.session->table = std::move(table);
    if (ctx.refusedByFault) {
        c.session->end = SessionEnd::Refused;
        c.phase = Phase::Ended;
    } else {
        c.phase = Phase::MirrorData;
    }
    recordChanged.notify_all();
    return Single(Plain(kCommandMirrorTable, 0));
}

Outcome Unit::Impl::AnswerMirrorData(Request& r, Context& ctx) {
    r.problem = requests::CheckSession(r.bytes, *r.header, 15, std::nullopt);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::MirrorData);
    if (!r.problem.empty()) return {};
    if (!ctx.refusedByFault)
        AppendData(*ctx.conversation, r.bytes.data() + kExtendedHeaderSize,
                   r.bytes.size() - kExtendedHeaderSize);
    KeepHeaderOnly(r, *ctx.conversation);
    // The copy of a block before this one could not be written: the disk is full (or refuses).
    return Single(Plain(kCommandMirrorData, FileStatus(*ctx.conversation)));
}

Outcome Unit::Impl::AnswerMirrorComplete(Request& r, Context& ctx) {
    r.problem = requests::CheckSession(r.bytes, *r.header, 15, 0);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::MirrorData);
    if (!r.problem.empty()) return {};
    Conversation& c = *ctx.conversation;
    std::int16_t status = 0;
    if (!ctx.refusedByFault) {
        std::string name;
        std::uint64_t size = 0;
        {
            std::lock_guard lock(recordMutex);
            status = FinishFile(c, c.session->files.back());
            // An image whose copy could not be written whole is not kept.
            c.session->end = status == 0 ? SessionEnd::Completed : SessionEnd::Refused;
            c.session->files.back().complete = status == 0;
            name = c.session->files.back().name;
            size = c.session->dataBytes;
            c.phase = Phase::Ended;
            recordChanged.notify_all();
        }
        if (status == 0) AddImage(name, c.folder, size, c.imageId);
    }
    return Single(Plain(kCommandMirrorComplete, status));
}

Outcome Unit::Impl::AnswerAbort(Request& r, Context& ctx) {
    r.problem = requests::CheckAbort(r.bytes, *r.header);
    if (!r.problem.empty()) return {};
    const bool mirror = r.header->command == kCommandMirrorAbort;
    const Phase phase = ctx.conversation ? ctx.conversation->phase : Phase::Idle;
    const bool fits = mirror ? phase == Phase::MirrorTable || phase == Phase::MirrorData
                             : phase == Phase::Transfer;
    if (!fits) {
        r.problem = "command " + std::to_string(r.header->command) + " arrived " + PhaseText(phase);
        return {};
    }
    std::lock_guard lock(recordMutex);
    ctx.conversation->session->end = SessionEnd::Aborted;
    ctx.conversation->session->abortReason = r.header->argument;
    ctx.conversation->phase = Phase::Ended;
    recordChanged.notify_all();
    return {}; // an abort gets no reply
}

Outcome Unit::Impl::AnswerUserCheck(Request& r, Context& ctx) {
    requests::Account a;
    r.problem = requests::DecodeUserCheck(r.bytes, *r.header, a);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    std::lock_guard lock(stateMutex);
    return Single(Plain(kCommandCheckUser, RefuseAccount(a)));
}

Outcome Unit::Impl::AnswerRecord(Request& r, Context& ctx) {
    requests::Record q;
    r.problem = requests::DecodeRecord(r.bytes, *r.header, q);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    RecordingJob job;
    std::int16_t status = 0;
    {
        std::lock_guard lock(stateMutex);
        status = RefuseAccount(q.account);
        if (status == 0 && !state.images.empty() &&
            std::none_of(state.images.begin(), state.images.end(),
                         [&](const ImageRecord& i) { return i.id == q.imageId; }))
            status = kStatusInvalidOption;
        if (status == 0 && !state.cdDrives.empty() &&
            std::none_of(state.cdDrives.begin(), state.cdDrives.end(),
                         [&](const CdDriveRecord& d) { return d.tail[0] == q.writer; }))
            status = kStatusInvalidOption;
        if (status != 0 || ctx.refusedByFault) return Single(Plain(kCommandRecord, status));
        Writer& w = writers[q.writer];
        ++w.counter;
        w.step = 0;
        w.hasJob = true;
        job.jobCounter = w.counter;
    }
    job.user = q.account.user;
    job.imageId = q.imageId;
    job.imageName = q.imageName;
    job.writer = q.writer;
    job.flags = q.flags;
    job.host = q.host;
    {
        std::lock_guard lock(recordMutex);
        recordings.push_back(job);
    }
    // The unit answers in the header's time field.
    Bytes reply = Plain(kCommandRecord, 0);
    wire::PutU32(reply, wire::kOffTime, job.jobCounter);
    return Single(std::move(reply));
}

Outcome Unit::Impl::AnswerRecordingStatus(Request& r, Context& ctx) {
    requests::RecordingQuery q;
    r.problem = requests::DecodeRecordingQuery(r.bytes, *r.header, q);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    std::lock_guard lock(stateMutex);
    const auto w = writers.find(q.job0);
    if (w == writers.end() || !w->second.hasJob)
        return Single(Plain(kCommandRecordingStatus, kStatusNoRecordingJob));
    const std::vector<WriterStep>& script = state.writerScript;
    const WriterStep step =
        script.empty() ? WriterStep{} : script[std::min(w->second.step, script.size() - 1)];
    if (!ctx.refusedByFault) ++w->second.step;
    return Single(
        WithData(kCommandRecordingStatus, 0,
                 records::EncodeRecordingStatus(q.job0, q.job1, w->second.counter, step)));
}

Outcome Unit::Impl::AnswerTransfer(Request& r, Context& ctx) {
    const std::uint32_t sub = r.header->extended ? r.header->subCode : 0;
    if (sub != 25 && sub != 26) {
        r.problem = "sub-code is " + std::to_string(sub) + ", expected 25 or 26";
        return {};
    }
    if (sub == 26) { // image data
        r.problem = requests::CheckSession(r.bytes, *r.header, 26, std::nullopt);
        if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Transfer);
        if (!r.problem.empty()) return {};
        if (!ctx.refusedByFault)
            AppendData(*ctx.conversation, r.bytes.data() + kExtendedHeaderSize,
                       r.bytes.size() - kExtendedHeaderSize);
        KeepHeaderOnly(r, *ctx.conversation);
        return Single(Plain(kCommandImageTransfer, FileStatus(*ctx.conversation)));
    }
    requests::TransferStart t;
    r.problem = requests::DecodeTransferStart(r.bytes, *r.header, t);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    Conversation& c = *ctx.conversation;
    std::int16_t status = 0;
    {
        std::lock_guard lock(stateMutex);
        status = RefuseAccount(t.account);
        if (status == 0 && !KnowsFolder(t.folder)) status = kStatusInvalidOption;
        if (status == 0 && std::any_of(state.images.begin(), state.images.end(),
                                       [&](const ImageRecord& i) { return i.name == t.fileName; }))
            status = kStatusImageExists;
    }
    c.session = NewSession(r, SessionKind::ImageTransfer,
                           Bytes(r.bytes.begin() + kExtendedHeaderSize, r.bytes.end()));
    std::lock_guard lock(recordMutex);
    if (status != 0 || ctx.refusedByFault) {
        c.session->end = SessionEnd::Refused;
        c.phase = Phase::Ended;
    } else {
        c.session->files.push_back({t.fileName, t.size, 0, 0, false, {}, {}});
        c.phase = Phase::Transfer;
        c.folder = t.folder;
    }
    if (status == 0 && !ctx.refusedByFault) {
        status = BeginFile(c, t.fileName);
        if (status != 0) {
            c.session->end = SessionEnd::Refused;
            c.phase = Phase::Ended;
        }
    }
    return Single(Plain(kCommandImageTransfer, status));
}

Outcome Unit::Impl::AnswerTransferComplete(Request& r, Context& ctx) {
    requests::TransferDone d;
    r.problem = requests::DecodeTransferDone(r.bytes, *r.header, d);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Transfer);
    if (!r.problem.empty()) return {};
    Conversation& c = *ctx.conversation;
    std::int16_t status = 0;
    SessionFile done;
    {
        std::lock_guard lock(recordMutex);
        Session& s = *c.session;
        s.completions.emplace_back(r.bytes.begin() + kExtendedHeaderSize, r.bytes.end());
        SessionFile& file = s.files.back();
        if (!SizeMatchesAnnouncement(file.size, file.announcedSize)) status = kStatusInvalidBlock;
        if (status == 0 && !ctx.refusedByFault) status = FinishFile(c, file);
        if (status == 0 && !ctx.refusedByFault) {
            file.complete = true;
            done = file;
            if (d.further != 0 && !d.allZero) {
                s.files.push_back({d.nextName, d.nextSize, s.dataBytes, 0, false, {}, {}});
                // A store that can't take the next image refuses its first block.
                BeginFile(c, d.nextName);
            } else {
                s.end = SessionEnd::Completed;
                c.phase = Phase::Ended;
            }
        }
        recordChanged.notify_all();
    }
    if (done.complete) {
        std::uint32_t id;
        {
            std::lock_guard lock(stateMutex);
            id = state.nextImageId++;
        }
        AddImage(done.name, c.folder, done.size, id);
    }
    return Single(Plain(kCommandImageComplete, status));
}

Outcome Unit::Impl::AnswerConvert(Request& r, Context& ctx) {
    requests::Convert v;
    r.problem = requests::DecodeConvert(r.bytes, *r.header, v);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    std::lock_guard lock(stateMutex);
    std::int16_t status = RefuseAccount(v.account);
    if (status == 0 && !KnowsFolder(v.folder)) status = kStatusInvalidOption;
    return Single(Plain(kCommandConvert, status));
}

Outcome Unit::Impl::AnswerDelete(Request& r, Context& ctx) {
    requests::Delete d;
    r.problem = requests::DecodeDelete(r.bytes, *r.header, d);
    if (r.problem.empty()) r.problem = CheckPhase(r, ctx, Phase::Idle);
    if (!r.problem.empty()) return {};
    std::lock_guard lock(stateMutex);
    std::int16_t status = RefuseAccount(d.account);
    if (status != 0) return Single(Plain(kCommandDeleteImage, status));
    // Every listed image that exists goes; a missing one, or a count of 0 or above 50, is
    // reported after the others are deleted.
    if (d.count == 0 || d.count > d.imageIds.size()) status = kStatusInvalidOption;
    for (std::uint32_t id : d.imageIds) {
        const auto image = std::find_if(state.images.begin(), state.images.end(),
                                        [&](const ImageRecord& i) { return i.id == id; });
        if (image == state.images.end())
            status = kStatusInvalidOption;
        else if (!ctx.refusedByFault)
            state.images.erase(image);
    }
    return Single(Plain(kCommandDeleteImage, status));
}

} // namespace nassim
