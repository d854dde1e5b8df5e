#include "vcl/menus.h"

#include "detail/hooks.h"
#include "vcl/modal_host.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

#include <algorithm>

namespace vcl {

using detail::ToQt;

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
    if (parent_) parent_->Remove(this);
    for (TMenuItem* item : items_)
        item->parent_ = nullptr;
}

void TMenuItem::Add(TMenuItem* item) {
    if (!item || item == this) return;
    if (item->parent_) item->parent_->Remove(item);
    item->parent_ = this;
    items_.push_back(item);
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    items_.erase(it);
    item->parent_ = nullptr;
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<std::size_t>(index)];
}

void TMenuItem::Click() {
    if (enabled_ && OnClick) OnClick(this);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), root_(nullptr) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Popup(int x, int y) {
    popupPoint_ = {x, y};
    if (OnPopup) OnPopup(this);
    TMenuItem* chosen = nullptr;
    {
        TModalScope modal;
        chosen = PopupHost().Choose(*this, popupPoint_);
    }
    if (chosen && chosen->GetVisible()) chosen->Click();
}

namespace {

void Fill(QMenu& menu, TMenuItem& item, std::vector<std::pair<QAction*, TMenuItem*>>& map) {
    for (int i = 0; i < item.Count(); ++i) {
        TMenuItem* sub = item.Items(i);
        if (!sub->GetVisible()) continue;
        if (sub->IsLine()) {
            menu.addSeparator();
            continue;
        }
        if (sub->Count() > 0) {
            QMenu* child = menu.addMenu(ToQt(sub->GetCaption()));
            child->setEnabled(sub->GetEnabled());
            Fill(*child, *sub, map);
            continue;
        }
        QAction* action = menu.addAction(ToQt(sub->GetCaption()));
        action->setEnabled(sub->GetEnabled());
        action->setCheckable(sub->GetChecked());
        action->setChecked(sub->GetChecked());
        map.emplace_back(action, sub);
    }
}

class DesktopPopupHost : public TPopupHost {
public:
    TMenuItem* Choose(TPopupMenu& popup, TPoint p) override {
        QMenu menu;
        std::vector<std::pair<QAction*, TMenuItem*>> map;
        Fill(menu, *popup.Items(), map);
        QAction* chosen = menu.exec(QPoint(p.X, p.Y));
        for (auto& [action, item] : map)
            if (action == chosen) return item;
        return nullptr;
    }
};

DesktopPopupHost desktopHost;
TPopupHost* currentHost = nullptr;

} // namespace

TPopupHost& PopupHost() {
    return currentHost ? *currentHost : desktopHost;
}

TPopupHost* SetPopupHost(TPopupHost* host) {
    TPopupHost* previous = currentHost;
    currentHost = host;
    return previous;
}

} // namespace vcl
