#include "wizard_requests.h"

#include "nasserver.h"
#include "unit_text.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// Copies bytes (already in the unit's encoding and cut to fit) into a zero-filled field.
template <std::size_t N> void PutField(char (&field)[N], std::string_view bytes) {
    std::memset(field, 0, N);
    std::memcpy(field, bytes.data(), std::min(bytes.size(), N - 1));
}

// The stored text of a field of the server object (the unit's own bytes).
template <std::size_t N> std::string_view Stored(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

} // namespace

std::string DriveDescription(int job, const std::string& discLabel) {
    if (job == kJobRecordCd && discLabel.empty()) return "NO_TITLE";
    return discLabel;
}

NasMirrorInfo MakeMirrorRequest(const WizardJobEntry& entry, const CNasServer& target,
                                bool autoShare, const std::string& driveDescription) {
    NasMirrorInfo request{};
    // The account and password as the prompt stored them, in the unit's encoding.
    PutField(request.userName, Stored(target.UserName));
    PutField(request.password, Stored(target.Password));
    if (entry.ImageFolder < target.ImgFolderCount &&
        entry.ImageFolder < CNasServer::kImgFolderMax) {
        const char* name = target.ImgFolders[entry.ImageFolder] + 8;
        PutField(request.folderName,
                 std::string_view(name, strnlen(name, CNasServer::kImgFolderSize - 8)));
    }
    request.methodBits = (entry.Method == 2 ? 1u : entry.Method) | (autoShare ? 0x10u : 0u);
    // The program's texts in the unit's encoding, cut there (after the conversion, at a
    // character) to what the field holds with its terminator.
    const int kind = target.GetTextEncoding();
    PutField(request.sourceLabel,
             UnitFieldText(driveDescription, kind, sizeof request.sourceLabel - 1));
    PutField(request.imageName,
             UnitFieldText(entry.VolumeLabel, kind, sizeof request.imageName - 1));
    PutField(request.shareName, UnitFieldText(entry.ShareName, kind, sizeof request.shareName - 1));
    return request;
}

RecordSettings MakeRecordSettings(const WizardJobEntry& entry, bool scheduledBit) {
    RecordSettings settings;
    settings.flags = static_cast<std::uint8_t>((entry.CdrFlag ? 1 : 0) | (scheduledBit ? 4 : 0));
    if (entry.CdrFlag) {
        settings.writer = entry.CdrDevice;
        settings.speed = entry.RecordSpeed;
        // Writing the settings of a recording clears the scheduled bit.
        settings.flags = static_cast<std::uint8_t>(1 | (entry.EraseFirst ? 2 : 0) |
                                                   (entry.DeleteAfter ? 16 : 0));
    }
    return settings;
}
