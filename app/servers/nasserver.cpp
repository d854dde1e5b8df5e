// CNasServer: construction, copying, record texts, capabilities and the CD drive list.
#include "nasserver.h"

#include "msgbox.h"
#include "nasservertext.h"
#include "unit_call.h"
#include "utils.h"

#include "shell/shell.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr std::uint32_t kCapCdMirror = 1u << 0;
constexpr std::uint32_t kCapFlag30 = 1u << 30;
constexpr std::uint32_t kCapFlag31 = 1u << 31;
constexpr int kImgFolderNameOffset = 8;

template <std::size_t N> void ClearText(char (&field)[N]) {
    std::memset(field, 0, N);
}

} // namespace

CNasServer::CNasServer() : dataSocket_(0), driveListKind_(0) {
    Init();
}

CNasServer::~CNasServer() {
    CloseDataSocket();
}

void CNasServer::Init() {
    CloseDataSocket();
    ClearText(ReservedText);
    RemoteFlag = 0;
    ClearText(UserName);
    ClearText(Password);
    std::memset(&Info, 0, sizeof Info);
    DomainAccountGiven = 0;
    ClearText(DomainUserName);
    ClearText(DomainPassword);
    ImgFolderCount = 0;
    std::memset(ImgFolders, 0, sizeof ImgFolders);
    ResultText.clear();
    LastResult = 0;
    FreeCdDrives();
}

void CNasServer::Assign(const CNasServer& source) {
    if (&source == this) return;
    std::memcpy(UserName, source.UserName, sizeof UserName);
    std::memcpy(Password, source.Password, sizeof Password);
    RemoteFlag = source.RemoteFlag;
    Info = source.Info;
    LastResult = source.LastResult;
    ResultText = source.ResultText;
    std::memcpy(ReservedText, source.ReservedText, sizeof ReservedText);
    // The drive records are duplicated: each object frees its own list.
    driveListKind_ = source.driveListKind_;
    drives_ = source.drives_;
    ImgFolderCount = std::clamp(source.ImgFolderCount, 0, kImgFolderMax);
    std::memcpy(ImgFolders, source.ImgFolders, sizeof ImgFolders);
    // The session socket and the list link stay this object's own: a socket has one owner that
    // closes it, and a copy kept by a task must not point into the list it came from.
}

// ---- Texts of the record ----

int CNasServer::GetTextEncoding() const {
    return static_cast<int>(Info.textEncodingKind);
}

std::string CNasServer::RecordText(const char* field, std::size_t width, bool utf8) const {
    return utf8 ? Utf8FieldText(field, width) : AnsiFieldText(field, width);
}

std::string CNasServer::GetName() const {
    const int kind = GetTextEncoding();
    return RecordText(Info.name, sizeof Info.name, kind == 1 || kind == 2);
}

std::string CNasServer::GetWorkgroup() const {
    // Units of both UTF-8 kinds send every text in UTF-8, the workgroup included.
    const int kind = GetTextEncoding();
    return RecordText(Info.workgroup, sizeof Info.workgroup, kind == 1 || kind == 2);
}

std::string CNasServer::GetComment() const {
    const int kind = GetTextEncoding();
    return RecordText(Info.comment, sizeof Info.comment, kind == 1 || kind == 2);
}

std::string CNasServer::GetExtendedName() const {
    if (GetTextEncoding() != 2) return {};
    return RecordText(Info.extendedName, sizeof Info.extendedName, true);
}

std::string CNasServer::GetStatusText() const {
    switch (Info.unitStatus) {
    case 0:
        return GetMessageText(37);
    case 1:
        if (HasCdMirror()) return GetMessageText(834);
        return JoinStrings4(GetMessageText(834), "  [", GetMessageText(844), "]");
    case 2:
        return GetMessageText(196);
    case 3:
        return GetMessageText(194);
    case 4:
        return GetMessageText(835);
    case 5:
        return GetMessageText(837);
    case 6:
        return GetMessageText(836);
    default:
        return GetMessageText(42);
    }
}

std::string CNasServer::GetFirmwareVersion() const {
    const std::uint16_t* v = Info.firmwareVersion;
    const int kind = GetTextEncoding();
    const std::string build =
        RecordText(Info.firmwareBuild, sizeof Info.firmwareBuild, kind == 1 || kind == 2);
    char part[16];
    std::snprintf(part, sizeof part, "%x", v[0]);
    std::string text = std::string("V") + part;
    std::snprintf(part, sizeof part, ".%02x", v[1]);
    text += part;
    if (v[2] != 0 || v[3] != 0 || !build.empty()) {
        std::snprintf(part, sizeof part, ".%04x", v[2]);
        text += part;
    }
    if (v[3] != 0 || !build.empty()) {
        std::snprintf(part, sizeof part, ".%04x", v[3]);
        text += part;
    }
    if (!build.empty()) text += "." + build;
    return text;
}

std::uint32_t CNasServer::GetValidIp() const {
    const std::uint32_t address = RunUnitCall(
        GetName(), [addresses = AddressCopy()] { return NasApiGetValidIP(addresses.data()); },
        std::uint32_t{0});
    // All ones means the library could not even make a socket: no address either.
    return address == 0xFFFFFFFFu ? 0 : address;
}

std::string CNasServer::GetIpText() const {
    return utils::IpToText(GetValidIp());
}

std::string CNasServer::GetLanIpText(int index) const {
    if (index < 0 || index >= NAS_ADDRESS_COUNT) return {};
    return utils::IpToText(Info.ipAddress[index]);
}

std::string CNasServer::GetMaskText(int index) const {
    if (index < 0 || index >= NAS_ADDRESS_COUNT) return {};
    return utils::IpToText(Info.subnetMask[index]);
}

std::string CNasServer::GetGatewayText(int index) const {
    if (index < 0 || index >= NAS_ADDRESS_COUNT) return {};
    return utils::IpToText(Info.gateway[index]);
}

void CNasServer::GetHintLines(_INFO_STRING& out) const {
    out.Name = GetName();
    out.Workgroup = GetWorkgroup();
    out.Lan0Ip = GetLanIpText(0);
    out.Lan1Ip = GetLanIpText(1);
    out.Lan2Ip = GetLanIpText(2);
    out.FirmwareVersion = GetFirmwareVersion();
    out.Status = GetStatusText();
    out.Comment = GetComment();
    out.ExtendedName = GetExtendedName();
}

std::string CNasServer::GetImgFolderName(int index) const {
    if (index < 0 || index >= std::min(ImgFolderCount, kImgFolderMax)) return {};
    const int kind = GetTextEncoding();
    return RecordText(ImgFolders[index] + kImgFolderNameOffset,
                      kImgFolderSize - kImgFolderNameOffset, kind == 1 || kind == 2);
}

// ---- Capabilities ----

bool CNasServer::HasCdMirror() const {
    return (Info.capabilityFlags & kCapCdMirror) != 0;
}

bool CNasServer::IsFlag30Set() const {
    return (Info.capabilityFlags & kCapFlag30) != 0;
}

bool CNasServer::IsFlag31Clear() const {
    return (Info.capabilityFlags & kCapFlag31) == 0;
}

bool CNasServer::IsOptionBit0Set() const {
    return (Info.optionWord & 1u) != 0;
}

int CNasServer::CharsetMode() const {
    const int kind = GetTextEncoding();
    return kind == 1 || kind == 2 ? kind : 0;
}

// ---- CD drives ----

int CNasServer::LoadCdDrives(int typeMask) {
    FreeCdDrives();
    struct Out {
        NasCDDrvInfo buffer[kDriveBufferRecords] = {};
        int count = 0;
    };
    auto out = std::make_shared<Out>();
    LastResult = RunUnitCall(
        GetName(),
        [out, typeMask, addresses = AddressCopy()] {
            return NasApiGetCDDrvList(addresses.data(), &out->count, out->buffer, typeMask);
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    if (LastResult != 0) return -1;
    if (out->count < 1) return 0;
    const int count = std::min(out->count, kDriveBufferRecords);
    drives_.assign(out->buffer, out->buffer + count);
    driveListKind_ = typeMask;
    return count;
}

int CNasServer::LoadDefaultCdDrives() {
    return LoadCdDrives(kDefaultDriveTypeMask);
}

void CNasServer::FreeCdDrives() {
    drives_.clear();
    drives_.shrink_to_fit();
    driveListKind_ = 0;
}

bool CNasServer::HasDriveList() const {
    return driveListKind_ == kDefaultDriveTypeMask && !drives_.empty();
}

int CNasServer::GetDriveCountLoaded() const {
    return HasDriveList() ? static_cast<int>(drives_.size()) : 0;
}

bool CNasServer::GetDriveListState(int* state) const {
    int value = 0;
    if (drives_.empty())
        value = -1;
    else if (HasDriveList())
        value = 1;
    if (state) *state = value;
    return value == 1;
}

int CNasServer::GetDriveCount() {
    int state = 0;
    GetDriveListState(&state);
    if (state == -1) return std::max(LoadDefaultCdDrives(), 0);
    if (state == 0) return 0;
    return static_cast<int>(drives_.size());
}

const NasCDDrvInfo* CNasServer::GetDriveRecord(int i) const {
    if (i < 0 || i >= static_cast<int>(drives_.size())) return nullptr;
    return &drives_[static_cast<std::size_t>(i)];
}

int CNasServer::GetDriveNumber(int i) const {
    const NasCDDrvInfo* record = GetDriveRecord(i);
    return record ? record->driveNumber : -1;
}

std::string CNasServer::GetDriveName(int number) const {
    for (const NasCDDrvInfo& record : drives_) {
        if (record.driveNumber == number) {
            const int kind = GetTextEncoding();
            return RecordText(record.name, sizeof record.name, kind == 1 || kind == 2);
        }
    }
    return kWrongDriveNumber;
}

bool CNasServer::IsDriveRecordable(int number) const {
    for (const NasCDDrvInfo& record : drives_) {
        if (record.driveNumber == number) {
            // Byte 0 of the record is the drive's type byte; its upper four bits mark writers.
            const auto typeByte = reinterpret_cast<const std::uint8_t*>(&record)[0];
            return (typeByte & 0xF0u) != 0;
        }
    }
    return true;
}

// ---- Shell ----

bool CNasServer::OpenWebAdmin() const {
    const std::uint32_t address = GetValidIp();
    if (address == 0) return false;
    return platform::ShellOpen("http://" + utils::IpToText(address) + "/admin/");
}

bool CNasServer::ExploreShares() const {
    const std::uint32_t address = GetValidIp();
    if (address == 0) return false;
    return platform::ShellOpen("\\\\" + utils::IpToText(address));
}

// ---- Results ----

std::string NasResultText(CNasServer* server, int code) {
    std::string text;
    switch (code) {
    case -5:
        text = "Unzip Failed!";
        break;
    case -4:
        text = "Zip Failed!";
        break;
    case -3:
        text = "Time Out!";
        break;
    case -2:
        text = "Error creating zip file!";
        break;
    case -1:
        text = "Communcation Failed!";
        break;
    case 0:
        text = "Success";
        break;
    case 1:
        text = "System busy!";
        break;
    case 2:
        text = "Invalid Packet!";
        break;
    case 3:
        text = "Invalid command!";
        break;
    case 4:
        text = "Invalid option!";
        break;
    case 5:
        text = "Invalid block!";
        break;
    case 6:
        text = "Invalid password!";
        break;
    case 7:
        text = "No Password assigned!";
        break;
    case 8:
        text = "Not a supported command!";
        break;
    case 9:
        text = "API error!";
        break;
    case 10:
        text = GetMessageText(335);
        break;
    case 11:
        text = "No free slot is available!";
        break;
    case 12:
        text = "Invalid user!";
        break;
    case 13:
        text = GetMessageText(874);
        break;
    case 14:
        text = GetMessageText(339);
        break;
    case 15:
        text = "Failed to bure CD";
        break;
    case 16:
        text = "Failed to get burning status!";
        break;
    case 18:
        text = "---";
        break;
    case 4096:
        text = GetMessageText(345);
        break;
    case 4097:
        text = "Error to read disc!";
        break;
    case 65536:
        text = "Server has no response!";
        break;
    default:
        break; // 17, 65535 and every code not listed: no text
    }
    if (server) server->ResultText = text;
    return text;
}

std::string CNasServer::GetLastResultText() {
    return NasResultText(this, LastResult);
}

int CNasServer::CloseDataSocket() {
    if (dataSocket_ > 0) ::close(dataSocket_);
    dataSocket_ = 0;
    return 0;
}
