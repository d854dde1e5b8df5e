// Dragging inside the main window: container folders dragged in the tree, container rows dragged
// from the list, onto a container folder of the tree or a folder row of the list. What is dropped
// moves into that folder (DropFilesOnContainer); every other drop is refused with a message.
#include "central.h"

#include "container.h"
#include "msgbox.h"

#include "vcl/application.h"

using Record = _CDH_CIS_RECORD_;

namespace {

void RefuseDrop() {
    vcl::Application->MessageBox(GetMessageText(144), GetMessageText(9),
                                 vcl::MB_OK | vcl::MB_ICONSTOP);
}

// Whether node lies below the selected node inside a folder that is one of the selected rows.
bool InsideSelectedRow(TForm_Central& w, vcl::TTreeNode* node) {
    vcl::TTreeNode* selected = w.TreeView->GetSelected();
    for (vcl::TTreeNode* n = node; n && selected; n = n->Parent()) {
        if (n->Parent() != selected) continue;
        for (vcl::TListItem* row = w.ListView->GetSelected(); row;
             row = w.ListView->GetNextItem(row, vcl::sdAll, {vcl::isSelected}))
            if (row->GetData() == n->GetData() && row->GetCaption() == n->GetText()) return true;
    }
    return false;
}

int KindOf(vcl::TTreeNode* node) {
    return node ? node->GetImageIndex() : 0;
}

} // namespace

void TForm_Central::TreeViewStartDrag(vcl::TObject*) {
    const vcl::TPoint at = vcl::TControl::DragStartPoint();
    DraggedNode = TreeView->GetNodeAt(at.X, at.Y);
    TreeDragging = true;
}

void TForm_Central::TreeViewEndDrag(vcl::TObject*, vcl::TObject*, int, int) {
    TreeLeftButtonDown = false;
    TreeDragging = false;
    TreeView->SetDropTarget(nullptr);
    // The drop (if any) has been handled: a drag that ended any other way leaves no dragged node
    // behind, which would keep the right-click menu empty.
    DraggedNode = nullptr;
}

void TForm_Central::TreeViewDragOver(vcl::TObject* Sender, vcl::TObject* Source, int X, int Y,
                                     vcl::TDragState, bool& Accept) {
    Accept = false;
    if (RenameInProgress || Sender != TreeView || !Source) return;
    vcl::TTreeNode* target = TreeView->GetNodeAt(X, Y);
    if (TreeView->GetDropTarget() != target) TreeView->SetDropTarget(target);
    if (!target) return;
    if (Source == TreeView) {
        if (!DraggedNode || target == DraggedNode || target == DraggedNode->Parent() ||
            target->HasAsParent(DraggedNode))
            return;
        Accept = CanDropOnNode(KindOf(DraggedNode), KindOf(target));
        return;
    }
    if (Source != ListView) return;
    vcl::TListItem* first = ListView->GetSelected();
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (!first || !selected || target == selected || InsideSelectedRow(*this, target)) return;
    Accept = CanDropOnNode(first->GetImageIndex(), KindOf(target));
}

void TForm_Central::TreeViewDragDrop(vcl::TObject* Sender, vcl::TObject* Source, int, int) {
    DropOnNode(Sender == TreeView ? TreeView->GetDropTarget() : nullptr, Source);
}

void TForm_Central::DropOnNode(vcl::TTreeNode* target, vcl::TObject* Source) {
    TreeView->SetDropTarget(nullptr);
    const bool fromTree = Source == TreeView;
    const bool fromList = Source == ListView;
    vcl::TListItem* firstRow = fromList ? ListView->GetSelected() : nullptr;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (!target || (!fromTree && !fromList) || (fromTree && !DraggedNode) ||
        (fromList && !firstRow)) {
        RefuseDrop();
        return;
    }
    if (fromList && (target == selected || InsideSelectedRow(*this, target))) {
        RefuseDrop();
        return;
    }
    if (fromTree && (target == DraggedNode || target == DraggedNode->Parent() ||
                     target->HasAsParent(DraggedNode))) {
        RefuseDrop();
        return;
    }
    const int targetKind = KindOf(target);
    if (targetKind < nkContainerSaved || targetKind > nkContainerFolderSelected) {
        RefuseDrop();
        return;
    }
    if (CheckContainerMirroring(GetMessageText(145))) return;
    const int sourceKind = fromTree ? KindOf(DraggedNode) : firstRow->GetImageIndex();
    if (!IsContainerEntryKind(sourceKind)) {
        RefuseDrop();
        return;
    }
    // The target is found again by its record after each move: moves rebuild nodes. The root
    // record has no node of its own: its node is My Container.
    auto* targetRecord = static_cast<Record*>(target->GetData());
    const auto targetNode = [&]() -> vcl::TTreeNode* {
        if (!targetRecord) return nullptr;
        return targetRecord == MainContainer.GetRoot() ? MyContainerNode : targetRecord->node;
    };
    DropFlags = 0;
    if (fromTree) {
        DropFilesOnContainer(DraggedNode, nullptr, target);
    } else {
        // The rows are collected first: a move deletes rows of the list.
        std::vector<Record*> moved;
        for (vcl::TListItem* row = firstRow; row;
             row = ListView->GetNextItem(row, vcl::sdAll, {vcl::isSelected}))
            moved.push_back(static_cast<Record*>(row->GetData()));
        for (Record* rec : moved) {
            if (DropFlags & kDropAbort) break;
            vcl::TListItem* row = nullptr;
            for (int i = 0; i < ListView->Items()->Count() && !row; ++i)
                if (ListView->Items()->Item(i)->GetData() == rec) row = ListView->Items()->Item(i);
            vcl::TTreeNode* now = targetNode();
            if (!row || !now) continue;
            DropFilesOnContainer(nullptr, row, now);
        }
    }
    DropFlags = 0;
    DraggedNode = nullptr;
    // The target's row in the list beside it.
    vcl::TTreeNode* now = targetNode();
    if (!now || now->Parent() != TreeView->GetSelected()) return;
    for (int i = 0; i < ListView->Items()->Count(); ++i) {
        vcl::TListItem* row = ListView->Items()->Item(i);
        if (row->GetData() != now->GetData()) continue;
        if (now == MyContainerNode) {
            const Record* root = MainContainer.GetRoot();
            const std::string text =
                std::to_string(root ? MainContainer.GetTotalFolderCount(root) : 0) +
                GetMessageText(138) +
                std::to_string(root ? MainContainer.GetTotalFileCount(root) : 0) +
                GetMessageText(139);
            if (row->SubItems()->Count() > 0) row->SubItems()->SetStrings(0, text);
        } else {
            UpdateContainerListItem(row);
        }
    }
}

void TForm_Central::ListViewDeletion(vcl::TObject*, vcl::TListItem* Item) {
    if (RightClickItem == Item) RightClickItem = nullptr;
    if (ListDropRow == Item) ListDropRow = nullptr;
}

void TForm_Central::ListViewStartDrag(vcl::TObject*) {
    ListDragging = true;
}

void TForm_Central::ListViewEndDrag(vcl::TObject*, vcl::TObject*, int, int) {
    ListLeftButtonDown = false;
    ListDragging = false;
    ListDropRow = nullptr;
}

void TForm_Central::ListViewDragOver(vcl::TObject* Sender, vcl::TObject* Source, int X, int Y,
                                     vcl::TDragState, bool& Accept) {
    Accept = false;
    if (RenameInProgress || Sender != ListView || !Source) return;
    vcl::TListItem* row = ListView->GetItemAt(X, Y);
    vcl::TTreeNode* selected = TreeView->GetSelected();
    ListDropRow = row;
    int targetKind = 0;
    if (row) {
        targetKind = row->GetImageIndex();
    } else {
        if (!selected) return;
        targetKind = KindOf(selected);
    }
    int sourceKind = 0;
    if (Source == TreeView) {
        if (!DraggedNode || !selected) return;
        if (selected == DraggedNode || selected->HasAsParent(DraggedNode)) return;
        if (DraggedNode->Parent() == selected &&
            (!row || (row->GetData() == DraggedNode->GetData() &&
                      row->GetCaption() == DraggedNode->GetText())))
            return;
        if (DraggedNode->Parent() && DraggedNode->Parent()->Parent() == selected && row &&
            row->GetData() == DraggedNode->Parent()->GetData())
            return;
        sourceKind = KindOf(DraggedNode);
    } else if (Source == ListView) {
        vcl::TListItem* first = ListView->GetSelected();
        if (!first || !row || row->GetSelected()) return;
        sourceKind = first->GetImageIndex();
    } else {
        return;
    }
    Accept = CanDropOnNode(sourceKind, targetKind);
}

void TForm_Central::ListViewDragDrop(vcl::TObject*, vcl::TObject* Source, int X, int Y) {
    vcl::TTreeNode* selected = TreeView->GetSelected();
    vcl::TListItem* row = ListView->GetItemAt(X, Y);
    ListDropRow = nullptr;
    if (!selected) {
        RefuseDrop();
        return;
    }
    if (!row) {
        DropOnNode(selected, Source);
        return;
    }
    vcl::TTreeNode* target = nullptr;
    for (int i = 0; i < selected->Count() && !target; ++i) {
        vcl::TTreeNode* child = selected->Item(i);
        if (child->GetData() == row->GetData() && child->GetText() == row->GetCaption())
            target = child;
    }
    if (!target) {
        RefuseDrop();
        return;
    }
    DropOnNode(target, Source);
}
