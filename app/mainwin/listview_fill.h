// The main list view's contents for the selected tree node, the Desktop list and the double-click
// that opens a row's node in the tree.
#pragma once

class TForm_Central;
namespace vcl {
class TListItem;
}

// Fills the main list for the selected tree node by its kind; nothing without a selection. The
// announcement timer is held off while the fill runs.
void FillListView(TForm_Central& form);
// The Desktop list: one row per child of Desktop with a description by its kind.
void BuildListDesktop(TForm_Central& form);
// A double click at a point of the list (client coordinates): opens the row there.
void ListViewDblClick(TForm_Central& form, int x, int y);
// Opens the tree node that a row of the list stands for (nothing for a row of no such kind):
// the selected node is expanded, the target selected and, for containers, folders and servers,
// expanded too.
void OpenListRow(TForm_Central& form, vcl::TListItem* row);
