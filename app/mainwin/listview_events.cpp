// The list view's event handlers of the main window: they hand over to the list functions.
#include "central.h"
#include "listview_fill.h"
#include "listview_sort.h"

#include "vcl/menus.h"

void TForm_Central::ListViewColumnClick(vcl::TObject*, vcl::TListColumn* Column) {
    if (Column) ::ListViewColumnClick(ListView, Column->Index());
}

void TForm_Central::ListViewCompare(vcl::TObject*, vcl::TListItem* Item1, vcl::TListItem* Item2,
                                    int Data, int& Compare) {
    Compare = ::ListViewCompare(Item1, Item2, Data);
}

void TForm_Central::ListViewDblClick(vcl::TObject*) {
    // A double click is the second press at the point of the first.
    ::ListViewDblClick(*this, ListPressPoint.X, ListPressPoint.Y);
}

void TForm_Central::ListViewMouseDown(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState,
                                      int X, int Y) {
    ListLeftButtonDown = false;
    if (Button == vcl::mbRight) {
        RightClickItem = ListView ? ListView->GetItemAt(X, Y) : nullptr;
    } else if (Button == vcl::mbLeft) {
        ListPressPoint = {X, Y};
        if (!RenameInProgress && !ListDragging) ListLeftButtonDown = true;
    }
}

void TForm_Central::ListViewMouseUp(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState,
                                    int X, int Y) {
    ListLeftButtonDown = false;
    if (Button != vcl::mbRight || RenameInProgress || !PopupMenu_RightClick || !ListView) return;
    const vcl::TPoint at = ListView->ClientToScreen({X, Y});
    PopupMenu_RightClick->Popup(at.X, at.Y);
}
