// TListView: rows of items with a caption, sub-items per further column, an image and a data
// pointer, in report, list or icon style.
//
// Items live in plain C++: an item keeps its address from Add until it is deleted, whatever the
// sorting, filling or repainting does. One toolkit model shows them. BeginUpdate/EndUpdate
// brackets stop painting, never events: every event that a change raises outside a bracket it
// raises inside one as well, in the same order. Sorting is a stable merge sort that only ever
// reorders the items, so a comparison handler that answers inconsistently gives some order but
// never breaks the list.
#pragma once

#include "vcl/control.h"
#include "vcl/image_list.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vcl {

class ListModel;

class TListView;
class TListItems;
class TListItem;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange { ctText, ctImage, ctState };
enum TSortType { stNone, stData, stText, stBoth };
enum TItemState { isSelected, isFocused };
using TItemStates = TSet<TItemState>;
enum TSearchDirection { sdAll, sdAbove, sdBelow };

// The sub-item texts of one item: column k + 1 shows Strings(k).
class TListSubItems {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    // The text at index; an empty text out of range.
    std::string Strings(int index) const;
    std::string operator[](int index) const { return Strings(index); }
    // Sets the text at index, adding empty texts up to it when needed.
    void SetStrings(int index, const std::string& text);
    int Add(const std::string& text);
    void Insert(int index, const std::string& text);
    void Delete(int index);
    void Clear();

private:
    friend class TListItem;
    explicit TListSubItems(TListItem* item) : item_(item) {}
    TListItem* item_;
    std::vector<std::string> items_;
};

class TListItem {
public:
    TListItem(const TListItem&) = delete;
    TListItem& operator=(const TListItem&) = delete;

    std::string GetCaption() const { return caption_; }
    // With SortType stText or stBoth the list sorts again (at the end of an update bracket).
    void SetCaption(const std::string& caption);
    TListSubItems* SubItems() { return &subItems_; }
    const TListSubItems* SubItems() const { return &subItems_; }
    int GetImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    void* GetData() const { return data_; }
    // With SortType stData or stBoth the list sorts again.
    void SetData(void* data);
    // Selecting by code raises OnChange and OnSelectItem as a click does; without MultiSelect
    // the other items lose their selection first.
    bool GetSelected() const { return selected_; }
    void SetSelected(bool selected);
    bool GetFocused() const;
    void SetFocused(bool focused);

    // The item's position in the list.
    int Index() const { return index_; }
    TListView* ListView() const { return view_; }
    TListItems* Owner() const;
    // Deletes the item (OnDeletion first); the pointer is invalid afterwards.
    void Delete();
    void MakeVisible(bool partialOk = false);
    TRect DisplayRect() const;
    // Opens the in-place editor of the caption (OnEditing may refuse); true when it is open, also
    // when it was open already.
    bool EditCaption();
    // Closes the item's editor: with cancel its caption stays, else what was typed is taken
    // (OnEdited first).
    void EndEdit(bool cancel);

private:
    friend class TListItems;
    friend class TListView;
    friend class TListSubItems;
    friend struct detail::ControlAccess;
    explicit TListItem(TListView* view) : view_(view), subItems_(this) {}

    void SubItemsChanged();

    TListView* view_;
    std::string caption_;
    TListSubItems subItems_;
    int imageIndex_ = -1;
    void* data_ = nullptr;
    bool selected_ = false;
    int index_ = 0;
};

class TListItems {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    // The item at index; EListError out of range.
    TListItem* Item(int index) const;
    TListItem* operator[](int index) const { return Item(index); }
    // Appends an empty item (raises OnInsert).
    TListItem* Add();
    // Inserts an empty item at index (0..Count).
    TListItem* Insert(int index);
    // Deletes the item at index: a selected item first raises OnChange and OnSelectItem for
    // losing the selection, then OnDeletion, then it goes. Refused (EInvalidOperation) while the
    // list sorts.
    void Delete(int index);
    void Clear();
    // The index of item, or -1.
    int IndexOf(const TListItem* item) const;

    // Nested brackets; painting stops until the outermost EndUpdate, which also runs a sort that
    // captions or data set inside the bracket asked for.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return updateCount_ > 0; }

private:
    friend class TListView;
    friend class TListItem;
    friend struct detail::ControlAccess;
    explicit TListItems(TListView* view) : view_(view) {}

    void Renumber(int from);

    TListView* view_;
    std::vector<std::unique_ptr<TListItem>> items_;
    int updateCount_ = 0;
};

class TListColumn {
public:
    std::string GetCaption() const { return caption_; }
    void SetCaption(const std::string& caption);
    // Pixels; -1 sizes the column to its contents, -2 to its caption.
    int GetWidth() const;
    void SetWidth(int width);
    TAlignment GetAlignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    int Index() const { return index_; }

private:
    friend class TListColumns;
    friend class TListView;
    explicit TListColumn(TListView* view) : view_(view) {}

    TListView* view_;
    std::string caption_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
    int index_ = 0;
};

class TListColumns {
public:
    int Count() const { return static_cast<int>(columns_.size()); }
    // The column at index; EListError out of range.
    TListColumn* Items(int index) const;
    TListColumn* operator[](int index) const { return Items(index); }
    TListColumn* Add();
    void Delete(int index);
    void Clear();
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TListView;
    explicit TListColumns(TListView* view) : view_(view) {}

    TListView* view_;
    std::vector<std::unique_ptr<TListColumn>> columns_;
    int updateCount_ = 0;
};

using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVChangeEvent = std::function<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVEditingEvent = std::function<void(TObject* Sender, TListItem* Item, bool& AllowEdit)>;
using TLVEditedEvent = std::function<void(TObject* Sender, TListItem* Item, std::string& S)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
// Compare: below 0 when Item1 goes first, above 0 when Item2 goes first, 0 keeps their order.
using TLVCompareEvent = std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2,
                                           int Data, int& Compare)>;
using TLVDeletedEvent = std::function<void(TObject* Sender, TListItem* Item)>;
using TLVCompare = std::function<int(TListItem* Item1, TListItem* Item2, intptr_t Data)>;

class TListView : public TWinControl {
public:
    explicit TListView(TComponent* owner);
    ~TListView() override;

    TListItems* Items() { return &items_; }
    TListColumns* Columns() { return &columns_; }

    TViewStyle GetViewStyle() const { return viewStyle_; }
    void SetViewStyle(TViewStyle style);
    bool GetMultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool multi);
    bool GetRowSelect() const { return rowSelect_; }
    void SetRowSelect(bool rowSelect);
    bool GetReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool GetGridLines() const { return gridLines_; }
    void SetGridLines(bool gridLines);
    bool GetHideSelection() const { return hideSelection_; }
    void SetHideSelection(bool hide);
    bool GetShowColumnHeaders() const { return showColumnHeaders_; }
    void SetShowColumnHeaders(bool show);
    TSortType GetSortType() const { return sortType_; }
    // A type other than stNone sorts at once.
    void SetSortType(TSortType type);
    // Small images serve the report, list and small-icon styles; large images the icon style.
    TImageList* GetSmallImages() const { return smallImages_; }
    void SetSmallImages(TImageList* images);
    TImageList* GetLargeImages() const { return largeImages_; }
    void SetLargeImages(TImageList* images);

    // The first selected item, or null; setting it selects only that item (null clears).
    TListItem* GetSelected() const;
    void SetSelected(TListItem* item);
    int SelCount() const;
    void SelectAll();
    void ClearSelection();
    TListItem* GetItemFocused() const;
    void SetItemFocused(TListItem* item);
    // The item under a point of the client area, or null.
    TListItem* GetItemAt(int x, int y) const;
    // The next item after start (from the top for null) in the direction that has all states.
    TListItem* GetNextItem(TListItem* start, TSearchDirection direction, TItemStates states) const;
    TListItem* TopItem() const;

    // Sorts by OnCompare with Data 0, or by caption (case-insensitive) without a handler.
    bool AlphaSort();
    // Sorts by compare, or by OnCompare with data as Data when compare is empty.
    bool CustomSort(const TLVCompare& compare, intptr_t data);

    // Raised for each selection change, by the user or by code.
    TLVSelectItemEvent OnSelectItem;
    // Raised when an item's caption (ctText), image (ctImage) or selection (ctState) changes.
    TLVChangeEvent OnChange;
    TLVColumnClickEvent OnColumnClick;
    TLVCompareEvent OnCompare;
    TLVDeletedEvent OnDeletion;
    TLVDeletedEvent OnInsert;
    // In-place editing of a caption: OnEditing once the editor is open (a refusal closes it
    // unchanged), OnEdited with the typed text before the item takes it. A list that is
    // ReadOnly, or has neither handler, opens no editor on a click or F2.
    TLVEditingEvent OnEditing;
    TLVEditedEvent OnEdited;
    TListItem* EditingItem() const { return editing_; }
    bool IsEditing() const { return editing_ != nullptr; }
    // Whether an editor may open now (not ReadOnly; by code, or with an editing handler).
    bool EditAllowed() const;

protected:
    void Notification(TComponent* component, TOperation operation) override;
    bool WantsKey(TKey key) const override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    bool NativeRightPress() const override { return false; }

private:
    friend class ListModel;
    friend class TListItem;
    friend class TListItems;
    friend class TListColumn;
    friend class TListColumns;
    friend class TListSubItems;
    friend struct detail::ControlAccess;

    // Changes of the items, told to the toolkit model (or collected while updating).
    void ItemInserting(int index);
    void ItemInserted(int index);
    void ItemRemoving(int index);
    void ItemRemoved(int index);
    void ItemChanged(TListItem* item, TItemChange change);
    void ItemsReset();
    void ColumnsChanged();
    void UpdateStarted();
    void UpdateEnded();
    void SortRequested();
    void Sort(const std::function<int(TListItem*, TListItem*)>& compare);
    // Opens a model reset for changes made inside an update bracket; Flush ends it when both
    // brackets are closed.
    void OpenReset();
    void Flush();
    void ApplyColumns();
    void CheckNotSorting() const;
    int DefaultCompare(TListItem* a, TListItem* b, int data);
    // Selection of one item, from code or from the toolkit's selection.
    void SelectItem(TListItem* item, bool selected, bool fromNative);
    void NativeSelectionChanged();
    void SyncNativeSelection();
    void ColumnClicked(int index);

    TListItems items_;
    TListColumns columns_;
    TViewStyle viewStyle_ = vsIcon;
    bool multiSelect_ = false;
    bool rowSelect_ = false;
    bool readOnly_ = false;
    bool gridLines_ = false;
    bool hideSelection_ = true;
    bool showColumnHeaders_ = true;
    TSortType sortType_ = stNone;
    TImageList* smallImages_ = nullptr;
    TImageList* largeImages_ = nullptr;
    TListItem* focused_ = nullptr;
    TListItem* editing_ = nullptr;
    bool editByCode_ = false;
    void EditOpened(TListItem* item);
    void EditCommitted(TListItem* item, const std::string& text);
    bool sortPending_ = false;
    bool resetOpen_ = false;      // the model is inside a reset begun for an update bracket
    bool columnsPending_ = false; // a column's caption, width or alignment awaits Flush
    bool syncing_ = false;        // the toolkit selection is being set from the items
    bool sorting_ = false;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vcl
