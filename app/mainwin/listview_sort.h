// Sorting of the main list view: the clicked column and direction (shared by every fill for the
// run) and the comparison of two rows by a column's kind of content.
#pragma once

#include <cstdint>

namespace vcl {
class TListItem;
class TListView;
} // namespace vcl

// The last clicked column and the direction (+1 ascending, -1 descending).
extern int SortColumn;
extern int SortDirection;

// A header click: a new column sorts ascending, the same column again turns the direction; then
// the list sorts by that column.
void ListViewColumnClick(vcl::TListView* list, int column);

// -1, 0 or 1 (times the direction) for two rows of the list by column: column 0 by caption with
// "[ Other ]" and "NAS Network" after every other row; further columns by the kind their title
// names: IPv4 addresses as numbers, sizes as byte counts, else byte-wise text. A row without the
// sub-item compares as an empty text.
int ListViewCompare(vcl::TListItem* item1, vcl::TListItem* item2, std::intptr_t column);
// Sorts the rows by the column 0 rule in the current direction, as every fill ends.
void SortListRows(vcl::TListView* list);

// Byte-wise comparison as unsigned bytes: -1, 0 or 1.
int CompareBytes(const char* a, const char* b);
