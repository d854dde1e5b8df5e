#include "wizard_requests.h"

#include "nasserver.h"
#include "textcodec.h"

#include <cstring>
#include <string_view>

namespace {

// Copies text into a zero-filled field, cut at a character boundary so that the terminator fits.
template <std::size_t N> void PutField(char (&field)[N], std::string_view text) {
    std::memset(field, 0, N);
    const std::string_view cut = CutUtf8(text, N - 1);
    std::memcpy(field, cut.data(), cut.size());
}

} // namespace

std::string DriveDescription(int job, const std::string& discLabel) {
    if (job == kJobRecordCd && discLabel.empty()) return "NO_TITLE";
    return discLabel;
}

NasMirrorInfo MakeMirrorRequest(const WizardJobEntry& entry, const CNasServer& target,
                                bool autoShare, const std::string& driveDescription) {
    NasMirrorInfo request{};
    PutField(request.userName,
             std::string_view(target.UserName, strnlen(target.UserName, sizeof target.UserName)));
    PutField(request.password,
             std::string_view(target.Password, strnlen(target.Password, sizeof target.Password)));
    if (entry.ImageFolder < target.ImgFolderCount &&
        entry.ImageFolder < CNasServer::kImgFolderMax) {
        const char* name = target.ImgFolders[entry.ImageFolder] + 8;
        PutField(request.folderName,
                 std::string_view(name, strnlen(name, CNasServer::kImgFolderSize - 8)));
    }
    request.methodBits = (entry.Method == 2 ? 1u : entry.Method) | (autoShare ? 0x10u : 0u);
    PutField(request.sourceLabel, driveDescription);
    PutField(request.imageName, entry.VolumeLabel);
    PutField(request.shareName, entry.ShareName);
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
