// TListBox: a list of texts with objects. A selection by the user (click or keys) raises OnClick;
// setting ItemIndex or Selected by code raises nothing, as in the original library.
#pragma once

#include "vcl/control.h"
#include "vcl/item_strings.h"

#include <memory>

namespace vcl {

class TListBox : public TWinControl {
public:
    explicit TListBox(TComponent* owner);
    ~TListBox() override;

    TItemStrings* Items();
    const TItemStrings* Items() const;
    bool GetSorted() const { return sorted_; }
    void SetSorted(bool sorted);
    bool GetMultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool multi);
    // The focused item (single selection: the selected one); -1 when none.
    int GetItemIndex() const;
    void SetItemIndex(int index);
    bool GetSelected(int index) const;
    void SetSelected(int index, bool selected);
    int SelCount() const;
    void ClearSelection();
    void Clear() { Items()->Clear(); }

protected:
    bool ClicksOnRelease() const override { return false; }
    bool WantsKey(TKey key) const override;

private:
    class Items_;
    friend class Items_;
    void UserSelected();

    std::unique_ptr<Items_> items_;
    bool sorted_ = false;
    bool multiSelect_ = false;
    int codeDepth_ = 0; // selection changes made by code under way
};

} // namespace vcl
