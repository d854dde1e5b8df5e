// The twelve column layouts of the main list view and their width memory: each layout's columns
// (message-table titles and alignments) and a row of ten widths in the settings record that
// lives for the run.
#pragma once

#include <span>

class TForm_Central;
struct _INI_DATA_;
namespace vcl {
class TListView;
}

struct ListColumnSpec {
    int TitleId;       // message id of the title
    bool RightAligned; // numbers and sizes
};

// The columns of layout 0..11; empty for any other value.
std::span<const ListColumnSpec> ListLayoutColumns(int layout);

// Rebuilds the list's columns for a layout. Layout 0 means the layout of the tree's selected node;
// the columns stay as they are when that layout is the one shown (ShownListLayout) or when the
// layout is not 0..11. Widths come from the window's settings record, also for a list view of
// another window (the wizard's and the settings-profile dialog's server lists pass 8). Nothing
// without a selected tree node.
void SetListViewColumns(TForm_Central& form, vcl::TListView* list, int layout);

// Gives the list's columns, as many as it has, the titles, alignments and widths of a layout in
// place (the columns of the form description take the Desktop's, layout 0, at start).
void SetLayoutColumnTexts(TForm_Central& form, vcl::TListView* list, int layout);

// Keeps the widths of the list's first (at most) ten columns in the row of the layout being left;
// nothing for a layout outside 0..11.
void StoreListColumnWidths(const vcl::TListView* list, int layout, _INI_DATA_& data);
