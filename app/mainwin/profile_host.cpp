#include "profile_host.h"

#include "central.h"
#include "importform.h"
#include "importform_services.h"
#include "listview_layouts.h"

// The main window's server-list filler (server_lists.cpp); its option bits are the dialog's.
void ListServersOfNode(const CNASSvrNet& units, vcl::TListView* list, vcl::TTreeNode* node,
                       int options);

namespace {

class MainProfileHost : public TProfileSettingHost {
public:
    explicit MainProfileHost(TForm_Central& window) : window_(window) {}
    vcl::TTreeNode* NasServersNode() override { return window_.NasServersNode; }
    vcl::TTreeNode* RemoteServersNode() override { return window_.RemoteServersNode; }
    std::shared_ptr<CNasServer> UnitOf(const void* data) override { return window_.UnitOf(data); }
    void SetBusy(bool busy) override { window_.FormReady = !busy; }
    void SetListViewColumns(vcl::TListView* list, int layout) override {
        ::SetListViewColumns(window_, list, layout);
    }
    void ListServersOfNode(vcl::TListView* list, vcl::TTreeNode* node, int options) override {
        ::ListServersOfNode(window_.NasSvrNet, list, node, options);
    }

private:
    TForm_Central& window_;
};

} // namespace

std::shared_ptr<TProfileSettingHost> MakeProfileHost(TForm_Central& window) {
    return std::make_shared<MainProfileHost>(window);
}

void RefreshProfileTargets() {
    if (TargetListsShowing == 1 && Form_ProfileSetting && Form_ProfileSetting->GetVisible())
        Form_ProfileSetting->RefreshTargetLists();
}

namespace {

// Leaves in a file name only what a file name may hold.
std::string SafeFileNamePart(const std::string& text) {
    std::string safe;
    for (unsigned char c : text) {
        const bool bad = c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' ||
                         c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
        safe += bad ? '_' : static_cast<char>(c);
    }
    for (char& c : safe) {
        if (c != '.') break;
        c = '_';
    }
    return safe;
}

} // namespace

std::string ProposedProfileFileName(const std::string& name, const std::string& address) {
    return SafeFileNamePart(name) + "_" + SafeFileNamePart(address) + ".cfg";
}
