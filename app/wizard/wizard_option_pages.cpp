// The CD recording page (page 15), the schedule page (page 6) and the options page (page 7).
#include "fmwizard.h"

#include "cdrom.h"
#include "container.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "nasserver.h"
#include "nassvrnet.h"
#include "scsicdd.h"

#include "clock/clock.h"
#include "vcl/date_time_picker.h"

#include <array>
#include <chrono>
#include <ctime>

namespace {

// Size limits of a recording, in 2048-byte blocks.
constexpr std::uint64_t kCdRefused = 368640;   // 720 MB
constexpr std::uint64_t kCdWarned = 327680;    // 640 MB
constexpr std::uint64_t kDvdRefused = 2406400; // 4.7 GB
constexpr std::array<int, 17> kSpeeds = {1,  2,  4,  6,  8,  10, 12, 14, 16,
                                         18, 20, 22, 24, 26, 28, 30, 32};
constexpr const char* kRecordableFormats[] = {"CD-Data", "CD-Data(M)", "CD-Mixed", "CD-Mixed(M)",
                                              "CD-XA",   "DVD",        "CD-Audio", "CD-Video"};

WizardTime LocalNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(platform::Now());
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// Seconds since 1970 of a local time; nothing for a date that does not exist.
std::optional<std::time_t> LocalSeconds(const WizardTime& t) {
    if (!vcl::IsValidDate(t.Year, t.Month, t.Day) || t.Hour < 0 || t.Hour > 23 || t.Minute < 0 ||
        t.Minute > 59 || t.Second < 0 || t.Second > 59)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = t.Year - 1900;
    tm.tm_mon = t.Month - 1;
    tm.tm_mday = t.Day;
    tm.tm_hour = t.Hour;
    tm.tm_min = t.Minute;
    tm.tm_sec = t.Second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

} // namespace

// ---- Page 6: schedule

int TFmWizard::SchedulePage(int mode) {
    vcl::TCSpinEdit* spins[] = {CSpinEdit_Year, CSpinEdit_Mon, CSpinEdit_Day,
                                CSpinEdit_Hour, CSpinEdit_Min, CSpinEdit_Sec};
    if (mode == 0) {
        WizardTime shown = WzdInfo.StartTime;
        const bool scheduled = WzdInfo.Scheduled != 0;
        if (!scheduled) {
            shown = LocalNow();
            shown.Hour = 22;
            shown.Minute = 0;
            shown.Second = 0;
        }
        const int values[] = {shown.Year, shown.Month,  shown.Day,
                              shown.Hour, shown.Minute, shown.Second};
        // The values first, then the radio: the change handler must not take today's evening
        // as the chosen time.
        RadioButton_StartNow->SetChecked(!scheduled);
        for (int i = 0; i < 6; ++i)
            spins[i]->SetValue(values[i]);
        if (scheduled) {
            RadioButton_StartSchedule->SetChecked(true);
            RadioButton_StartScheduleClick(nullptr);
        } else {
            RadioButton_StartNow->SetChecked(true);
            RadioButton_StartNowClick(nullptr);
        }
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    const bool now = RadioButton_StartNow->GetChecked();
    const bool later = RadioButton_StartSchedule->GetChecked();
    if (now) return WzdInfo.Scheduled ? 1 : 0;
    if (!later || !WzdInfo.Scheduled) return 1;
    const WizardTime chosen{CSpinEdit_Year->GetValue(), CSpinEdit_Mon->GetValue(),
                            CSpinEdit_Day->GetValue(),  CSpinEdit_Hour->GetValue(),
                            CSpinEdit_Min->GetValue(),  CSpinEdit_Sec->GetValue()};
    const auto at = LocalSeconds(chosen);
    const auto current = LocalSeconds(LocalNow());
    // A day that does not exist in its month (30 February) can never come.
    if (!at || !current || *at <= *current) {
        vcl::MessageBox(GetMessageText(479), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        return 1;
    }
    WzdInfo.StartTime = chosen;
    return 0;
}

void TFmWizard::RadioButton_StartNowClick(vcl::TObject*) {
    RadioButton_StartNow->SetChecked(true);
    for (vcl::TCSpinEdit* spin : {CSpinEdit_Year, CSpinEdit_Mon, CSpinEdit_Day, CSpinEdit_Hour,
                                  CSpinEdit_Min, CSpinEdit_Sec}) {
        spin->SetEnabled(false);
        spin->SetColor(vcl::clBtnFace);
    }
    WzdInfo.Scheduled = 0;
}

void TFmWizard::RadioButton_StartScheduleClick(vcl::TObject*) {
    RadioButton_StartSchedule->SetChecked(true);
    for (vcl::TCSpinEdit* spin : {CSpinEdit_Year, CSpinEdit_Mon, CSpinEdit_Day, CSpinEdit_Hour,
                                  CSpinEdit_Min, CSpinEdit_Sec}) {
        spin->SetEnabled(true);
        spin->SetColor(vcl::clWindow);
    }
    WzdInfo.Scheduled = 1;
    CSpinEdit_YearChange(nullptr);
}

void TFmWizard::CSpinEdit_YearChange(vcl::TObject*) {
    if (RadioButton_StartNow->GetChecked()) {
        WzdInfo.Scheduled = 0;
    } else if (RadioButton_StartSchedule->GetChecked()) {
        WzdInfo.Scheduled = 1;
        WzdInfo.StartTime = {CSpinEdit_Year->GetValue(), CSpinEdit_Mon->GetValue(),
                             CSpinEdit_Day->GetValue(),  CSpinEdit_Hour->GetValue(),
                             CSpinEdit_Min->GetValue(),  CSpinEdit_Sec->GetValue()};
    }
}

// ---- Page 7: options

int TFmWizard::OptionsPage(int mode) {
    const int job = WzdInfo.Job;
    if (mode == 0) {
        const bool mirror = IsMirrorJob(job);
        CheckBox_LockCdrom->SetVisible(mirror);
        CheckBox_EjectDisc->SetVisible(mirror);
        CheckBox_AutoShare->SetVisible(true);
        if (mirror) {
            CheckBox_LockCdrom->SetChecked(WzdInfo.LockDoor != 0);
            CheckBox_EjectDisc->SetChecked(WzdInfo.EjectDisc != 0);
            CheckBox_ReplaceWarning->SetChecked(WzdInfo.ReplaceWarning != 0);
        }
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (job == kJobUploadIso) return 0;
    for (const auto& entry : WzdInfo.Jobs) {
        if (IsDiscImageJob(job)) entry->AutoShare = WzdInfo.AutoShare;
        // In jobs 7 and 8 each destination's container was read from the disc in the drive.
        if (job == kJobMirror || job == kJobMirrorPreselected ||
            (IsContainerJob(job) && entry->Container != nullptr)) {
            entry->LockDoor = WzdInfo.LockDoor;
            entry->EjectDisc = WzdInfo.EjectDisc;
        }
    }
    return 0;
}

void TFmWizard::CheckBox_LockCdromClick(vcl::TObject*) {
    WzdInfo.LockDoor = CheckBox_LockCdrom->GetChecked() ? 1 : 0;
}

void TFmWizard::CheckBox_EjectDiscClick(vcl::TObject*) {
    WzdInfo.EjectDisc = CheckBox_EjectDisc->GetChecked() ? 1 : 0;
}

void TFmWizard::CheckBox_ReplaceWarningClick(vcl::TObject*) {
    WzdInfo.ReplaceWarning = CheckBox_ReplaceWarning->GetChecked() ? 1 : 0;
}

void TFmWizard::CheckBox_AutoShareClick(vcl::TObject*) {
    WzdInfo.AutoShare = CheckBox_AutoShare->GetChecked() ? 1 : 0;
}

// ---- Page 15: CD recording options

std::string TFmWizard::OptionText(const WizardJobEntry& entry) {
    const auto target = Target(entry);
    std::string text = target ? target->GetDriveName(entry.CdrDevice) : std::string();
    // The destination's own choices, as its task will take them.
    if (entry.EraseFirst) text += GetMessageText(480);
    if (entry.DeleteAfter) text += GetMessageText(500);
    return text;
}

int TFmWizard::CdRecordingPage(int mode) {
    if (mode == 0) {
        ListView_CdrOption->Items()->BeginUpdate();
        ListView_CdrOption->Items()->Clear();
        lastCdrRow_ = nullptr;
        for (const auto& entry : WzdInfo.Jobs) {
            const auto target = Target(*entry);
            if (target == nullptr || target->GetDriveCount() <= 0) continue;
            vcl::TListItem* row = ListView_CdrOption->Items()->Add();
            row->SetCaption(target->GetName());
            row->SetData(entry.get());
            row->SubItems()->Add(entry->Method == 1 ? "F" : "S");
            row->SubItems()->Add(entry->VolumeLabel);
            row->SubItems()->Add(entry->CdrFlag ? OptionText(*entry) : "");
        }
        ListView_CdrOption->Items()->EndUpdate();
        if (ListView_CdrOption->Items()->Count() > 0)
            ListView_CdrOption->Items()->Item(0)->SetSelected(true);
        ListView_CdrOptionClick(nullptr);
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (WzdInfo.Job != kJobRecordCd) return 0;
    WizardJobEntry* entry = SelectedEntry(ListView_CdrOption);
    if (entry == nullptr) return 1;
    if (!entry->CdrFlag) {
        vcl::MessageBox(GetMessageText(237), GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
        return 1;
    }
    return 0;
}

void TFmWizard::FillCdrControls(CNasServer* server) {
    ComboBox_CdrList->Items()->BeginUpdate();
    ComboBox_CdrList->Items()->Clear();
    if (server) {
        for (int i = 0; i < server->GetDriveCountLoaded(); ++i) {
            const int number = server->GetDriveNumber(i);
            if (number < 0) break;
            ComboBox_CdrList->Items()->AddObject(
                server->GetDriveName(number),
                reinterpret_cast<void*>(static_cast<intptr_t>(number)));
        }
    }
    ComboBox_CdrList->Items()->EndUpdate();
    ComboBox_RecordSpeed->Items()->Clear();
    const bool writers = ComboBox_CdrList->Items()->Count() > 0;
    if (!writers) {
        ComboBox_CdrList->Items()->AddObject(GetMessageText(493), reinterpret_cast<void*>(255));
        ComboBox_RecordSpeed->Items()->Add("");
    } else {
        for (int speed : kSpeeds)
            ComboBox_RecordSpeed->Items()->AddObject(
                std::to_string(speed) + "X", reinterpret_cast<void*>(static_cast<intptr_t>(speed)));
    }
    for (vcl::TComboBox* combo : {ComboBox_CdrList, ComboBox_RecordSpeed}) {
        combo->SetEnabled(writers);
        combo->SetColor(writers ? vcl::clWindow : vcl::clBtnFace);
        combo->SetItemIndex(0);
    }
    for (vcl::TCheckBox* box : {CheckBox_EraseCDRW, CheckBox_DelImage}) {
        box->SetChecked(false);
        box->SetEnabled(writers);
    }
}

void TFmWizard::ListView_CdrOptionClick(vcl::TObject*) {
    WizardJobEntry* entry = SelectedEntry(ListView_CdrOption);
    if (entry == nullptr) {
        lastCdrRow_ = nullptr;
        FillCdrControls(nullptr);
        return;
    }
    vcl::TListItem* row = ListView_CdrOption->GetSelected();
    if (row == lastCdrRow_) return;
    lastCdrRow_ = row;
    FillCdrControls(Target(*entry).get());
    if (!entry->CdrFlag) return;
    if (entry->EraseFirst) CheckBox_EraseCDRW->SetChecked(true);
    if (entry->DeleteAfter) CheckBox_DelImage->SetChecked(true);
    if (entry->RecordSpeed) ComboBox_RecordSpeed->SetItemIndex(entry->RecordSpeed / 2);
    if (entry->CdrDevice < 9) {
        const int at = ComboBox_CdrList->Items()->IndexOfObject(
            reinterpret_cast<void*>(static_cast<intptr_t>(entry->CdrDevice)));
        if (at >= 0) ComboBox_CdrList->SetItemIndex(at);
    }
}

void TFmWizard::CheckBox_EraseCDRWClick(vcl::TObject*) {
    EraseRewritable = CheckBox_EraseCDRW->GetChecked() ? 1 : 0;
}

void TFmWizard::CheckBox_DelImageClick(vcl::TObject*) {
    DeleteImageAfterRecording = CheckBox_DelImage->GetChecked() ? 1 : 0;
}

void TFmWizard::Button_AddCdrOptionClick(vcl::TObject*) {
    WizardJobEntry* entry = SelectedEntry(ListView_CdrOption);
    if (entry == nullptr) return;
    const int job = WzdInfo.Job;
    CDH_LOGICAL_CDROM_CLASS* drives = host_ ? host_->Drives() : nullptr;
    std::uint64_t blocks = 0;
    if (IsMirrorJob(job)) {
        const std::string format =
            drives && WzdInfo.SourceLetter ? drives->GetDiscFormatName(WzdInfo.SourceLetter) : "";
        bool accepted = false;
        for (const char* name : kRecordableFormats)
            accepted = accepted || format == name;
        if (!accepted) {
            std::string text = GetMessageText(494);
            if (const auto at = text.find("%s"); at != std::string::npos)
                text.replace(at, 2, format);
            vcl::MessageBox(text + GetMessageText(495), GetMessageText(15),
                            vcl::MB_OK | vcl::MB_ICONWARNING);
            return;
        }
        const TScsiCdd* drive = WzdInfo.SourceDrive;
        if (!drive) return;
        const std::int64_t sectors = DiscSectorCount(drive->Disc());
        blocks = sectors > 0 ? static_cast<std::uint64_t>(sectors) : 0;
    } else if (job == kJobBuildImage) {
        if (!container_ || !container_->GetRoot()) return;
        blocks = container_->GetAllocatedSize(container_->GetRoot()) / 2048;
    } else if (job == kJobRecordCd) {
        blocks = entry->ImageBlocks;
    } else {
        return;
    }
    const int writerItem = ComboBox_CdrList->GetItemIndex();
    const auto writer = static_cast<int>(
        reinterpret_cast<intptr_t>(ComboBox_CdrList->Items()->Objects(writerItem)));
    if (writerItem < 0 || writer == 255) {
        vcl::MessageBox(GetMessageText(499), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        return;
    }
    const auto target = Target(*entry);
    if (target == nullptr) return;
    if (target->IsDriveRecordable(writer)) {
        if (blocks >= kDvdRefused) {
            vcl::MessageBox(GetMessageText(574), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
            return;
        }
    } else if (blocks >= kCdRefused) {
        vcl::MessageBox(GetMessageText(496), GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
        return;
    } else if (blocks >= kCdWarned) {
        const std::string name = target->GetName();
        vcl::MessageBox(GetMessageText(497), GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
        // Refreshes ran while the warning was up: the unit is looked up again.
        if (Target(*entry) == nullptr) {
            ErrorBox(UnitGoneText(name));
            return;
        }
    }
    vcl::TListItem* row = ListView_CdrOption->GetSelected();
    if (row == nullptr || row->GetData() != entry) return;
    const int speedItem = ComboBox_RecordSpeed->GetItemIndex();
    entry->CdrFlag = 1;
    entry->CdrDevice = static_cast<std::uint8_t>(writer);
    entry->RecordSpeed = static_cast<std::uint8_t>(
        reinterpret_cast<intptr_t>(ComboBox_RecordSpeed->Items()->Objects(speedItem)));
    entry->EraseFirst = EraseRewritable;
    entry->DeleteAfter = DeleteImageAfterRecording;
    row->SubItems()->SetStrings(2, OptionText(*entry));
}

void TFmWizard::Button_RemoveCdrOptionClick(vcl::TObject*) {
    WizardJobEntry* entry = SelectedEntry(ListView_CdrOption);
    if (entry == nullptr) return;
    entry->CdrFlag = 0;
    ListView_CdrOption->GetSelected()->SubItems()->SetStrings(2, "");
}
