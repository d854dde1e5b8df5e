// The wizard's job table, page kinds, its shared state WZD_INFO and the job entries (one per
// destination of a disc job).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MIRROR_CONTAINER;
class TScsiCdd;

// The page kinds; kind N is tab sheet N of the wizard's page control.
enum WizardPageKind : int {
    kPageJobList = 0,
    kPageLocalCdrom = 1,
    kPageContainer = 2,
    kPageDestination = 3,
    kPageVolumeName = 4,
    kPageShareName = 5,
    kPageSchedule = 6,
    kPageOptions = 7,
    kPageServerDetail = 8,
    kPageNetworkEnvironment = 9,
    kPageIpAddress = 10,
    kPageDateTime = 11,
    kPagePassword = 12,
    kPageServerName = 13,
    kPageInitialHdList = 14,
    kPageCdRecording = 15,
    kPageSelectCdhImages = 16,
    kPageCdhFolder = 17,
    kPageConvertTarget = 18,
    kPageKindCount = 19,
};

// The jobs.
enum WizardJob : int {
    kJobNone = 0,
    kJobMirror = 1,
    kJobBuildImage = 2,
    kJobSetupServer = 3,
    kJobInitializeHd = 4,
    kJobSetupPreselected = 5,
    kJobMirrorPreselected = 6,
    kJobMirrorContainer = 7,
    kJobMirrorContainerPreselected = 8,
    kJobRecordCd = 9,
    kJobConvertCdh = 10,
    kJobUploadIso = 11,
    kJobCount = 12,
};

struct WizardJobRow {
    const char* name;    // English name
    const char* comment; // English comment
    std::vector<int> pages;
};

// The 12 rows, indexed by job number.
const std::array<WizardJobRow, kJobCount>& WizardJobTable();
// The job's name (which 0) or comment (which 1) in the message language; empty out of range.
std::string GetWizardJobText(int job, int which);

bool IsMirrorJob(int job);    // 1, 6, 7, 8
bool IsDiscImageJob(int job); // the jobs with a CD recording page after the volume names
bool IsContainerJob(int job); // 7, 8

// Field widths of a job entry's texts, in bytes with the terminator.
inline constexpr std::size_t kDefaultLabelField = 34;
inline constexpr std::size_t kVolumeLabelField = 34;
inline constexpr std::size_t kShareNameField = 18;
inline constexpr std::size_t kSharePasswordField = 16;
inline constexpr int kMaxVolumeLabelChars = 31;
inline constexpr int kMaxSharePasswordChars = 15;

// One destination of a disc job. The target is named by its unit's hardware address and found
// again in the main window's server lists at each use, so a refresh of those lists never leaves
// the entry pointing at a freed server.
struct WizardJobEntry {
    TScsiCdd* SourceDrive = nullptr;
    std::string TargetMac;                       // hardware-address text of the destination unit
    std::string TargetName;                      // its name as the destination list showed it
    std::shared_ptr<MIRROR_CONTAINER> Container; // shared with the tasks made from it
    std::uint8_t Method = 0;
    std::uint8_t ImageFolder = 255;
    std::uint8_t VolumeLabelMode = 0;
    std::uint8_t ShareMode = 1;
    std::uint8_t LockDoor = 0;
    std::uint8_t EjectDisc = 0;
    std::uint8_t AutoShare = 0;
    std::string DefaultLabel;  // at most 33 bytes
    std::string VolumeLabel;   // at most 33 bytes; 31 characters once checked
    std::string ShareName;     // at most 17 bytes
    std::string SharePassword; // at most 15 bytes
    std::uint8_t HdInitMode = 0;
    std::uint8_t HdInitDevice = 0;
    std::uint8_t CdrFlag = 0;
    std::uint8_t CdrDevice = 0;
    std::uint8_t RecordSpeed = 0;
    std::uint8_t EraseFirst = 0;
    std::uint8_t DeleteAfter = 0;
    std::uint32_t ImageBlocks = 0; // job 9: the chosen image's size in 2048-byte blocks
    // Jobs 7 and 8: the entries of the disc its container could not take, named with their
    // reasons (empty when none); the task's report repeats it.
    std::string LeftOut;
};

// A local date and time of day.
struct WizardTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    bool operator==(const WizardTime&) const = default;
};

// The state of the running wizard; cleared when it closes.
struct WZD_INFO {
    std::uint8_t Job = 0;
    std::uint8_t PageCount = 0;
    std::uint8_t PageIndex = 0;
    std::string IsoFilePath;       // the ISO file of job 11, as the host names it
    std::uint32_t IsoFileSize = 0; // kilobytes
    TScsiCdd* SourceDrive = nullptr;
    std::string TargetServerMac; // the preselected server of jobs 6 and 8
    std::uint32_t ImageFolderChoice = 0;
    std::uint8_t Method = 0;
    std::uint8_t VolumeNameMode = 0;
    std::uint8_t ShareNameMode = 0;
    std::uint8_t Scheduled = 0;
    std::uint8_t LockDoor = 0;
    std::uint8_t EjectDisc = 0;
    std::uint8_t ReplaceWarning = 0;
    std::uint8_t AutoShare = 0;
    WizardTime StartTime;
    std::vector<std::unique_ptr<WizardJobEntry>> Jobs;
    char SourceLetter = 0;

    // Everything but the job list back to the start state.
    void ClearState();
};
