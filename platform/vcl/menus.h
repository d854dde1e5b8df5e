// Menu items and popup menus. A popup menu is built natively each time it pops up; the chosen
// item's OnClick runs after Popup has returned, as in the original library. Where the menu
// shows goes through the popup host: the desktop's runs the native menu, tests choose an item.
#pragma once

#include "vcl/component.h"
#include "vcl/events.h"
#include "vcl/graphics.h"

#include <string>
#include <vector>

namespace vcl {

class TPopupMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    // Leaves its parent item; its sub-items are owned components and go with their owner.
    ~TMenuItem() override;

    // "-" makes a separator.
    std::string GetCaption() const { return caption_; }
    void SetCaption(const std::string& caption) { caption_ = caption; }
    std::string GetHint() const { return hint_; }
    void SetHint(const std::string& hint) { hint_ = hint; }
    bool GetEnabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool GetVisible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }
    bool GetChecked() const { return checked_; }
    void SetChecked(bool checked) { checked_ = checked; }
    bool IsLine() const { return caption_ == "-"; }
    int ImageIndex = -1;

    // Sub-items in order.
    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const;
    TMenuItem* Parent() const { return parent_; }

    // Runs OnClick when the item is enabled.
    void Click();
    TNotifyEvent OnClick;

private:
    std::string caption_;
    std::string hint_;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    // The root item; its sub-items are the menu.
    TMenuItem* Items() { return &root_; }
    // Shows the menu at a screen point (OnPopup first) and returns when it has closed; then the
    // chosen item's OnClick runs.
    void Popup(int x, int y);
    // Where it last popped up (screen co-ordinates).
    TPoint PopupPoint() const { return popupPoint_; }

    TNotifyEvent OnPopup;

private:
    TMenuItem root_;
    TPoint popupPoint_{};
};

// Shows a popup menu and answers the chosen item (or null when none was chosen).
class TPopupHost {
public:
    virtual ~TPopupHost() = default;
    virtual TMenuItem* Choose(TPopupMenu& menu, TPoint screenPoint) = 0;
};
TPopupHost& PopupHost();
// Makes host the current one (null: the desktop's again); returns the one it replaces.
TPopupHost* SetPopupHost(TPopupHost* host);

} // namespace vcl
