// The pages of job 6 as a user meets them: a simulated drive preselected, two simulated units as
// destinations (one with a writer), a label refused then corrected, the CD-R option with the
// 640 MB warning, a scheduled start; impossible dates, labels cut at a character, and a server
// list refreshed under the chosen destinations.
#include "wizard_fixture.h"

#include "clock/clock.h"

#include <ctime>

namespace {

class WizardPagesTest : public WizardTest {
protected:
    // Job 6 on D: up to the destination page with both units added.
    void StartMirror(std::uint32_t sectors) {
        AddDrives(sectors);
        AddUnit("WRITER", 1, true);
        AddUnit("PLAIN", 2, false);
        TFmWizard& w = Wizard();
        w.SourceDriveLetter = 'D';
        w.PreselectedServer = units_[1]->server->UnitHandle;
        w.StartJob(kJobMirrorPreselected);
        ASSERT_EQ(Kind(), kPageDestination);
        // The preselected server is the combo's choice.
        EXPECT_EQ(w.ComboBox_ServerList->GetText(), "PLAIN");
        EXPECT_EQ(w.Edit_SourceName->GetText(), "(D:)MY_DISC");
        AddDestination(*units_[0]);
        AddDestination(*units_[1]);
        ASSERT_EQ(WzdInfo.Jobs.size(), 2u);
    }
};

TEST_F(WizardPagesTest, MirrorJobCollectsLabelsRecordingOptionAndSchedule) {
    // 340,000 sectors: over 640 MB, under 720 MB.
    StartMirror(340000);
    TFmWizard& w = Wizard();
    // The destination combo lists the units with image folders; the folder combo offers
    // "Automatically Select" and the folders.
    EXPECT_EQ(w.ComboBox_ServerHdList->Items()->Count(), 3);
    EXPECT_EQ(w.ComboBox_ServerHdList->Items()->Strings(0), "Automatically Select");
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageVolumeName);
    ASSERT_EQ(w.ListView_VolumeName->Items()->Count(), 2);
    EXPECT_EQ(w.ListView_VolumeName->Items()->Item(0)->SubItems()->Strings(1), "MY_DISC");

    // A label with a colon is refused; the entry keeps its label.
    w.RadioButton_UserDefineVolume->SetChecked(true);
    w.Edit_UserDefineVolume->SetText("BAD:LABEL");
    Responder().ExpectBox("Invalid volume label.", vcl::IDOK);
    w.bbUpdateVolume->Click();
    EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, "MY_DISC");
    // Corrected: trailing dots go.
    w.Edit_UserDefineVolume->SetText("GOOD LABEL...");
    w.bbUpdateVolume->Click();
    EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, "GOOD LABEL");
    EXPECT_EQ(WzdInfo.Jobs[0]->ShareName, "GOOD LABEL");
    EXPECT_EQ(w.ListView_VolumeName->Items()->Item(0)->SubItems()->Strings(1), "GOOD LABEL");

    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageCdRecording);
    // Only the unit with a writer is listed.
    ASSERT_EQ(w.ListView_CdrOption->Items()->Count(), 1);
    EXPECT_EQ(w.ListView_CdrOption->Items()->Item(0)->GetCaption(), "WRITER");
    EXPECT_EQ(w.ComboBox_CdrList->GetText(), "WRITER WRITER");
    EXPECT_EQ(w.ComboBox_RecordSpeed->Items()->Count(), 17);
    w.ComboBox_RecordSpeed->SetItemIndex(8); // 16X
    w.CheckBox_EraseCDRW->SetChecked(true);
    Responder().ExpectBox("Source size is over 640MB. Recording may fail", vcl::IDOK);
    w.Button_AddCdrOption->Click();
    WizardJobEntry& recorded = *WzdInfo.Jobs[0];
    EXPECT_EQ(recorded.CdrFlag, 1);
    EXPECT_EQ(recorded.CdrDevice, 3);
    EXPECT_EQ(recorded.RecordSpeed, 16);
    EXPECT_EQ(recorded.EraseFirst, 1);
    EXPECT_EQ(w.ListView_CdrOption->Items()->Item(0)->SubItems()->Strings(2),
              "WRITER WRITER,Erase");
    EXPECT_EQ(WzdInfo.Jobs[1]->CdrFlag, 0);

    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageSchedule);
    // First entry: today at 22:00:00, the spin edits disabled.
    EXPECT_TRUE(w.RadioButton_StartNow->GetChecked());
    EXPECT_FALSE(w.CSpinEdit_Year->GetEnabled());
    EXPECT_EQ(w.CSpinEdit_Hour->GetValue(), 22);
    // A start next year.
    w.RadioButton_StartSchedule->SetChecked(true);
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    w.CSpinEdit_Year->SetValue(tm.tm_year + 1900 + 1);
    w.CSpinEdit_Mon->SetValue(3);
    w.CSpinEdit_Day->SetValue(14);
    w.CSpinEdit_Hour->SetValue(1);
    EXPECT_TRUE(w.CSpinEdit_Year->GetEnabled());
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageOptions);
    EXPECT_EQ(WzdInfo.Scheduled, 1);
    EXPECT_EQ(WzdInfo.StartTime, (WizardTime{tm.tm_year + 1900 + 1, 3, 14, 1, 0, 0}));
    // Back over the recording page and forward again keeps the option.
    w.bbBack->Click();
    EXPECT_EQ(Kind(), kPageSchedule);
    EXPECT_TRUE(w.RadioButton_StartSchedule->GetChecked());
    w.bbNext->Click();

    w.CheckBox_LockCdrom->SetChecked(true);
    w.CheckBox_AutoShare->SetChecked(true);
    ExpectButtons(true, false, true);
    // OK asks each unit for an account; both are cancelled here, so no task is made.
    Responder().ExpectModal("Form_Password", vcl::mrCancel);
    Responder().ExpectModal("Form_Password", vcl::mrCancel);
    w.bbOk->Click();
    for (const auto& entry : WzdInfo.Jobs) {
        EXPECT_EQ(entry->LockDoor, 1);
        EXPECT_EQ(entry->AutoShare, 1);
        EXPECT_EQ(entry->EjectDisc, 0);
    }
}

TEST_F(WizardPagesTest, RecordingLimitsByWriterAndSourceFormat) {
    StartMirror(370000); // over 720 MB
    TFmWizard& w = Wizard();
    w.bbNext->Click();
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageCdRecording);
    Responder().ExpectBox("Source size is over 720MB. Recording may fail", vcl::IDOK);
    w.Button_AddCdrOption->Click();
    EXPECT_EQ(WzdInfo.Jobs[0]->CdrFlag, 0);
    EXPECT_EQ(w.ListView_CdrOption->Items()->Item(0)->SubItems()->Strings(2), "");
}

TEST_F(WizardPagesTest, ScheduleRefusesPastAndImpossibleDates) {
    StartMirror(3000);
    TFmWizard& w = Wizard();
    w.bbNext->Click();
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageCdRecording);
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageSchedule);
    w.RadioButton_StartSchedule->SetChecked(true);
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    // 30 February of next year does not exist: refused, never taken as 2 March.
    w.CSpinEdit_Year->SetValue(tm.tm_year + 1900 + 1);
    w.CSpinEdit_Mon->SetValue(2);
    w.CSpinEdit_Day->SetValue(30);
    Responder().ExpectBox("Schedule time is expired", vcl::IDOK);
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageSchedule);
    // A year ago: expired.
    w.CSpinEdit_Year->SetValue(tm.tm_year + 1900 - 1);
    w.CSpinEdit_Day->SetValue(1);
    Responder().ExpectBox("Schedule time is expired", vcl::IDOK);
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageSchedule);
    // Start now is always accepted.
    w.RadioButton_StartNow->SetChecked(true);
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageOptions);
    EXPECT_EQ(WzdInfo.Scheduled, 0);
}

TEST_F(WizardPagesTest, LabelsAndShareNamesAreCutInTheUnitsEncodingAtACharacter) {
    StartMirror(3000);
    TFmWizard& w = Wizard();
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageVolumeName);
    // The destination keeps its texts in CP1252, which has no form for these characters: the
    // label is refused, naming them, and the row keeps its label.
    const std::string wide = "\xe5\x85\x89\xe7\x9b\x98\xe5\x85\x89";
    w.RadioButton_UserDefineVolume->SetChecked(true);
    w.Edit_UserDefineVolume->SetText(wide);
    Responder().ExpectBox("no form for: \xe5\x85\x89 \xe7\x9b\x98", vcl::IDOK);
    w.bbUpdateVolume->Click();
    EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, "MY_DISC");
    // Thirty-one accented letters: 62 bytes of UTF-8 but 31 in the unit's code page, so the label
    // is kept whole; the share name's 17 bytes take seventeen of them.
    std::string accented;
    for (int i = 0; i < 31; ++i)
        accented += "\xc3\xa9";
    w.Edit_UserDefineVolume->SetText(accented);
    w.bbUpdateVolume->Click();
    EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, accented);
    EXPECT_EQ(WzdInfo.Jobs[0]->ShareName, accented.substr(0, 34));
    // 31 characters are accepted, 32 refused.
    w.Edit_UserDefineVolume->SetText(std::string(31, 'A'));
    w.bbUpdateVolume->Click();
    EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, std::string(31, 'A'));
    w.Edit_UserDefineVolume->SetText(std::string(32, 'B'));
    Responder().ExpectBox("Invalid volume label.", vcl::IDOK);
    w.bbUpdateVolume->Click();
    EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, std::string(31, 'A'));
}

TEST_F(WizardPagesTest, DestinationsLimitsAndTheIsoPlaceholder) {
    StartMirror(3000);
    TFmWizard& w = Wizard();
    // Four more (six in all), then the seventh is refused.
    for (int i = 0; i < 4; ++i)
        AddDestination(*units_[i % 2]);
    Responder().ExpectBox("Job count over Wizard's limitation !!", vcl::IDOK);
    AddDestination(*units_[0]);
    EXPECT_EQ(WzdInfo.Jobs.size(), 6u);
    // With 12 tasks in the task manager the fifth destination is refused.
    w.bbDel->Click();
    w.ListView_MethodResult->SelectAll();
    w.bbDel->Click();
    EXPECT_TRUE(WzdInfo.Jobs.empty());
    AddWaitingTasks(12);
    for (int i = 0; i < 4; ++i)
        AddDestination(*units_[0]);
    Responder().ExpectBox("Job count over Task Manager's limitation !!", vcl::IDOK);
    AddDestination(*units_[0]);
    EXPECT_EQ(WzdInfo.Jobs.size(), 4u);
    vcl::TCloseAction action = vcl::caHide;
    w.FormClose(&w, action);

    // Job 11 with the placeholder and no file.
    w.StartJob(kJobUploadIso);
    ASSERT_EQ(Kind(), kPageDestination);
    AddDestination(*units_[0]);
    w.Edit_ISOSourceName->SetText("ISO File");
    Responder().ExpectBox("Please select ISO file", vcl::IDOK);
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageDestination);
}

TEST_F(WizardPagesTest, ARefreshThatDropsAUnitDropsItsDestinationWithAMessage) {
    AddDrives(3000);
    AddUnit("WRITER", 1, true);
    AddUnit("PLAIN", 2, false);
    TFmWizard& w = Wizard();
    w.SourceDriveLetter = 'D';
    w.StartJob(kJobMirrorPreselected);
    // The window's refresh rediscovers the NAS Servers branch.
    W().TreeView->SetSelected(W().NasServersNode);
    Responder().ExpectModal("FmWizard", [&](vcl::TForm&) {
        ASSERT_EQ(Kind(), kPageDestination);
        AddDestination(*units_[0]);
        AddDestination(*units_[1]);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageVolumeName);
        // PLAIN stops; the window's next refresh tick does not find it again.
        units_[1]->sim.reset();
        Responder().ExpectBox("PLAIN", vcl::IDOK);
        RefreshTick();
        ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
        EXPECT_EQ(WzdInfo.Jobs[0]->TargetName, "WRITER");
        EXPECT_EQ(w.ListView_MethodResult->Items()->Count(), 1);
        EXPECT_EQ(w.ListView_VolumeName->Items()->Count(), 1);
        EXPECT_EQ(w.ComboBox_ServerList->Items()->Count(), 1);
        // The remaining destination still resolves to the window's object of its unit.
        EXPECT_EQ(w.Target(*WzdInfo.Jobs[0]), units_[0]->server);
        // And the pages go on with it.
        Click(w.bbNext);
        EXPECT_EQ(Kind(), kPageCdRecording);
        EXPECT_EQ(w.ListView_CdrOption->Items()->Count(), 1);
        w.bbCancel->Click();
    });
    w.ShowModal();
}

} // namespace
