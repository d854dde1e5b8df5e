#include "command_selection.h"

#include "central.h"

#include "vcl/menus.h"

bool FromRightClickMenu(const TForm_Central& window, const vcl::TObject* Sender) {
    const auto* item = dynamic_cast<const vcl::TMenuItem*>(Sender);
    return item && window.PopupMenu_RightClick &&
           item->Parent() == window.PopupMenu_RightClick->Items();
}

namespace {

CommandTarget OfNode(vcl::TTreeNode* node) {
    CommandTarget target;
    if (!node) return target;
    target.Node = node;
    target.Kind = node->GetImageIndex();
    target.Data = node->GetData();
    target.ParentData = node->Parent() ? node->Parent()->GetData() : nullptr;
    return target;
}

CommandTarget OfItem(const TForm_Central& window, vcl::TListItem* item) {
    CommandTarget target;
    if (!item) return target;
    target.Item = item;
    target.Kind = item->GetImageIndex();
    target.Data = item->GetData();
    vcl::TTreeNode* selected = window.TreeView->GetSelected();
    target.ParentData = selected ? selected->GetData() : nullptr;
    return target;
}

} // namespace

CommandTarget CommandSelectionOf(const TForm_Central& window, const vcl::TObject* Sender) {
    // The right-click menu's commands run while the menu's node is still the selection; the
    // node and row of the press are what they act on (no waiting for the selection to return).
    if (FromRightClickMenu(window, Sender)) {
        if (window.TreeView->Focused()) return OfNode(window.RightClickNode);
        if (window.ListView->Focused()) {
            // Below the rows the menu offers what applies to the tree's selected node.
            if (window.RightClickItem) return OfItem(window, window.RightClickItem);
            return OfNode(window.TreeView->GetSelected());
        }
        return {};
    }
    if (window.TreeView->Focused()) return OfNode(window.TreeView->GetSelected());
    if (window.ListView->Focused() && window.ListView->SelCount() == 1)
        return OfItem(window, window.ListView->GetSelected());
    return {};
}

CommandTarget ServerCommandSelectionOf(const TForm_Central& window, const vcl::TObject* Sender) {
    // The server commands also act on the tree's node while the list has the focus and no row
    // is selected, as their menu entries are offered then.
    if (!FromRightClickMenu(window, Sender) && window.ListView->Focused() &&
        window.ListView->SelCount() == 0)
        return OfNode(window.TreeView->GetSelected());
    return CommandSelectionOf(window, Sender);
}
