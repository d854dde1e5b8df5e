#include "cdrom.h"

#include "cache.h"
#include "disc_replies.h"
#include "msgbox.h"
#include "scsicdd.h"

#include <algorithm>
#include <exception>

namespace {

constexpr int kMsgNotReady = 43;
constexpr int kMsgEmpty = 44;
constexpr int kMsgDiscError = 45;
constexpr int kMsgUnknownFormat = 46;

// Disc sectors of an audio track in 2048-byte blocks, rounded as the image format counts them.
std::int64_t AudioBlocks(std::uint32_t sectors) {
    return (std::int64_t{sectors} * 2352 + 2091) / 2048;
}

bool ValidEntry(int entry) {
    return entry >= 0 && entry < DiscInfo::TrackCount;
}

const char* FormatName(std::uint8_t kind) {
    switch (kind) {
    case 1:
        return "CD-Data";
    case 2:
        return "CD-Audio";
    case 3:
        return "CD-Mixed";
    case 4:
        return "CD-XA";
    case 5:
        return "CD-I";
    case 6:
        return "CD-Video";
    case 7:
        return "CD-Photo";
    case 16:
        return "CD-Multi";
    case 17:
        return "CD-Data(M)";
    case 18:
        return "CD-Audio(M)";
    case 19:
        return "CD-Mixed(M)";
    case 20:
        return "CD-XA(M)";
    case 21:
        return "CD-I(M)";
    case 22:
        return "CD-Video(M)";
    case 23:
        return "CD-Photo(M)";
    case 24:
        return "CD-Extra";
    case 64:
        return "DVD";
    case 65:
        return "Blu-ray";
    default:
        return "Unknown Format";
    }
}

} // namespace

std::int64_t DiscSectorCount(const DiscInfo& info) {
    const int tracks = std::min<int>(info.lastTrack, DiscInfo::TrackCount);
    switch (info.discKind) {
    case disc_kind::Data:
    case disc_kind::Data | disc_kind::MultiSession:
    case disc_kind::Dvd:
    case disc_kind::BluRay:
        return static_cast<std::int64_t>(info.totalSectors);
    case disc_kind::Mixed:
    case disc_kind::XA:
        return info.tracks[0].length;
    case disc_kind::Audio: {
        std::int64_t sum = 0;
        for (int i = 0; i < tracks; ++i)
            sum += AudioBlocks(info.tracks[i].length);
        return sum;
    }
    case disc_kind::Video: {
        std::int64_t sum = info.tracks[0].length;
        for (int i = 1; i < tracks; ++i)
            sum += AudioBlocks(info.tracks[i].length);
        return sum;
    }
    default:
        return -1;
    }
}

CDH_LOGICAL_CDROM_CLASS& CdromTable() {
    static CDH_LOGICAL_CDROM_CLASS table;
    return table;
}

CDH_LOGICAL_CDROM_CLASS::CDH_LOGICAL_CDROM_CLASS() {
    SetCacheUnits(kDefaultCacheUnits);
}

CDH_LOGICAL_CDROM_CLASS::~CDH_LOGICAL_CDROM_CLASS() {
    bus_.reset();
    cache_.reset();
}

int CDH_LOGICAL_CDROM_CLASS::IndexOf(char letter) {
    if (letter >= 'A' && letter <= 'Z') return letter - 'A';
    if (letter >= 'a' && letter <= 'z') return letter - 'a';
    return -1;
}

void CDH_LOGICAL_CDROM_CLASS::ShareCache() {
    if (!bus_) return;
    for (int i = 0; i < bus_->Count(); ++i)
        if (auto* device = dynamic_cast<TScsiCdd*>(bus_->Device(i))) device->SetCache(cache_);
}

bool CDH_LOGICAL_CDROM_CLASS::SetCacheUnits(std::uint32_t units) {
    units = std::min(units, kMaxCacheUnits);
    if (cache_ && cache_->units == units) return true;
    cache_.reset();
    try {
        cache_ = std::make_shared<TCache>(units, kCacheSlotSize);
    } catch (const std::exception&) {
        cache_.reset();
    }
    ShareCache();
    return cache_ != nullptr;
}

void CDH_LOGICAL_CDROM_CLASS::RefreshDevice(TScsiCdd& device, Entry& entry) {
    switch (device.TestUnitReady()) {
    case 0:
        entry.mediaState = kMediaReady;
        if (device.Analyse() != 0) entry.mediaState = kMediaUnknownFormat;
        break;
    case kMediaNoMedium:
        entry.mediaState = kMediaEmpty;
        break;
    case kMediaNoReferencePosition:
        entry.mediaState = kMediaDiscError;
        break;
    case kMediaIncompatible:
        entry.mediaState = kMediaUnknownFormat;
        break;
    default:
        entry.mediaState = kMediaNotReady;
        break;
    }
}

bool CDH_LOGICAL_CDROM_CLASS::Rescan() {
    for (Entry& e : entries_)
        e = {1, kMediaEmpty, 0};
    if (!cache_) return false;
    if (!bus_) {
        try {
            bus_ = std::make_unique<TScsiBus>(
                true, kDeviceTypeOptical, false,
                [](std::uint32_t adapter, std::uint32_t target, std::uint32_t lun) {
                    return std::make_unique<TScsiCdd>(adapter, target, lun);
                });
        } catch (const std::exception&) {
            bus_.reset();
            return false;
        }
    }
    ShareCache();
    for (int i = 0; i < bus_->Count(); ++i) {
        auto* device = dynamic_cast<TScsiCdd*>(bus_->Device(i));
        if (!device) continue;
        const int index = IndexOf(device->driveLetter);
        if (index < 0) continue;
        entries_[index].notADrive = 0;
        RefreshDevice(*device, entries_[index]);
    }
    return true;
}

void CDH_LOGICAL_CDROM_CLASS::RefreshLetter(char letter) {
    const int index = IndexOf(letter);
    TScsiCdd* device = GetDevice(letter);
    if (index < 0 || !device) return;
    RefreshDevice(*device, entries_[index]);
}

TScsiCdd* CDH_LOGICAL_CDROM_CLASS::GetDevice(char letter) const {
    if (!bus_ || IndexOf(letter) < 0) return nullptr;
    const int i = bus_->FindByLetter(letter);
    return i < 0 ? nullptr : dynamic_cast<TScsiCdd*>(bus_->Device(i));
}

bool CDH_LOGICAL_CDROM_CLASS::IsKnown(char letter) const {
    const int index = IndexOf(letter);
    return index >= 0 && entries_[index].notADrive == 0;
}

bool CDH_LOGICAL_CDROM_CLASS::IsCdDrive(char letter) const {
    return IsKnown(letter);
}

TScsiCdd* CDH_LOGICAL_CDROM_CLASS::AnalysedDevice(char letter) const {
    if (!IsKnown(letter) || entries_[IndexOf(letter)].mediaState != kMediaReady) return nullptr;
    return GetDevice(letter);
}

TScsiCdd* CDH_LOGICAL_CDROM_CLASS::ReadyDevice(char letter) const {
    TScsiCdd* device = GetDevice(letter);
    return device && device->IsUnitReady() ? device : nullptr;
}

int CDH_LOGICAL_CDROM_CLASS::InvalidateCache(char letter) {
    TScsiCdd* device = GetDevice(letter);
    if (!device || !cache_) return -1;
    return cache_->Invalidate(device->index);
}

std::uint32_t CDH_LOGICAL_CDROM_CLASS::GetMediaState(char letter) const {
    const int index = IndexOf(letter);
    return index < 0 ? kMediaNotReady : entries_[index].mediaState;
}

void CDH_LOGICAL_CDROM_CLASS::SetMediaChanged(char letter) {
    const int index = IndexOf(letter);
    if (index >= 0) entries_[index].mediaState = kMediaEmpty;
}

std::string CDH_LOGICAL_CDROM_CLASS::GetDriveCaption(char letter) {
    const int index = IndexOf(letter);
    if (index < 0) return "(?:)";
    if (!IsKnown(letter)) return "(!:)";
    std::string caption = "(";
    caption += static_cast<char>('A' + index);
    caption += ":)";
    switch (entries_[index].mediaState) {
    case kMediaReady:
        if (TScsiCdd* device = GetDevice(letter))
            caption += device->Disc().volumeLabel;
        else
            caption += GetMessageText(kMsgNotReady);
        break;
    case kMediaEmpty:
        caption += GetMessageText(kMsgEmpty);
        break;
    case kMediaDiscError:
        caption += GetMessageText(kMsgDiscError);
        break;
    case kMediaUnknownFormat:
        caption += GetMessageText(kMsgUnknownFormat);
        break;
    default:
        caption += GetMessageText(kMsgNotReady);
        break;
    }
    return caption;
}

std::string CDH_LOGICAL_CDROM_CLASS::GetDeviceName(char letter) {
    TScsiCdd* device = IsKnown(letter) ? GetDevice(letter) : nullptr;
    return device ? device->DisplayText() : "";
}

std::string CDH_LOGICAL_CDROM_CLASS::GetMediaKindName(char letter) {
    TScsiCdd* device = IsKnown(letter) ? GetDevice(letter) : nullptr;
    if (!device) return "";
    if (device->mediaBits2 & TScsiCdd::kMedia2BdRe) return "BD-RE";
    if (device->mediaBits2 & TScsiCdd::kMedia2BdRom) return "BD-ROM";
    if (device->mediaBits2 & TScsiCdd::kMedia2DvdRam) return "DVD-RAM";
    if (device->mediaBits1 & TScsiCdd::kMediaDvdr) return "DVD-R";
    if (device->mediaBits1 & TScsiCdd::kMediaDvdRom) return "DVD-ROM";
    if (device->mediaBits1 & TScsiCdd::kMediaCdrw) return "CD-RW";
    if (!(device->mediaBits1 & TScsiCdd::kMediaCdr)) return "CD-ROM";
    return "CD-R";
}

std::string CDH_LOGICAL_CDROM_CLASS::GetVolumeLabel(char letter) {
    const int index = IndexOf(letter);
    TScsiCdd* device = GetDevice(letter);
    if (index < 0 || !device || entries_[index].mediaState != kMediaReady) return "";
    return device->Disc().volumeLabel;
}

std::string CDH_LOGICAL_CDROM_CLASS::GetVolumeInfo(char letter) {
    TScsiCdd* device = GetDevice(letter);
    VolumeInfo volume;
    if (!device || !device->ReadVolumeInfo(volume)) return "";
    return std::string(CutUtf8(volume.fileSystemName, 255));
}

bool CDH_LOGICAL_CDROM_CLASS::IsDiscReady(char letter) {
    return AnalysedDevice(letter) != nullptr;
}

bool CDH_LOGICAL_CDROM_CLASS::Reanalyse(char letter) {
    TScsiCdd* device = ReadyDevice(letter);
    return device && device->Analyse() == 0;
}

std::uint8_t CDH_LOGICAL_CDROM_CLASS::GetFirstTrack(char letter) {
    TScsiCdd* device = ReadyDevice(letter);
    return device ? device->Disc().sessionCount : 0;
}

std::uint8_t CDH_LOGICAL_CDROM_CLASS::GetLastTrack(char letter) {
    TScsiCdd* device = ReadyDevice(letter);
    return device ? device->Disc().lastTrack : 0;
}

std::uint8_t CDH_LOGICAL_CDROM_CLASS::GetTrackEntryNumber(char letter, int entry) {
    TScsiCdd* device = ReadyDevice(letter);
    return device && ValidEntry(entry) ? device->Disc().tracks[entry].track : 0;
}

std::uint8_t CDH_LOGICAL_CDROM_CLASS::GetTrackNumber(char letter, int entry) {
    TScsiCdd* device = ReadyDevice(letter);
    return device && ValidEntry(entry) ? device->Disc().tracks[entry].session : 0;
}

std::string CDH_LOGICAL_CDROM_CLASS::GetTrackKindText(char letter, int entry) {
    TScsiCdd* device = ReadyDevice(letter);
    if (!device || !ValidEntry(entry)) return "";
    return device->Disc().tracks[entry].dataFlag == 1 ? "Data" : "Audio";
}

std::uint64_t CDH_LOGICAL_CDROM_CLASS::GetTrackBytes(char letter, int entry) {
    TScsiCdd* device = ReadyDevice(letter);
    if (!device || !ValidEntry(entry)) return 0;
    const DiscTrackEntry e = device->Disc().tracks[entry];
    return std::uint64_t{e.length} * (e.dataFlag == 1 ? 2048 : 2352);
}

std::string CDH_LOGICAL_CDROM_CLASS::GetInterfaceName(char letter) {
    TScsiCdd* device = GetDevice(letter);
    if (!device) return "";
    if (device->adapterKind == 1) return "IDE";
    if (device->adapterKind == 2) return "SCSI";
    return "";
}

std::int64_t CDH_LOGICAL_CDROM_CLASS::GetDiscBytes(char letter) {
    TScsiCdd* device = AnalysedDevice(letter);
    if (!device) return -1;
    const DiscInfo d = device->Disc();
    const bool audio = d.discKind == disc_kind::Audio ||
                       d.discKind == (disc_kind::Audio | disc_kind::MultiSession);
    return static_cast<std::int64_t>(d.totalSectors * (audio ? 2352 : 2048));
}

int CDH_LOGICAL_CDROM_CLASS::IsDataDisc(char letter) {
    TScsiCdd* device = AnalysedDevice(letter);
    if (!device) return -1;
    switch (device->Disc().discKind) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
    case 17:
    case 64:
    case 65:
        return 1;
    default:
        return 0;
    }
}

std::string CDH_LOGICAL_CDROM_CLASS::GetDiscFormatName(char letter) {
    TScsiCdd* device = AnalysedDevice(letter);
    return device ? FormatName(device->Disc().discKind) : "";
}

int CDH_LOGICAL_CDROM_CLASS::UnlockDrive(char letter) {
    TScsiCdd* device = IsKnown(letter) ? GetDevice(letter) : nullptr;
    return device ? device->Lock(false) : -1;
}
