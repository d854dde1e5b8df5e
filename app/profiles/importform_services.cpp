#include "importform_services.h"

#include "msgbox.h"
#include "nasserver.h"

#include "vcl/list_view.h"
#include "vcl/tree_view.h"

#include <iterator>

CNasServer CurrentNasServer;
int TargetListsShowing = 0;

namespace {

// The column titles (message ids) of the main window's server list: name, workgroup, three LAN
// addresses, firmware, status and comment.
constexpr int kServerColumns[] = {126, 833, 128, 128, 128, 130, 135, 118};
constexpr int kServerColumnWidth = 150;

} // namespace

void TProfileSettingHost::SetListViewColumns(vcl::TListView* list, int layout) {
    if (list == nullptr || layout != kServerListLayout) return;
    vcl::TListColumns* columns = list->Columns();
    columns->BeginUpdate();
    columns->Clear();
    int index = 0;
    for (int caption : kServerColumns) {
        vcl::TListColumn* column = columns->Add();
        column->SetCaption(GetMessageText(caption));
        // The last column takes the width of its texts.
        column->SetWidth(++index < static_cast<int>(std::size(kServerColumns)) ? kServerColumnWidth
                                                                               : -1);
    }
    columns->EndUpdate();
}

void TProfileSettingHost::ListServersOfNode(vcl::TListView* list, vcl::TTreeNode* node,
                                            int options) {
    if (list == nullptr || node == nullptr) return;
    for (int i = 0; i < node->Count(); ++i) {
        const std::shared_ptr<CNasServer> server = UnitOf(node->Item(i)->GetData());
        if (server == nullptr) {
            if ((options & kListSkipUnanswered) != 0) continue;
            vcl::TListItem* row = list->Items()->Add();
            row->SetCaption(node->Item(i)->GetText());
            for (int k = 0; k < 7; ++k)
                row->SubItems()->Add("----------");
            continue;
        }
        if ((options & kListSkipPendingTasks) != 0 && server->GetPendingTasks(false) != 0) continue;
        _INFO_STRING info;
        server->GetHintLines(info);
        vcl::TListItem* row = list->Items()->Add();
        row->SetCaption(info.Name);
        row->SetData(server->UnitHandle.Data());
        for (const std::string* text : {&info.Workgroup, &info.Lan0Ip, &info.Lan1Ip, &info.Lan2Ip,
                                        &info.FirmwareVersion, &info.Status, &info.Comment})
            row->SubItems()->Add(*text);
    }
}
