#include "server_lists.h"

#include "central.h"
#include "kinddialog.h"
#include "listview_sort.h"
#include "nasservertext.h"
#include "server_nodes.h"
#include "utils.h"

#include "msgbox.h"
#include "unit_call.h"
#include "vcl/screen.h"

namespace {

constexpr char kNoText[] = "----------";
constexpr std::int64_t kImageBlockBytes = 2048;

struct ListUpdate {
    explicit ListUpdate(vcl::TListView* list) : items(list->Items()) { items->BeginUpdate(); }
    ~ListUpdate() { items->EndUpdate(); }
    vcl::TListItems* items;
};

// A row that could not be made: the list is emptied and the user told.
void RowFailed(vcl::TListView* list) {
    list->Items()->Clear();
    ShowKindMessage(GetMessageText(66), 30);
}

vcl::TListItem* AddRow(vcl::TListView* list, const std::string& caption, int image, void* data) {
    vcl::TListItem* row = list->Items()->Add();
    if (!row) return nullptr;
    row->SetCaption(caption);
    row->SetImageIndex(image);
    row->SetData(data);
    return row;
}

std::string FieldText(const char* field, std::size_t width, bool utf8) {
    return utf8 ? Utf8FieldText(field, width) : AnsiFieldText(field, width);
}

// Rows for each child of node (ListChildNodes and ListNasNetwork).
void ListChildren(TForm_Central& form, vcl::TTreeNode* node, bool withCount) {
    if (!node || !form.ListView) return;
    vcl::TListView* list = form.ListView;
    ListUpdate update(list);
    list->Items()->Clear();
    for (int i = 0; i < node->Count(); ++i) {
        vcl::TTreeNode* child = node->Item(i);
        vcl::TListItem* row =
            AddRow(list, child->GetText(), child->GetImageIndex(), child->GetData());
        if (!row) {
            RowFailed(list);
            return;
        }
        if (withCount) row->SubItems()->Add(std::to_string(child->Count()) + GetMessageText(140));
    }
    SortListRows(list);
}

} // namespace

std::string FormatSizeText(std::uint32_t count, int mode) {
    if (mode == 0 || (mode >= 2 && mode <= 4))
        return utils::FormatScaledSize(mode, static_cast<std::int64_t>(count) * kImageBlockBytes);
    return std::to_string(count) + " BYTE(S)";
}

ImageRowTexts GetImageRowTexts(const NasImgInfo& image, int encodingKind) {
    const bool utf8 = encodingKind == 1 || encodingKind == 2;
    ImageRowTexts t;
    t.Name = FieldText(image.name, sizeof image.name, utf8);
    t.Path = FieldText(image.path, sizeof image.path, utf8);
    t.Size = FormatSizeText(image.size, 0);
    if (image.flags & 1) t.State = "*";
    switch (image.state) {
    case 1:
        t.State += GetMessageText(834);
        break;
    case 2:
        t.State += GetMessageText(869);
        break;
    case 3:
    case 4:
        t.State += GetMessageText(870);
        break;
    default:
        t.State += "---";
        break;
    }
    static const char* const kFileSystems[] = {"UNKNOW", "ISO 9660", "UDF", "HFS", "HFS+"};
    t.FileSystem = kFileSystems[image.fileSystem <= 4 ? image.fileSystem : 0];
    return t;
}

bool ImageInFolder(const std::string& path, const std::string& folderText, bool other,
                   const CNasServer& server) {
    // An image lies in the folder named before the first "/" of its path; "[ Other ]" lists the
    // images whose folder is none of the server's, so that every image shows in one list.
    const std::size_t slash = path.find('/');
    if (other) {
        if (slash == std::string::npos) return true;
        const int count = std::min(server.ImgFolderCount, CNasServer::kImgFolderMax);
        for (int i = 0; i < count; ++i)
            if (path.compare(0, slash, server.GetImgFolderName(i)) == 0) return false;
        return true;
    }
    return slash != std::string::npos && path.compare(0, slash, folderText) == 0;
}

bool AddServerListRow(const CNASSvrNet& units, vcl::TListView* list, vcl::TTreeNode* node) {
    if (!list || !node) return true;
    const CNASSvrNet::ServerPtr server = units.Share(NasUnitHandle::FromData(node->GetData()));
    vcl::TListItem* row =
        server ? AddRow(list, server->GetName(), ServerNodeKind(*server), server->UnitHandle.Data())
               : AddRow(list, node->GetText(), node->GetImageIndex(), nullptr);
    if (!row) {
        list->Items()->Clear();
        ShowKindMessage(GetMessageText(66), 30);
        return false;
    }
    vcl::TListSubItems* sub = row->SubItems();
    if (!server) {
        for (int i = 0; i < 7; ++i)
            sub->Add(kNoText);
        return true;
    }
    _INFO_STRING info;
    server->GetHintLines(info);
    sub->Add(server->GetTextEncoding() == 2 ? info.ExtendedName : info.Workgroup);
    sub->Add(info.Lan0Ip);
    sub->Add(info.Lan1Ip);
    sub->Add(server->IsFlag30Set() ? info.Lan2Ip : kNoText);
    sub->Add(info.FirmwareVersion);
    sub->Add(info.Status);
    sub->Add(info.Comment);
    return true;
}

void ListServersOfNode(const CNASSvrNet& units, vcl::TListView* list, vcl::TTreeNode* node,
                       int options) {
    if (!list || !node) return;
    ListUpdate update(list);
    for (int i = 0; i < node->Count(); ++i) {
        vcl::TTreeNode* child = node->Item(i);
        if ((options & kListSkipUnanswered) && child->GetImageIndex() == nkRemoteUnanswered)
            continue;
        const CNASSvrNet::ServerPtr server = units.Share(NasUnitHandle::FromData(child->GetData()));
        if (server && (options & kListSkipPendingTasks) && server->GetPendingTasks(false) != 0)
            continue;
        if (!AddServerListRow(units, list, child)) return;
    }
    SortListRows(list);
}

void AppendServerListRow(TForm_Central& form, vcl::TTreeNode* node) {
    if (!form.ListView) return;
    ListUpdate update(form.ListView);
    if (AddServerListRow(form.NasSvrNet, form.ListView, node)) SortListRows(form.ListView);
}

void ListChildNodes(TForm_Central& form, vcl::TTreeNode* node) {
    ListChildren(form, node, false);
}

void ListNasNetwork(TForm_Central& form) {
    ListChildren(form, form.NasNetworkNode, true);
}

void ListCdImages(TForm_Central& form, vcl::TTreeNode* folderNode, bool bypassCache) {
    vcl::TListView* list = form.ListView;
    if (!folderNode || !list) return;
    vcl::TTreeNode* serverNode = folderNode->Parent();
    if (!serverNode) return;
    vcl::TTreeNode* branch = serverNode->Parent();
    const CNASSvrNet::ServerPtr server = form.UnitOf(serverNode->GetData());
    if (!server || !branch || (branch != form.NasServersNode && branch != form.RemoteServersNode))
        return;

    vcl::THourGlass wait(vcl::crDefault);
    const UnitCommand command; // the image list and the drive list wait kUnitCommandWait in all
    int count = 0;
    auto images = form.NasSvrNet.GetImageListCached(server.get(), count, bypassCache);
    if (!images) {
        {
            ListUpdate update(list);
            list->Items()->Clear();
        }
        form.ListedImages.clear();
        if (branch == form.RemoteServersNode) {
            // The unit no longer answers: its node turns into an unanswered entry. The folder
            // node goes with it, so nothing below may touch folderNode.
            form.TreeView->SetSelected(form.RemoteServersNode);
            form.TreeView->Items()->BeginUpdate();
            serverNode->Collapse(false);
            serverNode->DeleteChildren();
            serverNode->SetImageIndex(nkRemoteUnanswered);
            serverNode->SetSelectedIndex(nkRemoteUnanswered);
            form.TreeView->Items()->EndUpdate();
        }
        return;
    }

    // Record CD/DVD is offered for an image on a unit with a writer: the unit's drive list is
    // read with its images, once (the unit keeps its object, and the list with it), so that the
    // menus never wait on the unit.
    if (server->GetDriveListKind() == 0) server->LoadDefaultCdDrives();
    ListUpdate update(list);
    list->Items()->Clear();
    // The rows point at the records: they live in the window until the next image fill.
    form.ListedImages = std::move(*images);
    if (AddImageRows(list, form.ListedImages, folderNode->GetText(), *server)) SortListRows(list);
}

bool AddImageRows(vcl::TListView* list, std::vector<NasImgInfo>& images,
                  const std::string& folderText, const CNasServer& server) {
    const bool other = folderText == GetMessageText(845);
    const int encoding = server.GetTextEncoding();
    for (NasImgInfo& image : images) {
        ImageRowTexts t = GetImageRowTexts(image, encoding);
        if (!ImageInFolder(t.Path, folderText, other, server)) continue;
        vcl::TListItem* row = AddRow(list, t.Name, nkCdImage, &image);
        if (!row) {
            RowFailed(list);
            return false;
        }
        vcl::TListSubItems* sub = row->SubItems();
        sub->Add(std::move(t.Path));
        sub->Add(std::move(t.Size));
        sub->Add(std::move(t.State));
        sub->Add(std::move(t.FileSystem));
    }
    return true;
}
