// Progress bar and page control.
#pragma once

#include "vcl/control.h"

#include <vector>

namespace vcl {

// A bar from Min to Max; Position is kept inside the range.
class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* owner);

    int GetMin() const { return min_; }
    void SetMin(int min);
    int GetMax() const { return max_; }
    void SetMax(int max);
    int GetPosition() const { return position_; }
    void SetPosition(int position);
    void StepBy(int delta) { SetPosition(position_ + delta); }

private:
    void Apply();

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

class TPageControl;

// One page of a page control; its caption is the tab's text. A sheet with TabVisible false has
// no tab but can still be the active page; with no tab visible the tab row is gone.
class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;

    TPageControl* GetPageControl() const { return pageControl_; }
    // Same as SetParent with the page control.
    void SetPageControl(TPageControl* pageControl);
    void SetParent(TWinControl* parent) override;
    bool GetTabVisible() const { return tabVisible_; }
    void SetTabVisible(bool visible);
    // Index among the page control's pages, -1 without one.
    int PageIndex() const;
    // Only the active page shows.
    bool Showing() const override;

protected:
    void TextChanged() override;
    // The page control's stack places and shows its pages.
    void ApplyBounds() override {}
    void ApplyVisible() override {}

private:
    friend class TPageControl;

    TPageControl* pageControl_ = nullptr;
    bool tabVisible_ = true;
};

enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };

// Pages, one shown at a time, chosen by their tabs or by code.
class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;

    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Pages(int index) const;
    // Selecting by code raises no event; a tab click raises OnChanging (which may refuse the
    // change) and OnChange.
    TTabSheet* GetActivePage() const;
    void SetActivePage(TTabSheet* page);
    int GetActivePageIndex() const;
    void SetActivePageIndex(int index);
    TTabStyle GetStyle() const { return style_; }
    void SetStyle(TTabStyle style);

    TNotifyEvent OnChange;
    std::function<void(TObject* Sender, bool& AllowChange)> OnChanging;

protected:
    QWidget* ClientWidget() const override;
    void ChildAdded(TControl* child) override;
    void ChildRemoved(TControl* child) override;
    void AlignControls() override;

private:
    friend class TTabSheet;
    friend struct detail::ControlAccess;

    void UpdateTabs();
    void RemovePage(TTabSheet* sheet);
    void Select(int index);
    void TabClicked(int tab);

    std::vector<TTabSheet*> pages_;
    std::vector<int> tabPages_; // page index of each shown tab
    int active_ = -1;
    TTabStyle style_ = tsTabs;
    bool updatingTabs_ = false;
    struct Impl;
    Impl* impl_; // its widgets belong to the control's widget
};

} // namespace vcl
