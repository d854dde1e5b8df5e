// TComboBox: a drop-down list of texts with objects, editable (csDropDown) or a plain choice
// (csDropDownList, and the owner-drawn kinds, which draw like a plain choice here).
//
// OnChange follows the original library's rule: only a change by the user raises it (choosing an
// item, typing); setting ItemIndex or Text by code does not.
//
// The owner-drawn kinds: the layer paints every item as a plain choice does, and raises
// OnDrawItem for the item that is highlighted, so that a form can add to it (a hint with the
// whole text of a long item): while the list is open for each item the user moves to (state
// odSelected and odFocused, Rect the item's place in the open list in screen co-ordinates), and
// when the list closes for the chosen item in the edit part (odSelected and odComboBoxEdit, Rect
// the combo's own place on the screen).
#pragma once

#include "vcl/control.h"
#include "vcl/graphics.h"
#include "vcl/item_strings.h"
#include "vcl/set.h"

#include <functional>
#include <memory>
#include <string>

namespace vcl {

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

enum TOwnerDrawStateItem { odSelected, odFocused, odComboBoxEdit };
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;

class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;

    TItemStrings* Items();
    const TItemStrings* Items() const;
    TComboBoxStyle GetStyle() const { return style_; }
    void SetStyle(TComboBoxStyle style);
    bool GetSorted() const { return sorted_; }
    // Sorting orders the present items too, by text, ignoring the case of ASCII letters.
    void SetSorted(bool sorted);
    int GetDropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int count);
    // -1 when no item is chosen. Setting it raises no event.
    int GetItemIndex() const;
    void SetItemIndex(int index);
    // The edit text (editable), else the chosen item's text.
    std::string GetText() const override;
    void SetText(const std::string& text) override;
    int GetMaxLength() const { return maxLength_; }
    void SetMaxLength(int length);
    bool GetDroppedDown() const;
    void SetDroppedDown(bool down);
    void Clear() { Items()->Clear(); }
    // The width in pixels of text in the combo's font.
    int TextWidth(const std::string& text) const;
    // The height in pixels of a line of text in the combo's font.
    int TextHeight() const;

    TNotifyEvent OnChange;
    TDrawItemEvent OnDrawItem;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;

protected:
    bool ClicksOnRelease() const override { return false; }
    bool WantsKey(TKey key) const override;

private:
    class Items_;
    friend class Items_;
    void UserChanged();
    void ApplyStyle();
    void PopupShown(bool shown);
    void ItemHighlighted(int index);

    std::unique_ptr<Items_> items_;
    TComboBoxStyle style_ = csDropDown;
    bool sorted_ = false;
    int dropDownCount_ = 8;
    int maxLength_ = 0;
    int codeDepth_ = 0; // changes made by code under way
    bool droppedDown_ = false;
};

} // namespace vcl
