// TFmWizard: the modal wizard through which the disc jobs are set up (mirror a disc, build an
// image from "My Container", upload an ISO file, have a unit record an image). A page control
// whose tab sheets are never shown as tabs; the job table says which pages each job visits and
// the page machine (PageUpdate) checks the page being left, prepares the page entered and sets
// Back, Next and OK.
//
// Destinations are kept by their unit's hardware address and found again in the main window's
// server lists at each use (ResolveTarget): a refresh of those lists never leaves the wizard with
// a freed server, and a destination whose unit has gone is dropped with a message.
#pragma once

#include "wizard_host.h"
#include "wizard_jobs.h"
#include "wizard_setup.h"

#include "vcl/buttons.h"
#include "vcl/com_controls.h"
#include "vcl/combo_box.h"
#include "vcl/dialogs.h"
#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/hint_window.h"
#include "vcl/image_list.h"
#include "vcl/list_view.h"
#include "vcl/spin_edit.h"
#include "vcl/std_controls.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CNasServer;
class MIRROR_CONTAINER;
class TCdhSvr;

// The wizard's state while it runs (one wizard per program).
extern WZD_INFO WzdInfo;
// 1 while the destination page's server list follows the main window's refreshes.
extern std::uint8_t DestinationListLive;
// 1 while the server selection page is up.
extern int ServerDetailLive;
// Set when the user refreshed the server list inside the wizard.
extern std::uint8_t WizardRefreshMainWindow;
extern std::uint8_t WizardRefreshing;

class TFmWizard : public vcl::TForm {
public:
    // Makes the components (the form's description, app/forms).
    explicit TFmWizard(vcl::TComponent* Owner);
    ~TFmWizard() override;

    vcl::TPageControl* PageControl1 = nullptr;
    vcl::TTabSheet* Sheets[kPageKindCount] = {};
    vcl::TButton* bbBack = nullptr;
    vcl::TButton* bbNext = nullptr;
    vcl::TButton* bbOk = nullptr;
    vcl::TButton* bbCancel = nullptr;
    vcl::TPanel* Panel1 = nullptr;
    vcl::TImage* Image1 = nullptr;
    vcl::TImageList* ImageList_Job = nullptr;
    vcl::TOpenDialog* OpenDialog1 = nullptr;
    // Page 0: the job list.
    vcl::TListView* ListView_JobList = nullptr;
    vcl::TLabel* Label_JobName = nullptr;
    vcl::TLabel* Label_JobComment = nullptr;
    // Page 1: the source drive.
    vcl::TListView* ListView_LocalCdrom = nullptr;
    vcl::TButton* bbRefreshCdd = nullptr;
    // Page 2: the container.
    vcl::TEdit* Edit_CurrentContainerFile = nullptr;
    vcl::TButton* Button_ValidateContainer = nullptr;
    vcl::TButton* Button_LoadContainer = nullptr;
    // Page 3: source, destinations and method.
    vcl::TGroupBox* GroupBox9 = nullptr;
    vcl::TEdit* Edit_SourceName = nullptr;
    vcl::TEdit* Edit_SourceSize = nullptr;
    vcl::TEdit* Edit_ISOSourceName = nullptr;
    vcl::TEdit* Edit_ISOSourceSize = nullptr;
    vcl::TButton* openISOFile = nullptr;
    vcl::TGroupBox* GroupBox7 = nullptr;
    vcl::TLabel* Label2 = nullptr;
    vcl::TComboBox* ComboBox_ServerList = nullptr;
    vcl::TButton* bbRefreshServer2 = nullptr;
    vcl::TRadioButton* RadioButton_AutoSmart = nullptr;
    vcl::TRadioButton* RadioButton_AutoForce = nullptr;
    vcl::TRadioButton* RadioButton_ManualSelect = nullptr;
    vcl::TComboBox* ComboBox_ServerHdList = nullptr;
    vcl::TButton* bbAdd = nullptr;
    vcl::TButton* bbDel = nullptr;
    vcl::TListView* ListView_MethodResult = nullptr;
    // Page 4: volume names (and the share controls, whose group stays hidden).
    vcl::TListView* ListView_VolumeName = nullptr;
    vcl::TRadioButton* RadioButton_DefaultVolume = nullptr;
    vcl::TRadioButton* RadioButton_UserDefineVolume = nullptr;
    vcl::TLabel* Label_VolumeNameLabel = nullptr;
    vcl::TEdit* Edit_UserDefineVolume = nullptr;
    vcl::TButton* bbUpdateVolume = nullptr;
    vcl::TButton* BitBtn_UpdateAll = nullptr;
    vcl::TGroupBox* GroupBox3 = nullptr;
    vcl::TCheckBox* CheckBox_ShareEnable = nullptr;
    vcl::TLabel* Label_ShareNameLabel = nullptr;
    vcl::TRadioButton* RadioButton_DefaultShareName = nullptr;
    vcl::TRadioButton* RadioButton_UserDefineShareName = nullptr;
    vcl::TEdit* Edit_ShareName = nullptr;
    vcl::TEdit* Edit_SharePass = nullptr;
    vcl::TEdit* Edit_SharePassConfirm = nullptr;
    // Page 5: share names.
    vcl::TListView* ListView_ShareName = nullptr;
    vcl::TButton* bbUpdateShare = nullptr;
    // Page 6: schedule.
    vcl::TGroupBox* GroupBox4 = nullptr;
    vcl::TRadioButton* RadioButton_StartNow = nullptr;
    vcl::TRadioButton* RadioButton_StartSchedule = nullptr;
    vcl::TCSpinEdit* CSpinEdit_Year = nullptr;
    vcl::TCSpinEdit* CSpinEdit_Mon = nullptr;
    vcl::TCSpinEdit* CSpinEdit_Day = nullptr;
    vcl::TCSpinEdit* CSpinEdit_Hour = nullptr;
    vcl::TCSpinEdit* CSpinEdit_Min = nullptr;
    vcl::TCSpinEdit* CSpinEdit_Sec = nullptr;
    // Page 7: options.
    vcl::TGroupBox* GroupBox5 = nullptr;
    vcl::TCheckBox* CheckBox_LockCdrom = nullptr;
    vcl::TCheckBox* CheckBox_EjectDisc = nullptr;
    vcl::TCheckBox* CheckBox_ReplaceWarning = nullptr;
    vcl::TCheckBox* CheckBox_AutoShare = nullptr;
    // Page 15: CD recording options.
    vcl::TListView* ListView_CdrOption = nullptr;
    vcl::TComboBox* ComboBox_CdrList = nullptr;
    vcl::TComboBox* ComboBox_RecordSpeed = nullptr;
    vcl::TCheckBox* CheckBox_EraseCDRW = nullptr;
    vcl::TCheckBox* CheckBox_DelImage = nullptr;
    vcl::TButton* Button_AddCdrOption = nullptr;
    vcl::TButton* Button_RemoveCdrOption = nullptr;
    std::unique_ptr<vcl::THintWindow> HintWindow;
    // 1 while HintWindow shows the whole text of a folder combo's highlighted item.
    std::uint8_t HintShown = 0;
    // The instruction labels of the pages (titles in bold, then what to do).
    vcl::TLabel* Label3 = nullptr;
    vcl::TLabel* Label4 = nullptr;
    vcl::TLabel* Label5 = nullptr;
    vcl::TLabel* Label6 = nullptr;
    vcl::TLabel* Label7 = nullptr;
    vcl::TLabel* Label8 = nullptr;
    vcl::TLabel* Label9 = nullptr;
    vcl::TLabel* Label10 = nullptr;
    vcl::TLabel* Label11 = nullptr;
    vcl::TLabel* Label12 = nullptr;
    vcl::TLabel* Label13 = nullptr;
    vcl::TLabel* Label14 = nullptr;
    vcl::TLabel* Label15 = nullptr;
    vcl::TLabel* Label18 = nullptr;
    vcl::TLabel* Label19 = nullptr;
    vcl::TLabel* Label20 = nullptr;
    vcl::TLabel* Label21 = nullptr;
    vcl::TLabel* Label22 = nullptr;
    vcl::TLabel* Label23 = nullptr;
    vcl::TLabel* Label24 = nullptr;
    vcl::TLabel* Label25 = nullptr;
    vcl::TLabel* Label26 = nullptr;
    vcl::TLabel* Label27 = nullptr;
    vcl::TLabel* Label28 = nullptr;
    vcl::TLabel* Label29 = nullptr;
    vcl::TLabel* Label30 = nullptr;
    vcl::TLabel* Label31 = nullptr;
    vcl::TLabel* Label32 = nullptr;
    vcl::TLabel* Label34 = nullptr;
    vcl::TLabel* Label35 = nullptr;
    vcl::TLabel* Label36 = nullptr;
    vcl::TLabel* Label37 = nullptr;
    vcl::TLabel* Label38 = nullptr;
    vcl::TLabel* Label39 = nullptr;
    vcl::TLabel* Label40 = nullptr;
    vcl::TLabel* Label41 = nullptr;
    vcl::TLabel* Label42 = nullptr;
    vcl::TLabel* Label43 = nullptr;
    vcl::TLabel* Label44 = nullptr;
    vcl::TLabel* Label54 = nullptr;
    vcl::TLabel* Label55 = nullptr;
    vcl::TLabel* Label56 = nullptr;
    vcl::TLabel* Label57 = nullptr;
    vcl::TLabel* Label62 = nullptr;
    vcl::TLabel* Label_AccessPassLabel = nullptr;
    vcl::TGroupBox* GroupBox1 = nullptr;

    // Set by the main window before StartJob.
    NasUnitHandle PreselectedServer; // read only in StartJob (its address is kept)
    int PreselectedDevice = -1;
    char SourceDriveLetter = 0;
    std::uint8_t EraseRewritable = 0;
    std::uint8_t DeleteImageAfterRecording = 0;

    void SetHost(TWizardHost* host) { host_ = host; }
    TWizardHost* Host() const { return host_; }

    // The entry of the main window.
    void StartJob(int job);
    void SetJob(int job);
    // The page machine; target is a page index of the current job.
    void PageUpdate(int target);
    void ClearJobList();
    // Fills a combo with the NAS servers of the main window's tree (object: the unit's handle).
    // The unit chosen in it is kept by hardware address across refills and wizard runs: while it
    // is listed it stays chosen, when it has gone nothing is, and when it comes back under the
    // same hardware address it is chosen again.
    void FillServerCombo(vcl::TComboBox* combo);
    static int FindComboItem(vcl::TComboBox* combo, const std::string& text);
    // The page kind of the current page.
    int CurrentPageKind() const;

    // The server of a destination, found again by its hardware address (a share, held across
    // boxes); empty when it is gone.
    std::shared_ptr<CNasServer> ResolveTarget(const std::string& mac) const;
    std::shared_ptr<CNasServer> Target(const WizardJobEntry& entry) const {
        return ResolveTarget(entry.TargetMac);
    }
    static std::string MacOf(const CNasServer& server);
    // Drops the destinations whose unit has left the server lists, telling the user which; not
    // while a box is open (the code waiting on it holds a destination).
    void DropVanishedDestinations();
    // The unit chosen in a combo of servers, found again in the server lists (a share); empty
    // when none is chosen or it has gone.
    std::shared_ptr<CNasServer> ComboServer(vcl::TComboBox* combo) const;
    // The main window's refresh timer calls it while DestinationListLive is 1.
    void RefreshServerList();
    // The main window calls it after a disc arrived or was removed.
    void bbRefreshCddClick(vcl::TObject* Sender);

    // Page handlers: mode 0 enter, 1 leave check; 0 accepted, 1 refused.
    int LocalCdromPage(int mode);
    int ValidateContainerPage(int mode);
    int DestinationPage(int mode);
    int VolumeNamePage(int mode);
    int SchedulePage(int mode);
    int OptionsPage(int mode);
    int CdRecordingPage(int mode);

    // Handlers.
    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
    void bbBackClick(vcl::TObject* Sender);
    void bbNextClick(vcl::TObject* Sender);
    void bbOkClick(vcl::TObject* Sender);
    void bbCancelClick(vcl::TObject* Sender);
    void ListView_JobListChange(vcl::TObject* Sender, vcl::TListItem* Item,
                                vcl::TItemChange Change);
    void ListView_JobListDblClick(vcl::TObject* Sender);
    void ListView_LocalCdromDblClick(vcl::TObject* Sender);
    void Button_LoadContainerClick(vcl::TObject* Sender);
    void Button_ValidateContainerClick(vcl::TObject* Sender);
    void ComboBox_ServerListChange(vcl::TObject* Sender);
    void bbRefreshServer2Click(vcl::TObject* Sender);
    void RadioButton_AutoSmartClick(vcl::TObject* Sender);
    void RadioButton_AutoForceClick(vcl::TObject* Sender);
    void RadioButton_ManualSelectClick(vcl::TObject* Sender);
    void bbAddClick(vcl::TObject* Sender);
    void bbDelClick(vcl::TObject* Sender);
    void openISOFileClick(vcl::TObject* Sender);
    // The folder combos (page 3 and the conversion's target page): the whole text of a
    // highlighted item wider than its combo shows in HintWindow while the list is open.
    void ComboBox_ServerHdListDrawItem(vcl::TWinControl* Control, int Index, vcl::TRect Rect,
                                       vcl::TOwnerDrawState State);
    void ComboBox_ImageFolderDrawItem(vcl::TWinControl* Control, int Index, vcl::TRect Rect,
                                      vcl::TOwnerDrawState State);
    // Shows the "Please wait" message page over the wizard and disables the wizard while the
    // disc of a container job is read; undone when it goes.
    class WaitPage {
    public:
        explicit WaitPage(TFmWizard& wizard);
        ~WaitPage();
        WaitPage(const WaitPage&) = delete;
        WaitPage& operator=(const WaitPage&) = delete;

    private:
        TFmWizard& wizard_;
    };
    void ListView_VolumeNameClick(vcl::TObject* Sender);
    void RadioButton_DefaultVolumeClick(vcl::TObject* Sender);
    void RadioButton_UserDefineVolumeClick(vcl::TObject* Sender);
    void Edit_UserDefineVolumeChange(vcl::TObject* Sender);
    void bbUpdateVolumeClick(vcl::TObject* Sender);
    // The same checks as bbUpdateVolumeClick, written into every row and entry.
    void BitBtn_UpdateAllClick(vcl::TObject* Sender);
    void CheckBox_ShareEnableClick(vcl::TObject* Sender);
    void RadioButton_DefaultShareNameClick(vcl::TObject* Sender);
    void RadioButton_UserDefineShareNameClick(vcl::TObject* Sender);
    void ListView_ShareNameClick(vcl::TObject* Sender);
    void bbUpdateShareClick(vcl::TObject* Sender);
    void RadioButton_StartNowClick(vcl::TObject* Sender);
    void RadioButton_StartScheduleClick(vcl::TObject* Sender);
    void CSpinEdit_YearChange(vcl::TObject* Sender);
    void CheckBox_LockCdromClick(vcl::TObject* Sender);
    void CheckBox_EjectDiscClick(vcl::TObject* Sender);
    void CheckBox_ReplaceWarningClick(vcl::TObject* Sender);
    void CheckBox_AutoShareClick(vcl::TObject* Sender);
    void CheckBox_EraseCDRWClick(vcl::TObject* Sender);
    void CheckBox_DelImageClick(vcl::TObject* Sender);
    void ListView_CdrOptionClick(vcl::TObject* Sender);
    void Button_AddCdrOptionClick(vcl::TObject* Sender);
    void Button_RemoveCdrOptionClick(vcl::TObject* Sender);

    // Fills the writer and speed combos for one server (null: none).
    void FillCdrControls(CNasServer* server);
    // Lists the server's image folders in the combo; returns how many.
    int FillImageFolderCombo(vcl::TComboBox* combo, CNasServer* server, bool withAutomatic,
                             bool serverValid);
    // Job 11's file: shows it, reads its size; false (with a message) when it cannot be read.
    bool SetIsoSourceFile(const std::string& path);
    // Reads the disc mounted at path into a new container (jobs 7 and 8), which becomes the
    // wizard's container. leftOut gets the text that names every entry of the disc the container
    // could not take, with its reason (empty when it took them all). False, after a message,
    // when the disc cannot be read or nothing of it could be taken.
    bool ReadDiscIntoContainer(const std::string& path, std::string& leftOut);
    // The wizard's container: "My Container" for job 2, the disc's for jobs 7 and 8.
    std::shared_ptr<MIRROR_CONTAINER> Container() const { return container_; }
    // Whether any destination's unit has a CD writer.
    bool AnyDestinationHasWriter();
    // The text a label check leaves, or nothing when the label is not valid.
    static bool CleanName(std::string& text, bool checkLead);

    // ---- Finishers (OK): one task per destination whose unit accepted an account (job 9: the
    // one record task), then the task manager is shown.
    void FinishMirror();
    void FinishBuildImage();
    void FinishUploadIso();
    void FinishRecordCd();

private:
    void FinishTasks(std::uint8_t taskKind);
    int RunPage(int kind, int mode);
    void EnterPage(int kind, bool backward);
    void UpdateButtons();
    // Image1 shows the current job's icon.
    void ShowJobPicture();
    std::string SourceDiscLabel() const;
    WizardJobEntry* SelectedEntry(vcl::TListView* list) const;
    std::string OptionText(const WizardJobEntry& entry);
    void ErrorBox(const std::string& text, const std::string& caption = "");
    // The share password of the edits is the same in both and fits its field; else a box says
    // why and false.
    bool SharePasswordAccepted(const std::string& pass);
    // True when the entry's unit can hold the label and the share name in its encoding; else a
    // box names the characters it lacks and false.
    bool UnitTakesNames(const WizardJobEntry& entry, const std::string& label,
                        const std::string& share);
    // The text cut to what a field of fieldBytes bytes (terminator included) of the entry's unit
    // holds, at a character of the unit's encoding.
    std::string NameForRow(const WizardJobEntry& entry, const std::string& text,
                           std::size_t fieldBytes) const;

    // While a step runs that lets events through (the image list, the conversion) the wizard
    // is disabled and Back, Next, OK and Cancel do nothing, so that no step runs twice.
    class BusyScope {
    public:
        explicit BusyScope(TFmWizard& wizard)
            : wizard_(wizard), wasBusy_(wizard.busy_), wasEnabled_(wizard.GetEnabled()) {
            wizard_.busy_ = true;
            wizard_.SetEnabled(false);
        }
        ~BusyScope() {
            wizard_.busy_ = wasBusy_;
            wizard_.SetEnabled(wasEnabled_);
        }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TFmWizard& wizard_;
        bool wasBusy_;
        bool wasEnabled_;
    };

public:
    bool Busy() const { return busy_; }

private:
    bool busy_ = false;
    TWizardHost* host_ = nullptr;
    std::shared_ptr<MIRROR_CONTAINER> container_;
    std::shared_ptr<MIRROR_CONTAINER> discContainer_;
    // The mirror job (1 or 6) that became 7 or 8 for the disc chosen; 0 when none did.
    int mirrorJobBeforeContainer_ = 0;
    vcl::TListItem* lastCdrRow_ = nullptr;
    int modalBase_ = 0; // modal loops running when the wizard was shown
    // Per unit combo: the hardware addresses of its items as last filled, and that of the unit
    // the user chose (empty: none chosen yet).
    struct UnitComboState {
        std::vector<std::string> Macs;
        std::string Chosen;
    };
    std::map<const vcl::TComboBox*, UnitComboState> unitCombos_;

    // ---- Server quick setup, hard-disk initialisation and CD-server image conversion ----
public:
    // Makes the components of pages 8 to 14 and 16 to 18 (the form's description, app/forms).
    void CreateSetupSheets();

    // Page 8: server selection.
    vcl::TLabel* Label_ServerDetail = nullptr; // the page's instruction (Label4)
    vcl::TListView* ListView_ServerDetail = nullptr;
    vcl::TButton* BitBtn_RefreshServerDetail = nullptr;
    // Page 9: network environment.
    vcl::TGroupBox* GroupBox_Network = nullptr;
    vcl::TCheckBox* CheckBox_MsNet = nullptr;
    vcl::TCheckBox* CheckBox_NwNet = nullptr;
    vcl::TCheckBox* CheckBox_MacNet = nullptr;
    vcl::TCheckBox* CheckBox_NfsNet = nullptr;
    // Page 10: IP addresses.
    vcl::TLabel* Label_DNICMode = nullptr;
    vcl::TComboBox* ComboBoxDNICMode = nullptr;
    vcl::TRadioButton* RadioButton_AutoIp = nullptr;
    vcl::TRadioButton* RadioButton_SpecIp = nullptr;
    vcl::TCheckBox* CheckBox_Dhcp = nullptr;
    vcl::TCheckBox* CheckBox_Bootp = nullptr;
    vcl::TCheckBox* CheckBox_Rarp = nullptr;
    vcl::TLabel* Label_IpLabel = nullptr;
    vcl::TLabel* Label_MaskLabel = nullptr;
    vcl::TLabel* Label_GatewayLabel = nullptr;
    vcl::TLabel* Label_WinsLabel = nullptr;
    vcl::TGroupBox* GroupBoxLAN1 = nullptr;
    vcl::TGroupBox* GroupBoxLAN2 = nullptr;
    vcl::TGroupBox* GroupBoxLAN3 = nullptr;
    vcl::TEdit* Edit_Ip = nullptr;
    vcl::TEdit* Edit_Mask = nullptr;
    vcl::TEdit* Edit_Gateway = nullptr;
    vcl::TEdit* Edit_Wins = nullptr;
    vcl::TEdit* Edit_Ip2 = nullptr;
    vcl::TEdit* Edit_Mask2 = nullptr;
    vcl::TEdit* Edit_Gateway2 = nullptr;
    vcl::TEdit* Edit_Wins2 = nullptr;
    vcl::TEdit* Edit_Ip3 = nullptr;
    vcl::TEdit* Edit_Mask3 = nullptr;
    vcl::TEdit* Edit_Gateway3 = nullptr;
    vcl::TEdit* Edit_Wins3 = nullptr;
    // The LAN control arrays: IP, mask, gateway and WINS edit of LAN 1 to 3.
    struct LanEdits {
        vcl::TEdit* Ip;
        vcl::TEdit* Mask;
        vcl::TEdit* Gateway;
        vcl::TEdit* Wins;
    };
    LanEdits Lan[3] = {};
    // Page 11: date and time.
    vcl::TCheckBox* CheckBox_ChangeDateTime = nullptr;
    vcl::TCSpinEdit* CSpinEdit_SysYear = nullptr;
    vcl::TCSpinEdit* CSpinEdit_SysMonth = nullptr;
    vcl::TCSpinEdit* CSpinEdit_SysDay = nullptr;
    vcl::TCSpinEdit* CSpinEdit_SysHour = nullptr;
    vcl::TCSpinEdit* CSpinEdit_SysMinute = nullptr;
    vcl::TCSpinEdit* CSpinEdit_SysSecond = nullptr;
    // Page 12: passwords.
    vcl::TCheckBox* CheckBox_ChangeAdminPass = nullptr;
    vcl::TLabel* Label_AdminPass = nullptr;
    vcl::TLabel* Label_AdminConfirm = nullptr;
    vcl::TEdit* Edit_AdminPass = nullptr;
    vcl::TEdit* Edit_AdminConfirm = nullptr;
    // Page 13: server names.
    vcl::TLabel* Label_SmbName = nullptr;
    vcl::TLabel* Label_SmbDomain = nullptr;
    vcl::TLabel* Label_ServerComment = nullptr;
    vcl::TEdit* Edit_SmbName = nullptr;
    vcl::TRadioButton* RadioButton_WorkGroupMode = nullptr;
    vcl::TRadioButton* RadioButton_DomainMode = nullptr;
    vcl::TEdit* Edit_SmbDomain = nullptr;
    vcl::TEdit* Edit_ServerComment = nullptr;
    // Page 14: hard-disk initialisation.
    vcl::TLabel* Label1 = nullptr;
    vcl::TComboBox* ComboBox_HdInitialServer = nullptr;
    vcl::TButton* Button_RefreshHdInitialServer = nullptr;
    vcl::TListView* ListView_HdDetail = nullptr;
    vcl::TButton* Button_MirrorPartition = nullptr;
    vcl::TButton* Button_FilePartition = nullptr;
    vcl::TButton* Button_NoInitPartition = nullptr;
    vcl::TListView* ListView_HdInitial = nullptr;
    vcl::TButton* Button_RemoveHdInitial = nullptr;
    // Page 16: the images to convert.
    vcl::TLabel* Label_SelImgsToCvt = nullptr;
    vcl::TLabel* Label_UnselImgs = nullptr;
    vcl::TLabel* Label_SelImgs = nullptr;
    vcl::TListView* ListView_CDHImgNotSel = nullptr;
    vcl::TListView* ListView_CDHImgSel = nullptr;
    vcl::TButton* BBtn_AddCDHImg = nullptr;
    vcl::TButton* BBtn_DelCDHImg = nullptr;
    // Page 17: the CD server's image folder.
    vcl::TLabel* Label_SelCDHImgFolder = nullptr;
    vcl::TLabel* Label_Prompt_CDHFolder = nullptr;
    vcl::TEdit* Edit_CDHImgFolder = nullptr;
    vcl::TButton* Btn_BrowseCDHImgFolder = nullptr;
    // Page 18: the target unit and folder.
    vcl::TLabel* Label58 = nullptr;
    vcl::TLabel* Label59 = nullptr;
    vcl::TComboBox* ComboBox_ToNasServer = nullptr;
    vcl::TComboBox* ComboBox_ImageFolder = nullptr;

    // 0 while the domain mode stands on page 13, 1 while the workgroup mode stands.
    std::uint8_t DomainMode = 1;

    // Page handlers (mode 0 enter, 1 leave check; 0 accepted, 1 refused).
    int NetworkEnvironmentPage(int mode);
    int IpAddressPage(int mode);
    int DateTimePage(int mode);
    int PasswordPage(int mode);
    int ServerNamePage(int mode);
    int InitialHdListPage(int mode);
    int CdhFolderPage(int mode);
    int SelectCdhImagesPage(int mode);
    int ConvertTargetPage(int mode);

    // Page 8: refills the server list (also the main window's refresh timer while
    // ServerDetailLive is 1).
    void RefreshServerDetail();
    // Page 8's leave: copies the one selected server into WizardRefreshInfo; false otherwise.
    bool TakeSelectedServer();
    // The finisher of jobs 3 and 5: 0 when a request was sent (taken, or no answer came), 1 when
    // the unit refused it (the wizard stays open with what was typed), -1 when nothing was sent.
    int FinishServerSetup();
    // Fills the set-server record from the pages; false when refused.
    bool BuildServerSettings(NasServerSetting& setting);
    // Writes what was sent into the wizard's copy of the server.
    void StoreServerSettings(const NasServerSetting& setting);
    // What the user is told when the unit answered a set-server request with a refusal.
    static std::string SetupRefusalText(CNasServer& server, int result);
    // The main window calls it when a unit announced going off-line (its hardware address and
    // the status text): past page 8, a quick setup of that unit ends with the text and the wizard
    // closes. While a box is open over the wizard the end waits until the box has closed.
    void SetupUnitWentOffline(const std::string& mac, const std::string& text);
    // Ends a quick setup whose unit went off-line, once no box is open over the wizard: shows the
    // text and closes the wizard. True when it did.
    bool EndSetupOfOfflineUnit();

    // Hard-disk page.
    void FillHdDetail(TCdhSvr* server);
    void AddHdInitial(int mode);
    // Conversion.
    // 0 when every chosen image was sent and converted; -1 otherwise (each image's result is
    // named to the user).
    int FinishCdhConvert();
    // Sends one image in the transfer open on server: 0 when sent, -1 when it failed,
    // kUploadCancelled when the user pressed Cancel; why gets the reason.
    static constexpr int kUploadCancelled = -2;
    int UploadImageFile(CNasServer& server, const std::string& path, std::uint64_t size,
                        std::string* why = nullptr);
    // Lists the usable image files under folder (and its subfolders) in list; returns 0.
    int LoadCdhImageList(const std::string& folder, vcl::TListView* list);
    // What LoadCdhImageList passed over, with the reason, one line each.
    const std::vector<std::string>& SkippedCdhImages() const { return skippedImages_; }
    static bool ComboHasServers(vcl::TComboBox* combo);
    // The server of the network share (a "//server/share" mount of the mount table text) that
    // holds folder; empty when a local file system holds it.
    static std::string ShareServerOf(const std::string& folder, const std::string& mountInfo);

    void BitBtn_RefreshServerDetailClick(vcl::TObject* Sender);
    void ListView_ServerDetailChange(vcl::TObject* Sender, vcl::TListItem* Item,
                                     vcl::TItemChange Change);
    void ListView_ServerDetailDblClick(vcl::TObject* Sender);
    void RadioButton_AutoIpClick(vcl::TObject* Sender);
    void ComboBoxDNICModeChange(vcl::TObject* Sender);
    void CheckBox_ChangeAdminPassClick(vcl::TObject* Sender);
    void RadioButton_WorkGroupModeClick(vcl::TObject* Sender);
    void RadioButton_DomainModeClick(vcl::TObject* Sender);
    void CheckBox_ChangeDateTimeClick(vcl::TObject* Sender);
    void ComboBox_HdInitialServerChange(vcl::TObject* Sender);
    void Button_MirrorPartitionClick(vcl::TObject* Sender);
    void Button_FilePartitionClick(vcl::TObject* Sender);
    void Button_NoInitPartitionClick(vcl::TObject* Sender);
    void Button_RemoveHdInitialClick(vcl::TObject* Sender);
    void Button_RefreshHdInitialServerClick(vcl::TObject* Sender);
    void Btn_BrowseCDHImgFolderClick(vcl::TObject* Sender);
    void BBtn_AddCDHImgClick(vcl::TObject* Sender);
    void BBtn_DelCDHImgClick(vcl::TObject* Sender);
    void ComboBox_CDHImgToNasServerChange(vcl::TObject* Sender);

    // The host-order address of a dotted text as page 10 accepts it.
    static std::optional<std::uint32_t> SetupAddressOf(const std::string& text);

private:
    int RunSetupPage(int kind, int mode);
    int ServerDetailPage(int mode);
    // The server whose row is the one selected on page 8, when it is still in the main window's
    // lists; null otherwise.
    std::shared_ptr<CNasServer> SelectedDetailServer() const;
    // Enables a LAN's edits (window colour) or disables them (3-D light).
    void EnableLan(int lan, bool enabled);
    // A server or workgroup text checked for its field: 0 accepted, else refused (shown).
    int CheckSetupText(const std::string& text, std::size_t maxBytes, int nameId);
    std::vector<std::string> skippedImages_;
    // The text that ends the quick setup, while it waits for a box to close; empty otherwise.
    std::string setupUnitOffline_;
    // ---- end of the setup, hard-disk and conversion members ----
};

extern TFmWizard* FmWizard;
