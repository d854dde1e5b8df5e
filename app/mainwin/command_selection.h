// What a command acts on, by where it was given: a right-click menu item takes the node or row
// that was right-clicked (in the view that has the focus); a main-menu item or tool button the
// focused tree's selected node, or the focused list's one selected row.
#pragma once

class TForm_Central;
namespace vcl {
class TObject;
class TTreeNode;
class TListItem;
} // namespace vcl

struct CommandTarget {
    vcl::TTreeNode* Node = nullptr; // a tree node ...
    vcl::TListItem* Item = nullptr; // ... or a list row, or neither
    int Kind = 0;
    void* Data = nullptr;       // the node's or row's data
    void* ParentData = nullptr; // a node's parent's data; a row's: the tree's selected node's
};

// Whether Sender is an item of the right-click menu.
bool FromRightClickMenu(const TForm_Central& window, const vcl::TObject* Sender);
CommandTarget CommandSelectionOf(const TForm_Central& window, const vcl::TObject* Sender);
// The same for the server commands (browse, explore, export, import), which a main-menu item
// also gives the tree's node while the list has the focus and no row is selected.
CommandTarget ServerCommandSelectionOf(const TForm_Central& window, const vcl::TObject* Sender);
