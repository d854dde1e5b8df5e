#include "discsim.h"
#include "image.h"
#include "sector.h"

#include <algorithm>
#include <cstring>

namespace discsim {
namespace {

// ISO 9660 volume descriptor fields used here (user-data offsets).
constexpr std::size_t kVdSystemId = 8, kVdSystemIdSize = 32;
constexpr std::size_t kVdVolumeId = 40, kVdVolumeIdSize = 32;
constexpr std::size_t kVdSpaceSize = 80;
constexpr std::size_t kVdSetSize = 120, kVdSequence = 124, kVdBlockSize = 128;
constexpr std::size_t kVdRootRecord = 156;
constexpr std::size_t kVdVolumeSetId = 190, kVdPublisherId = 318, kVdPreparerId = 446;
constexpr std::size_t kVdApplicationId = 574, kVdLongIdSize = 128;
constexpr std::size_t kVdFileIds = 702, kVdFileIdsSize = 3 * 37;
constexpr std::size_t kVdDates = 813, kVdDateSize = 17;
constexpr std::size_t kVdStructureVersion = 881;
constexpr std::size_t kVdXaSignature = 1024;
constexpr std::size_t kDirRecordSize = 34;
static_assert(kVdSystemId + kVdSystemIdSize == kVdVolumeId);
static_assert(kVdPreparerId + kVdLongIdSize == kVdApplicationId);
static_assert(kVdApplicationId + kVdLongIdSize == kVdFileIds);
static_assert(kVdFileIds + kVdFileIdsSize == kVdDates);
static_assert(kVdDates + 4 * kVdDateSize == kVdStructureVersion);

void PutBoth32(std::uint8_t* p, std::uint32_t v) { // little-endian then big-endian
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
        p[7 - i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}
void PutBoth16(std::uint8_t* p, std::uint16_t v) {
    p[0] = p[3] = static_cast<std::uint8_t>(v);
    p[1] = p[2] = static_cast<std::uint8_t>(v >> 8);
}
void PutText(std::uint8_t* p, std::size_t width, const std::string& text) {
    std::memset(p, ' ', width);
    std::memcpy(p, text.data(), std::min(width, text.size()));
}

std::vector<std::uint8_t> DescriptorHead(std::uint8_t type, const char* id) {
    std::vector<std::uint8_t> s(kUserDataSize, 0);
    s[0] = type;
    std::memcpy(&s[1], id, 5);
    s[6] = 1;
    return s;
}

void PutDirRecord(std::uint8_t* p, std::uint32_t extent, std::uint8_t name) {
    p[0] = kDirRecordSize;
    PutBoth32(p + 2, extent);
    PutBoth32(p + 10, static_cast<std::uint32_t>(kUserDataSize));
    p[25] = 0x02; // directory
    PutBoth16(p + 28, 1);
    p[32] = 1; // name length
    p[33] = name;
}

// Volume descriptors of a data session starting at `start`, space ending at `end`.
void WriteVolume(Disc& disc, std::uint32_t start, std::uint32_t end, const VolumeInfo& volume,
                 const std::string& volumeId) {
    const std::uint32_t root = start + (volume.udfRecognition ? 21 : 18);
    if (end <= root) return; // too short to hold a volume
    auto pvd = DescriptorHead(1, "CD001");
    PutText(&pvd[kVdSystemId], kVdSystemIdSize, volume.systemId);
    PutText(&pvd[kVdVolumeId], kVdVolumeIdSize, volumeId);
    PutBoth32(&pvd[kVdSpaceSize], end);
    PutBoth16(&pvd[kVdSetSize], 1);
    PutBoth16(&pvd[kVdSequence], 1);
    PutBoth16(&pvd[kVdBlockSize], static_cast<std::uint16_t>(kUserDataSize));
    PutDirRecord(&pvd[kVdRootRecord], root, 0);
    PutText(&pvd[kVdVolumeSetId], kVdLongIdSize, "");
    PutText(&pvd[kVdPublisherId], kVdLongIdSize, "");
    PutText(&pvd[kVdPreparerId], kVdLongIdSize, volume.preparerId);
    PutText(&pvd[kVdApplicationId], kVdLongIdSize, volume.applicationId);
    PutText(&pvd[kVdFileIds], kVdFileIdsSize, "");
    for (std::size_t d = 0; d < 4; ++d) // dates "not specified": sixteen '0' digits and offset 0
        std::memset(&pvd[kVdDates + d * kVdDateSize], '0', kVdDateSize - 1);
    pvd[kVdStructureVersion] = 1;
    if (volume.xaSignature) std::memcpy(&pvd[kVdXaSignature], "CD-XA001", 8);
    disc.sectors[start + 16] = std::move(pvd);
    disc.sectors[start + 17] = DescriptorHead(255, "CD001");
    if (volume.udfRecognition) {
        disc.sectors[start + 18] = DescriptorHead(0, "BEA01");
        disc.sectors[start + 19] = DescriptorHead(0, "NSR02");
        disc.sectors[start + 20] = DescriptorHead(0, "TEA01");
    }
    std::vector<std::uint8_t> dir(kUserDataSize, 0);
    PutDirRecord(&dir[0], root, 0);
    PutDirRecord(&dir[kDirRecordSize], root, 1);
    disc.sectors[root] = std::move(dir);
}

std::vector<Track> Consecutive(std::uint8_t firstNumber, std::uint32_t start, TrackMode mode,
                               const std::vector<std::uint32_t>& lengths, std::uint32_t& end) {
    std::vector<Track> tracks;
    end = start;
    for (std::uint32_t length : lengths) {
        tracks.push_back({static_cast<std::uint8_t>(firstNumber + tracks.size()), mode, end});
        end += length;
    }
    return tracks;
}

Disc OneTrackDisc(MediumKind kind, std::uint16_t profile, std::uint32_t sectors,
                  const VolumeInfo& volume) {
    Disc disc;
    disc.kind = kind;
    disc.profile = profile;
    disc.mediumType = 0x00;
    disc.sessions = {
        Session{1, SessionFormat::CdDaOrRom, {Track{1, TrackMode::Mode1, 0}}, sectors}};
    WriteVolume(disc, 0, sectors, volume, volume.volumeId);
    return disc;
}

} // namespace

std::uint32_t Disc::capacity() const {
    return sessions.empty() ? 0 : sessions.back().leadOut;
}

const Track* Disc::findTrack(std::uint32_t lba, std::uint32_t* end) const {
    for (const Session& session : sessions)
        for (std::size_t i = 0; i < session.tracks.size(); ++i) {
            const std::uint32_t stop =
                i + 1 < session.tracks.size() ? session.tracks[i + 1].start : session.leadOut;
            if (lba >= session.tracks[i].start && lba < stop) {
                if (end) *end = stop;
                return &session.tracks[i];
            }
        }
    return nullptr;
}

std::uint8_t PatternByte(std::uint32_t lba, std::size_t offset) {
    return static_cast<std::uint8_t>((lba * 7u + offset * 13u + (lba >> 8)) & 0xFFu);
}

Disc MakeCd(std::vector<Session> sessions, VolumeInfo volume) {
    Disc disc;
    disc.sessions = std::move(sessions);
    std::size_t dataSessions = 0;
    for (const Session& s : disc.sessions)
        if (!s.tracks.empty() && s.tracks.front().mode != TrackMode::Audio) ++dataSessions;
    disc.mediumType = CdMediumType(disc.sessions);
    for (const Session& s : disc.sessions) {
        if (s.tracks.empty() || s.tracks.front().mode == TrackMode::Audio) continue;
        VolumeInfo v = volume;
        if (s.format == SessionFormat::CdXa) v.xaSignature = true;
        const std::string id =
            dataSessions > 1 ? volume.volumeId + "_" + std::to_string(s.number) : volume.volumeId;
        const std::uint32_t end = s.tracks.size() > 1 ? s.tracks[1].start : s.leadOut;
        WriteVolume(disc, s.tracks.front().start, end, v, id);
    }
    return disc;
}

Disc MakeDataCd(std::uint32_t sectors, VolumeInfo volume) {
    return MakeCd({Session{1, SessionFormat::CdDaOrRom, {Track{1, TrackMode::Mode1, 0}}, sectors}},
                  std::move(volume));
}

Disc MakeAudioCd(const std::vector<std::uint32_t>& trackLengths) {
    std::uint32_t end = 0;
    auto tracks = Consecutive(1, 0, TrackMode::Audio, trackLengths, end);
    return MakeCd({Session{1, SessionFormat::CdDaOrRom, std::move(tracks), end}});
}

Disc MakeMixedModeCd(std::uint32_t dataSectors, const std::vector<std::uint32_t>& audioLengths) {
    std::uint32_t end = 0;
    auto tracks = Consecutive(2, dataSectors, TrackMode::Audio, audioLengths, end);
    tracks.insert(tracks.begin(), Track{1, TrackMode::Mode1, 0});
    return MakeCd({Session{1, SessionFormat::CdDaOrRom, std::move(tracks), end}});
}

Disc MakeXaCd(std::uint32_t sectors, VolumeInfo volume) {
    return MakeCd({Session{1, SessionFormat::CdXa, {Track{1, TrackMode::Mode2, 0}}, sectors}},
                  std::move(volume));
}

Disc MakeVideoCd(std::uint32_t dataSectors, const std::vector<std::uint32_t>& videoLengths) {
    std::uint32_t end = 0;
    auto tracks = Consecutive(2, dataSectors, TrackMode::Mode2, videoLengths, end);
    for (Track& t : tracks)
        t.form2 = true;
    tracks.insert(tracks.begin(), Track{1, TrackMode::Mode2, 0});
    VolumeInfo volume;
    volume.volumeId = "VIDEOCD";
    volume.systemId = "CD-RTOS CD-BRIDGE";
    volume.applicationId = "CDI/CDI_VCD.APP;1";
    return MakeCd({Session{1, SessionFormat::CdXa, std::move(tracks), end}}, volume);
}

Disc MakeCdExtra(const std::vector<std::uint32_t>& audioLengths, std::uint32_t dataSectors,
                 VolumeInfo volume) {
    std::uint32_t end = 0;
    auto audio = Consecutive(1, 0, TrackMode::Audio, audioLengths, end);
    const auto next = static_cast<std::uint8_t>(audio.size() + 1);
    const std::uint32_t start = end + kFirstSessionGap;
    return MakeCd(
        {Session{1, SessionFormat::CdDaOrRom, std::move(audio), end},
         Session{
             2, SessionFormat::CdXa, {Track{next, TrackMode::Mode2, start}}, start + dataSectors}},
        std::move(volume));
}

Disc MakeMultiSessionCd(const std::vector<std::uint32_t>& sessionSectors, TrackMode mode,
                        VolumeInfo volume) {
    std::vector<Session> sessions;
    std::uint32_t start = 0;
    for (std::uint32_t sectors : sessionSectors) {
        const auto n = static_cast<std::uint8_t>(sessions.size() + 1);
        sessions.push_back(
            Session{n,
                    mode == TrackMode::Mode2 ? SessionFormat::CdXa : SessionFormat::CdDaOrRom,
                    {Track{n, mode, start}},
                    start + sectors});
        start += sectors + (n == 1 ? kFirstSessionGap : kNextSessionGap);
    }
    return MakeCd(std::move(sessions), std::move(volume));
}

Disc MakeDvd(std::uint32_t sectors, std::uint8_t layers, bool oppositeTrackPath, VolumeInfo volume,
             std::uint32_t layer0Sectors) {
    Disc disc = OneTrackDisc(MediumKind::Dvd, kProfileDvdRom, sectors, volume);
    disc.layers = layers == 2 ? 2 : 1;
    disc.oppositeTrackPath = disc.layers == 2 && oppositeTrackPath;
    disc.layer0Sectors = disc.layers == 1 ? sectors : layer0Sectors ? layer0Sectors : sectors / 2;
    return disc;
}

Disc MakeBd(std::uint32_t sectors, VolumeInfo volume) {
    Disc disc = OneTrackDisc(MediumKind::Bd, kProfileBdRom, sectors, volume);
    disc.layer0Sectors = sectors;
    return disc;
}

bool FetchSector(const Disc& disc, const Track& track, std::uint32_t lba, bool whole, Sector& out) {
    // Stored raw sectors come back as they are.
    if (disc.image && disc.image->layout() == ImageFile::Layout::Raw2352) {
        std::uint64_t index = 0;
        for (const auto& [start, first] : disc.image->trackOffsets)
            if (start == track.start) index = first + (lba - start);
        if (!disc.image->read(index * kRawSectorSize, out.raw, kRawSectorSize)) return false;
        if (track.mode == TrackMode::Audio)
            out.type = Sector::Type::Audio;
        else if (track.mode == TrackMode::Mode1)
            out.type = Sector::Type::Mode1;
        else
            out.type = (out.raw[18] & 0x20) ? Sector::Type::Mode2Form2 : Sector::Type::Mode2Form1;
        return true;
    }

    out.type = track.mode == TrackMode::Audio   ? Sector::Type::Audio
               : track.mode == TrackMode::Mode1 ? Sector::Type::Mode1
               : track.form2                    ? Sector::Type::Mode2Form2
                                                : Sector::Type::Mode2Form1;
    std::uint8_t user[kRawSectorSize] = {};
    const std::size_t size = out.userSize();
    if (disc.image) {
        if (!disc.image->read(std::uint64_t{lba} * kUserDataSize, user, kUserDataSize))
            return false;
    } else if (auto it = disc.sectors.find(lba); it != disc.sectors.end()) {
        std::memcpy(user, it->second.data(), std::min(size, it->second.size()));
    } else {
        for (std::size_t i = 0; i < size; ++i)
            user[i] = PatternByte(lba, i);
    }

    const std::uint8_t data[4] = {0, 0, 0x08, 0};  // submode: data
    const std::uint8_t video[4] = {1, 1, 0x64, 0}; // submode: real time, form 2, video
    switch (out.type) {
    case Sector::Type::Audio:
        std::memcpy(out.raw, user, kRawSectorSize);
        return true;
    case Sector::Type::Mode1:
        if (whole)
            EncodeMode1Sector(lba, user, out.raw);
        else
            std::memcpy(out.raw + 16, user, size);
        return true;
    case Sector::Type::Mode2Form1:
        if (whole)
            EncodeMode2Form1Sector(lba, data, user, out.raw);
        else {
            std::memcpy(out.raw + 16, data, 4);
            std::memcpy(out.raw + 20, data, 4);
            std::memcpy(out.raw + 24, user, size);
        }
        return true;
    case Sector::Type::Mode2Form2:
        EncodeMode2Form2Sector(lba, video, user, out.raw);
        return true;
    }
    return true;
}

} // namespace discsim
