#include "wizard_jobs.h"

#include "msgbox.h"

namespace {

// Message ids of the name and comment of each job; 0 is the empty text.
constexpr int kJobTextIds[kJobCount][2] = {{421, 0},   {266, 422}, {423, 424}, {425, 426},
                                           {427, 428}, {425, 426}, {266, 422}, {0, 0},
                                           {0, 0},     {829, 733}, {966, 967}, {968, 969}};

} // namespace

const std::array<WizardJobRow, kJobCount>& WizardJobTable() {
    static const std::array<WizardJobRow, kJobCount> table = {{
        {"Wizard", "", {0}},
        {"Mirror CD", "Mirror CD to server.", {1, 3, 4, 15, 6, 7}},
        {"Build Image",
         "Duplicate the files in \"My Container\" as a single CD image in a server.",
         {2, 3, 4, 15, 6, 7}},
        {"Setup Server", "Server quick setup.", {8, 10, 13, 12}},
        {"Initialize HD", "Initialize hard disk drives in server.", {14}},
        {"Setup Server", "Server quick setup.", {10, 13, 12}},
        {"Mirror CD", "Mirror CD to server.", {3, 4, 15, 6, 7}},
        {"Mirror CD Container", "Mirror CD to server.", {1, 3, 4, 15, 6, 7}},
        {"Mirror CD Container", "Mirror CD Container to server.", {3, 4, 15, 6, 7}},
        {"Record CD", "CD Recording", {15, 6}},
        {"Convert CDH Image", "CDH Image conversion", {17, 16, 18}},
        {"Upload ISO Image", "Upload ISO to server", {3, 4, 6, 7}},
    }};
    return table;
}

std::string GetWizardJobText(int job, int which) {
    if (job < 0 || job >= kJobCount || which < 0 || which > 1) return {};
    const int id = kJobTextIds[job][which];
    return id == 0 ? std::string() : std::string(GetMessageText(id));
}

bool IsMirrorJob(int job) {
    return job == 1 || job == 6 || job == 7 || job == 8;
}

bool IsDiscImageJob(int job) {
    return job == 1 || job == 2 || job == 6 || job == 7 || job == 8;
}

bool IsContainerJob(int job) {
    return job == 7 || job == 8;
}

void WZD_INFO::ClearState() {
    Job = 0;
    PageCount = 0;
    PageIndex = 0;
    IsoFilePath.clear();
    IsoFileSize = 0;
    SourceDrive = nullptr;
    TargetServerMac.clear();
    ImageFolderChoice = 0;
    Method = 0;
    VolumeNameMode = 0;
    ShareNameMode = 0;
    Scheduled = 0;
    LockDoor = 0;
    EjectDisc = 0;
    ReplaceWarning = 0;
    AutoShare = 0;
    StartTime = {};
    SourceLetter = 0;
}
