// TForm_ProfileSetting: the Import System Settings dialog. A modal wizard of three pages: the
// source of a settings profile (a NAS unit's configuration or a ".cfg" file), the target units,
// and the groups of settings to apply with a summary of what the profile holds. Ok sends the
// profile to a unit through the configuration write.
#pragma once

#include "importform_services.h"
#include "nasserver.h"
#include "profile.h"
#include "profile_sections.h"

#include "vcl/com_controls.h"
#include "vcl/combo_box.h"
#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/image_list.h"
#include "vcl/list_view.h"
#include "vcl/memo.h"
#include "vcl/std_controls.h"

#include <memory>
#include <string>
#include <vector>

class TForm_ProfileSetting : public vcl::TForm {
public:
    // Page heights of the page control and the dialog.
    static constexpr int kSourcePageHeight = 293;
    static constexpr int kSourceDialogHeight = 367;
    static constexpr int kItemsPageHeight = 485;
    static constexpr int kItemsDialogHeight = 555;
    // Item mask bits (the value of the configuration write).
    static constexpr int kItemNetwork = 0x1;
    static constexpr int kItemUsers = 0x2;
    static constexpr int kItemSecurity = 0x4;
    static constexpr int kItemBackup = 0x8;
    static constexpr int kItemPreserveIp = 0x10000;

    // Makes the components (the form's description).
    explicit TForm_ProfileSetting(vcl::TComponent* Owner);
    ~TForm_ProfileSetting() override;

    vcl::TPageControl* PageControl_NASServerInfo = nullptr;
    vcl::TTabSheet* TabSheet_SettingFrom = nullptr;
    vcl::TTabSheet* TabSheet_SettingTo = nullptr;
    vcl::TTabSheet* TabSheet_Check = nullptr;
    vcl::TTabSheet* TabSheet_Msg = nullptr;
    vcl::TImage* Image_msg = nullptr;
    vcl::TLabel* Label_Msg = nullptr;
    vcl::TImageList* ImageList = nullptr;
    vcl::TButton* Btn_Back = nullptr;
    vcl::TButton* Btn_Next = nullptr;
    vcl::TButton* Btn_Ok = nullptr;
    vcl::TButton* Btn_Cancel = nullptr;
    vcl::TBevel* Bevel1 = nullptr;
    vcl::TLabel* Label_SelSource = nullptr;
    vcl::TRadioButton* RBtn_FromServer = nullptr;
    vcl::TRadioButton* RBtn_FromFile = nullptr;
    vcl::TComboBox* ComboBoxServerList = nullptr; // an item's object is its source server
    vcl::TEdit* Edit_FileName = nullptr;
    vcl::TButton* Btn_Browse = nullptr;
    vcl::TListView* ListView_SelTarget = nullptr;
    vcl::TButton* Btn_Add = nullptr;
    vcl::TButton* Btn_Remove = nullptr;
    vcl::TEdit* Edit_Password = nullptr;
    vcl::TLabel* Label_AdminPass = nullptr;
    vcl::TListView* ListView_SelectedServer = nullptr;
    vcl::TMemo* RichEdit_NetworkSet = nullptr;
    vcl::TMemo* RichEdit_UDB = nullptr;
    vcl::TMemo* RichEdit_Security = nullptr;
    vcl::TMemo* RichEdit_Backup = nullptr;
    vcl::TLabel* Label_Note = nullptr;
    vcl::TImage* Image_Note = nullptr;
    vcl::TCheckBox* ChkBox_Network = nullptr;
    vcl::TCheckBox* ChkBox_PreserveIP = nullptr;
    vcl::TCheckBox* ChkBox_Security = nullptr;
    vcl::TCheckBox* ChkBox_UDB = nullptr;
    vcl::TCheckBox* ChkBox_Backup = nullptr;
    vcl::TLabel* Label_Prompt = nullptr;
    vcl::TLabel* Label_SelServer = nullptr;
    vcl::TListView* ListView_SetConfig = nullptr;

    // The main window; without one there are no server choices and no targets.
    void SetHost(TProfileSettingHost* host) { host_ = host; }
    // The dialog's server (a copy of the unit selected in the main window) and that unit's
    // handle, set before each showing and cleared on close; not owned.
    void SetServer(CNasServer* server, NasUnitHandle unit = {}) {
        server_ = server;
        unit_ = unit;
    }
    CNasServer* Server() const { return server_; }
    NasUnitHandle Unit() const { return unit_; }

    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
    void RBtn_FromServerClick(vcl::TObject* Sender);
    void RBtn_FromFileClick(vcl::TObject* Sender);
    void Btn_BrowseClick(vcl::TObject* Sender);
    void ChkBox_NetworkClick(vcl::TObject* Sender);
    void Btn_NextClick(vcl::TObject* Sender);
    void Btn_BackClick(vcl::TObject* Sender);
    void Btn_OkClick(vcl::TObject* Sender);
    void Btn_CancelClick(vcl::TObject* Sender);
    void Btn_AddClick(vcl::TObject* Sender);
    void Btn_RemoveClick(vcl::TObject* Sender);
    void ListView_SelTargetDblClick(vcl::TObject* Sender);
    void ListView_SelectedServerDblClick(vcl::TObject* Sender);
    void ListViewKeyDown(vcl::TObject* Sender, vcl::TKey& Key, vcl::TShiftState Shift);
    void TabSheet_SettingToShow(vcl::TObject* Sender);

    // Empties the server choices and fills them from the main window's server nodes.
    void FillProfileServerChoices();
    // Both target lists take the server columns; the offered targets are refilled.
    void RefreshTargetLists();
    // Builds the item mask and sends the profile; true on a send that the unit accepted.
    bool ApplyToTargets();
    // Deletes the work files that exist and forgets their paths.
    void DeleteWorkFiles();
    // Reads the rebuilt profile into the summary boxes and the item check boxes; 1, or 0 after
    // telling the user why the profile cannot be read.
    int ParseProfile();
    // The item mask of the check boxes.
    int ProfileItemMask() const;

    int PageIndex() const { return pageIndex_; }
    int SourceKind() const { return sourceKind_; } // 1 from a server, 0 from a file
    std::uint8_t SectionFlags() const { return sectionFlags_; }
    bool TargetsEdited() const { return targetsEdited_; }
    // The chosen targets (copies of the servers) after Next on the targets page.
    const std::vector<std::unique_ptr<CNasServer>>& Targets() const { return targets_; }
    // The work file that is parsed: header and plain body.
    const std::string& PlainProfilePath() const { return plainWithHeaderPath_; }
    const std::string& ReceivedProfilePath() const { return receivedPath_; }

private:
    // Page 0 Next: the profile from the unit or the file into the work files; false to stay.
    bool TakeProfile();
    bool TakeProfileFromServer();
    bool TakeProfileFromFile();
    // Strips, extracts and rebuilds the received file; false to stay.
    bool RebuildProfile();
    void ShowPage(int index);
    // The page control's and the dialog's heights, with the buttons under the page control.
    void SetHeights(int page, int dialog);
    // Whether the list already shows the server.
    static bool ListHasServer(vcl::TListView* list, const void* unit);
    static void SelectAll(vcl::TListView* list);
    static void FillBox(vcl::TMemo* box, const std::vector<std::string>& lines);
    // Sends the received profile to one unit; true when the unit accepted it.
    bool SendProfile(CNasServer& target, int mask);
    // Whether the profile's text encoding suits the unit; warns when not.
    bool EncodingFits(const CNasServer& target);

    TProfileSettingHost* host_ = nullptr;
    CNasServer* server_ = nullptr;
    NasUnitHandle unit_;
    int pageIndex_ = 0;
    int sourceKind_ = 1;
    std::uint8_t sectionFlags_ = 0;
    bool targetsEdited_ = false;
    std::string chosenPath_;
    std::string receivedPath_;
    std::string headerPath_; // unused work path, cleared with the others
    std::string plainPath_;
    std::string plainWithHeaderPath_;
    std::vector<std::unique_ptr<CNasServer>> sources_;
    std::vector<std::unique_ptr<CNasServer>> targets_;
    ProfileSummary summary_;
};

extern TForm_ProfileSetting* Form_ProfileSetting;
