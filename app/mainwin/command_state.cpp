// Command state: each time a menu opens, its items are enabled (main menus) or shown (the
// right-click menu) by the kind of what they would act on, and Paste by the files on the
// clipboard. The rules never ask a unit anything: a menu opens at once.
#include "central.h"

#include "droptarget_kinds.h"
#include "nasserver.h"

#include "vcl/menus.h"

#include <initializer_list>

namespace {

int KindOfNode(const vcl::TTreeNode* node) {
    return node ? node->GetImageIndex() : 0;
}

int KindOfItem(const vcl::TListItem* item) {
    return item ? item->GetImageIndex() : 0;
}

void EnableAll(std::initializer_list<vcl::TMenuItem*> items, bool enabled) {
    for (vcl::TMenuItem* item : items)
        item->SetEnabled(enabled);
}

// Delete and Disable for one or several rows: Delete when every kind may be deleted and the last
// one is not a share row of kind 31 or 32, Disable when it is.
struct DeleteState {
    bool Delete = false;
    bool Disable = false;
};
DeleteState RowsDeleteState(const KindRules& rules, const std::vector<int>& kinds) {
    if (kinds.empty()) return {};
    for (int kind : kinds)
        if (!rules.KindAllowsDelete(kind)) return {};
    const bool share = kinds.back() == 31 || kinds.back() == 32;
    return {!share, share};
}

std::vector<int> SelectedRowKinds(vcl::TListView* list) {
    std::vector<int> kinds;
    for (vcl::TListItem* item = list->GetNextItem(nullptr, vcl::sdAll, {vcl::isSelected}); item;
         item = list->GetNextItem(item, vcl::sdAll, {vcl::isSelected}))
        kinds.push_back(KindOfItem(item));
    return kinds;
}

// Paste reads the clipboard as it is when its menu opens: both file drop targets take its files
// (a file manager's copy or cut: text/uri-list), and Paste is offered while they hold some.
void TakeClipboardFiles(TDropFileTarget* tree, TDropFileTarget* list) {
    for (TDropFileTarget* target : {tree, list})
        if (target) target->PasteFromClipboard();
}

} // namespace

bool TForm_Central::KindAllowsPaste(int kind) const {
    if (!Kinds().KindTakesPaste(kind)) return false;
    return DropFileTarget_TreeView && DropFileTarget_ListView &&
           DropFileTarget_TreeView->Files.Count() > 0 && DropFileTarget_ListView->Files.Count() > 0;
}

bool TForm_Central::KindAllowsRecordCd(int kind) const {
    if (kind != nkCdImage) return false;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    vcl::TTreeNode* parent = selected ? selected->Parent() : nullptr;
    const CNASSvrNet::ServerPtr server = parent ? UnitOf(parent->GetData()) : nullptr;
    // The drive list the image folder's fill loaded; a menu never waits for a unit to answer.
    const int parentKind = KindOfNode(parent);
    return server && (parentKind == nkNasServer || parentKind == nkNasServerFactory) &&
           server->GetDriveCountLoaded() > 0;
}

TForm_Central::ActingSelection TForm_Central::GetActingSelection() const {
    ActingSelection acting;
    vcl::TTreeNode* node = TreeView->GetSelected();
    if (TreeView->Focused() && node) {
        acting.Case = 1;
        acting.Kind = KindOfNode(node);
    } else if (ListView->Focused()) {
        const int count = ListView->SelCount();
        if (count == 1) {
            acting.Case = 2;
            acting.Kind = KindOfItem(ListView->GetSelected());
        } else if (count >= 2) {
            acting.Case = 3;
            acting.Kinds = SelectedRowKinds(ListView);
            acting.Kind = acting.Kinds.empty() ? 0 : acting.Kinds.back();
        } else if (node) {
            acting.Case = 4;
            acting.Kind = KindOfNode(node);
        }
    }
    return acting;
}

void TForm_Central::PopupMenu_MenuFilePopup(vcl::TObject*) {
    const std::initializer_list<vcl::TMenuItem*> all = {MenuItem_MenuNewFolder, MenuItem_MenuRename,
                                                        MenuItem_MenuDelete,    RemoteNASList1,
                                                        MenuItem_MenuProperty,  MenuItem_MenuExit};
    if (RenameInProgress) {
        EnableAll(all, false);
        return;
    }
    const KindRules rules = Kinds();
    const ActingSelection a = GetActingSelection();
    const bool one = a.Case == 1 || a.Case == 2;
    MenuItem_MenuNewFolder->SetEnabled((a.Case == 1 || a.Case == 4) &&
                                       rules.KindAllowsNewFolder(a.Kind));
    bool del = false;
    if (a.Case == 1)
        del = rules.KindAllowsDelete(a.Kind);
    else if (a.Case == 2)
        del = RowsDeleteState(rules, {a.Kind}).Delete;
    else if (a.Case == 3)
        del = RowsDeleteState(rules, a.Kinds).Delete;
    MenuItem_MenuDelete->SetEnabled(del);
    MenuItem_MenuRename->SetEnabled(one && rules.KindAllowsRename(a.Kind));
    MenuItem_MenuProperty->SetEnabled(one && rules.KindHasProperty(a.Kind));
    RemoteNASList1->SetEnabled(true);
    MenuItem_MenuExit->SetEnabled(true);
}

void TForm_Central::PopupMenu_MenuEditPopup(vcl::TObject*) {
    const std::initializer_list<vcl::TMenuItem*> all = {MenuItem_MenuCopy, MenuItem_MenuCut,
                                                        MenuItem_MenuPaste, MenuItem_MenuSelectAll,
                                                        MenuItem_MenuInverseSelect};
    if (RenameInProgress) {
        EnableAll(all, false);
        return;
    }
    TakeClipboardFiles(DropFileTarget_TreeView, DropFileTarget_ListView);
    vcl::TTreeNode* node = TreeView->GetSelected();
    int kind = 0;
    if (TreeView->Focused() && node)
        kind = KindOfNode(node);
    else if (ListView->Focused() && ListView->SelCount() == 0 && node)
        kind = KindOfNode(node);
    else if (ListView->Focused() && ListView->SelCount() == 1)
        kind = KindOfItem(ListView->GetSelected());
    MenuItem_MenuPaste->SetEnabled(KindAllowsPaste(kind));
    const bool multi = ListView->GetMultiSelect();
    MenuItem_MenuSelectAll->SetEnabled(multi);
    MenuItem_MenuInverseSelect->SetEnabled(multi);
}

void TForm_Central::PopupMenu_MenuViewPopup(vcl::TObject*) {
    const std::initializer_list<vcl::TMenuItem*> all = {
        MenuItem_MenuRefresh,   MenuItem_MenuUpDirectory, MenuItem_MenuExpand, MenuItem_MenuShrink,
        MenuItem_MenuLarge,     MenuItem_MenuSmall,       MenuItem_MenuList,   MenuItem_MenuDetail,
        MenuItem_MenuStatusBar, MenuItem_MenuToolBar};
    if (RenameInProgress) {
        EnableAll(all, false);
        return;
    }
    EnableAll(all, true);
    const ActingSelection a = GetActingSelection();
    MenuItem_MenuRefresh->SetEnabled(a.Case != 3 && Kinds().KindAllowsRefresh(a.Kind));
}

void TForm_Central::PopupMenu_MenuMirrorPopup(vcl::TObject*) {
    const std::initializer_list<vcl::TMenuItem*> all = {
        MenuItem_MenuMirror,        MenuItem_MenuBuild,           MenuItem_MenuBuildISO,
        MenuItem_MenuRecordCD,      MenuItem_MenuCDHImgConverter, MenuItem_MenuNewContainer,
        MenuItem_MenuLoadContainer, MenuItem_MenuSaveContainer,   MenuItem_MenuSaveContainerAs,
        MenuItem_MenuValidate};
    if (RenameInProgress) {
        EnableAll(all, false);
        return;
    }
    EnableAll(all, true);
    vcl::TListItem* first = ListView->GetSelected();
    MenuItem_MenuRecordCD->SetEnabled(first && KindAllowsRecordCd(KindOfItem(first)));
}

void TForm_Central::PopupMenu_MenuServerPopup(vcl::TObject*) {
    const std::initializer_list<vcl::TMenuItem*> all = {MenuItem_MenuServerQuickSetup,
                                                        MenuItem_MenuHdInitialize,
                                                        MenuItem_MenuShutdown,
                                                        MenuItem_MenuReset,
                                                        MenuItem_MenuDisable,
                                                        MenuItem_MenuBrowse,
                                                        MenuItem_MenuExplore,
                                                        MenuItem_MenuExport,
                                                        MenuItem_MenuImport};
    if (RenameInProgress) {
        EnableAll(all, false);
        return;
    }
    const KindRules rules = Kinds();
    const ActingSelection a = GetActingSelection();
    MenuItem_MenuServerQuickSetup->SetEnabled(true);
    MenuItem_MenuHdInitialize->SetEnabled(true);
    const bool one = a.Case == 1 || a.Case == 2;
    MenuItem_MenuShutdown->SetEnabled(one && rules.KindAllowsShutdown(a.Kind));
    MenuItem_MenuReset->SetEnabled(one && rules.KindAllowsReset(a.Kind));
    const bool server = one || a.Case == 4;
    MenuItem_MenuBrowse->SetEnabled(server && rules.KindAllowsBrowse(a.Kind));
    MenuItem_MenuExplore->SetEnabled(server && rules.KindAllowsExplore(a.Kind));
    MenuItem_MenuExport->SetEnabled(server && rules.KindAllowsExport(a.Kind));
    MenuItem_MenuImport->SetEnabled(server && rules.KindAllowsImport(a.Kind));
    bool disable = false;
    if (a.Case == 2)
        disable = RowsDeleteState(rules, {a.Kind}).Disable;
    else if (a.Case == 3)
        disable = RowsDeleteState(rules, a.Kinds).Disable;
    MenuItem_MenuDisable->SetEnabled(disable);
}

void TForm_Central::PopupMenu_MenuToolPopup(vcl::TObject*) {
    EnableAll({MenuItem_MenuWizard, MenuItem_MenuTaskManager, MenuItem_MenuApCfg},
              !RenameInProgress);
}

void TForm_Central::PopupMenu_MenuHelpPopup(vcl::TObject*) {
    EnableAll({MenuItem_MenuHelpContent, MenuItem_MenuHelpIndex, MenuItem_MenuVeskarWeb,
               MenuItem_MenuVeskarEmail, MenuItem_MenuAbout},
              !RenameInProgress);
}

void TForm_Central::PopupMenu_RightClickPopup(vcl::TObject*) {
    vcl::TMenuItem* root = PopupMenu_RightClick->Items();
    for (int i = 0; i < root->Count(); ++i)
        root->Items(i)->SetVisible(false);
    const bool busy = RenameInProgress || DraggedNode || ListDragging;
    if (busy) return;
    TakeClipboardFiles(DropFileTarget_TreeView, DropFileTarget_ListView);
    const KindRules rules = Kinds();
    const auto byKind = [&](int kind, bool node) {
        MenuItem_RightServerQuickSetup->SetVisible(rules.KindAllowsQuickSetup(kind));
        MenuItem_RightBrowse->SetVisible(rules.KindAllowsBrowse(kind));
        MenuItem_RightExplore->SetVisible(rules.KindAllowsExplore(kind));
        MenuItem_RightProperty->SetVisible(rules.KindHasProperty(kind));
        MenuItem_RightImport->SetVisible(rules.KindAllowsImport(kind));
        MenuItem_RightExport->SetVisible(rules.KindAllowsExport(kind));
        MenuItem_RightRefresh->SetVisible(rules.KindAllowsRefresh(kind));
        MenuItem_RightNewFolder->SetVisible(node && rules.KindAllowsNewFolder(kind));
        MenuItem_RightBuildImage->SetVisible(rules.KindAllowsBuild(kind));
        MenuItem_RightRename->SetVisible(rules.KindAllowsRename(kind));
        MenuItem_RightValidate->SetVisible(rules.KindAllowsValidate(kind));
        MenuItem_RightMirror->SetVisible(rules.KindAllowsMirror(kind));
        MenuItem_RightPaste->SetVisible(KindAllowsPaste(kind));
        MenuItem_RightRecordCD->SetVisible(KindAllowsRecordCd(kind));
    };
    if (TreeView->Focused()) {
        if (!RightClickNode) return;
        const int kind = KindOfNode(RightClickNode);
        byKind(kind, true);
        MenuItem_RightDelete->SetVisible(rules.KindAllowsDelete(kind));
        return;
    }
    if (!ListView->Focused()) return;
    if (RightClickItem) {
        byKind(KindOfItem(RightClickItem), false);
        std::vector<int> kinds = SelectedRowKinds(ListView);
        if (kinds.empty()) kinds.push_back(KindOfItem(RightClickItem));
        const DeleteState state = RowsDeleteState(rules, kinds);
        MenuItem_RightDelete->SetVisible(state.Delete);
        MenuItem_RightDisable->SetVisible(state.Disable);
        return;
    }
    vcl::TTreeNode* node = TreeView->GetSelected();
    if (!node) return;
    const int kind = KindOfNode(node);
    MenuItem_RightBrowse->SetVisible(rules.KindAllowsBrowse(kind));
    MenuItem_RightExplore->SetVisible(rules.KindAllowsExplore(kind));
    MenuItem_RightRefresh->SetVisible(rules.KindAllowsRefresh(kind));
    MenuItem_RightNewFolder->SetVisible(rules.KindAllowsNewFolder(kind));
    MenuItem_RightPaste->SetVisible(KindAllowsPaste(kind));
}
