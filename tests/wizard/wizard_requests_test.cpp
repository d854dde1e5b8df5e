// The records a destination's task gets: the mirror request field by field at the library's
// offsets (the image-folder field is 112 bytes, every later field where the library puts it), and
// the recording settings.
#include "nasserver.h"
#include "wizard_requests.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace {

TEST(MirrorRequest, RecordHasTheLibrarysLayout) {
    EXPECT_EQ(sizeof(NasMirrorInfo), 284u);
    EXPECT_EQ(offsetof(NasMirrorInfo, userName), 0u);
    EXPECT_EQ(offsetof(NasMirrorInfo, password), 32u);
    EXPECT_EQ(offsetof(NasMirrorInfo, folderName), 52u);
    EXPECT_EQ(sizeof(NasMirrorInfo::folderName), 112u);
    EXPECT_EQ(offsetof(NasMirrorInfo, sectorCount), 164u);
    EXPECT_EQ(offsetof(NasMirrorInfo, discKind), 168u);
    EXPECT_EQ(offsetof(NasMirrorInfo, methodBits), 172u);
    EXPECT_EQ(offsetof(NasMirrorInfo, sourceLabel), 176u);
    EXPECT_EQ(offsetof(NasMirrorInfo, imageName), 208u);
    EXPECT_EQ(offsetof(NasMirrorInfo, shareName), 240u);
    EXPECT_EQ(offsetof(NasMirrorInfo, sectorCount2), 272u);
    EXPECT_EQ(offsetof(NasMirrorInfo, fileSystem), 276u);
    EXPECT_EQ(offsetof(NasMirrorInfo, replyWord), 280u);
    EXPECT_EQ(offsetof(NasMirrorInfo, mode), 282u);
}

std::string Field(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

TEST(MirrorRequest, FieldsComeFromTheEntryAndTheUnit) {
    CNasServer unit;
    std::strcpy(unit.UserName, "admin");
    std::strcpy(unit.Password, "secret");
    unit.ImgFolderCount = 2;
    std::memset(unit.ImgFolders, 0, sizeof unit.ImgFolders);
    // A folder name as long as the record holds: the request takes 111 bytes of it.
    std::memset(unit.ImgFolders[1] + 8, 'F', CNasServer::kImgFolderSize - 8 - 1);
    WizardJobEntry entry;
    entry.ImageFolder = 1;
    entry.Method = 2; // manual goes as force
    entry.VolumeLabel = "HOLIDAY";
    entry.ShareName = "HOLI";
    const NasMirrorInfo r = MakeMirrorRequest(entry, unit, true, "MY_DISC");
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
    EXPECT_EQ(Field(r.userName, 32), "admin");
    EXPECT_EQ(Field(r.password, 20), "secret");
    EXPECT_EQ(Field(r.folderName, 112), std::string(111, 'F'));
    EXPECT_EQ(bytes[52 + 111], 0); // terminated inside its field
    EXPECT_EQ(r.methodBits, 0x11u);
    EXPECT_EQ(Field(r.sourceLabel, 32), "MY_DISC");
    EXPECT_EQ(Field(r.imageName, 32), "HOLIDAY");
    EXPECT_EQ(Field(r.shareName, 32), "HOLI");
    // What the task's worker fills is left at zero.
    EXPECT_EQ(r.sectorCount, 0u);
    EXPECT_EQ(r.discKind, 0u);
    EXPECT_EQ(r.mode, 0);
    // An index past the unit's folders gives no folder name.
    entry.ImageFolder = 9;
    entry.Method = 0;
    const NasMirrorInfo none = MakeMirrorRequest(entry, unit, false, "");
    EXPECT_EQ(Field(none.folderName, 112), "");
    EXPECT_EQ(none.methodBits, 0u);
}

TEST(MirrorRequest, LongLabelsAreCutAtACharacter) {
    CNasServer unit;
    unit.Info.textEncodingKind = 1; // a UTF-8 unit: the cut is in UTF-8
    WizardJobEntry entry;
    // Eleven characters of three bytes: 33 bytes, two more than the 31 the field keeps.
    std::string wide;
    for (int i = 0; i < 11; ++i)
        wide += "\xe5\x85\x89";
    entry.VolumeLabel = wide;
    const NasMirrorInfo r = MakeMirrorRequest(entry, unit, false, wide);
    EXPECT_EQ(Field(r.imageName, 32), wide.substr(0, 30));
    EXPECT_EQ(Field(r.sourceLabel, 32), wide.substr(0, 30));
}

TEST(RecordSettings, FollowTheEntrysOwnChoices) {
    WizardJobEntry entry;
    entry.EraseFirst = 1; // no recording option: nothing is erased or deleted
    entry.DeleteAfter = 1;
    EXPECT_EQ(MakeRecordSettings(entry, true).flags, 4);
    EXPECT_EQ(MakeRecordSettings(entry, false).flags, 0);
    entry.CdrFlag = 1;
    entry.CdrDevice = 3;
    entry.RecordSpeed = 16;
    const RecordSettings s = MakeRecordSettings(entry, false);
    EXPECT_EQ(s.flags, 1 | 2 | 16);
    EXPECT_EQ(s.writer, 3);
    EXPECT_EQ(s.speed, 16);
    entry.EraseFirst = 0;
    EXPECT_EQ(MakeRecordSettings(entry, true).flags, 1 | 16);
    entry.DeleteAfter = 0;
    EXPECT_EQ(MakeRecordSettings(entry, true).flags, 1);
    EXPECT_EQ(DriveDescription(kJobRecordCd, ""), "NO_TITLE");
    EXPECT_EQ(DriveDescription(kJobMirror, ""), "");
    EXPECT_EQ(DriveDescription(kJobRecordCd, "DISC"), "DISC");
}

} // namespace
