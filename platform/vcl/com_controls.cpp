#include "vcl/com_controls.h"

#include "detail/hooks.h"
#include "vcl/exception.h"

#include <QProgressBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

namespace vcl {

using detail::Raise;
using detail::ToQt;

// ---- TProgressBar

TProgressBar::TProgressBar(TComponent* owner)
    : TWinControl(owner, new detail::Hooked<QProgressBar>()) {
    auto* bar = static_cast<QProgressBar*>(Widget());
    bar->setTextVisible(false);
    bar->setFocusPolicy(Qt::NoFocus);
    SetBounds(0, 0, 150, 16);
    Apply();
}

void TProgressBar::Apply() {
    auto* bar = static_cast<QProgressBar*>(Widget());
    bar->setRange(min_, max_);
    bar->setValue(position_);
}

void TProgressBar::SetMin(int min) {
    min_ = min;
    if (max_ < min_) max_ = min_;
    position_ = std::clamp(position_, min_, max_);
    Apply();
}

void TProgressBar::SetMax(int max) {
    max_ = max;
    if (min_ > max_) min_ = max_;
    position_ = std::clamp(position_, min_, max_);
    Apply();
}

void TProgressBar::SetPosition(int position) {
    position_ = std::clamp(position, min_, max_);
    Apply();
}

// ---- TTabSheet

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner, new detail::Hooked<QWidget>()) {
    Widget()->setFocusPolicy(Qt::NoFocus);
}

TTabSheet::~TTabSheet() {
    StopEvents();
    if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* pageControl) {
    SetParent(pageControl);
}

void TTabSheet::SetParent(TWinControl* parent) {
    if (parent && !dynamic_cast<TPageControl*>(parent))
        throw EInvalidOperation("A tab sheet belongs in a page control");
    TWinControl::SetParent(parent);
}

void TTabSheet::SetTabVisible(bool visible) {
    if (visible == tabVisible_) return;
    tabVisible_ = visible;
    if (pageControl_) pageControl_->UpdateTabs();
}

int TTabSheet::PageIndex() const {
    if (!pageControl_) return -1;
    const auto& pages = pageControl_->pages_;
    const auto it = std::find(pages.begin(), pages.end(), this);
    return it == pages.end() ? -1 : static_cast<int>(it - pages.begin());
}

bool TTabSheet::Showing() const {
    return pageControl_ && pageControl_->GetActivePage() == this && TWinControl::Showing();
}

void TTabSheet::TextChanged() {
    if (pageControl_) pageControl_->UpdateTabs();
}

// ---- TPageControl

struct TPageControl::Impl {
    QTabBar* bar;
    QStackedWidget* stack;
};

TPageControl::TPageControl(TComponent* owner)
    : TWinControl(owner, new detail::Hooked<QWidget>()), impl_(new Impl) {
    QWidget* w = Widget();
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    impl_->bar = new QTabBar(w);
    impl_->bar->setExpanding(false);
    impl_->stack = new QStackedWidget(w);
    layout->addWidget(impl_->bar);
    layout->addWidget(impl_->stack, 1);
    impl_->bar->hide();
    QObject::connect(impl_->bar, &QTabBar::currentChanged, w, [this](int tab) { TabClicked(tab); });
    w->setFocusPolicy(Qt::NoFocus);
    SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
    StopEvents();
    // The pages go first (while their page control still knows them), then the widgets.
    while (!pages_.empty())
        delete pages_.back();
    delete impl_;
    impl_ = nullptr;
}

QWidget* TPageControl::ClientWidget() const {
    return impl_->stack;
}

TTabSheet* TPageControl::Pages(int index) const {
    if (index < 0 || index >= PageCount()) return nullptr;
    return pages_[static_cast<size_t>(index)];
}

void TPageControl::ChildAdded(TControl* child) {
    auto* sheet = dynamic_cast<TTabSheet*>(child);
    if (!sheet) {
        child->Widget()->setParent(Widget());
        return;
    }
    sheet->pageControl_ = this;
    pages_.push_back(sheet);
    // The stack shows its current page and hides the others as they are added.
    impl_->stack->addWidget(sheet->Widget());
    if (active_ < 0) Select(0);
    UpdateTabs();
}

void TPageControl::ChildRemoved(TControl* child) {
    // By address: a sheet being destroyed has left already (RemovePage from its destructor).
    const auto it = std::find_if(pages_.begin(), pages_.end(), [child](TTabSheet* p) {
        return static_cast<TControl*>(p) == child;
    });
    if (it == pages_.end()) {
        TWinControl::ChildRemoved(child);
        return;
    }
    RemovePage(*it);
}

void TPageControl::RemovePage(TTabSheet* sheet) {
    const auto it = std::find(pages_.begin(), pages_.end(), sheet);
    if (it == pages_.end()) return;
    const int index = static_cast<int>(it - pages_.begin());
    pages_.erase(it);
    sheet->pageControl_ = nullptr;
    impl_->stack->removeWidget(sheet->Widget());
    sheet->Widget()->hide();
    sheet->Widget()->setParent(nullptr);
    if (active_ == index)
        active_ = -1;
    else if (active_ > index)
        --active_;
    if (active_ < 0 && !pages_.empty()) Select(0);
    UpdateTabs();
}

void TPageControl::AlignControls() {
    // The stack gives the pages their size; other aligned children share the whole control.
    TWinControl::AlignControls();
}

TTabSheet* TPageControl::GetActivePage() const {
    return Pages(active_);
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (!page) return;
    const auto it = std::find(pages_.begin(), pages_.end(), page);
    if (it == pages_.end()) return;
    Select(static_cast<int>(it - pages_.begin()));
}

int TPageControl::GetActivePageIndex() const {
    return active_;
}

void TPageControl::SetActivePageIndex(int index) {
    if (index < 0 || index >= PageCount()) return;
    Select(index);
}

void TPageControl::SetStyle(TTabStyle style) {
    style_ = style;
    impl_->bar->setDocumentMode(style != tsTabs);
    impl_->bar->setDrawBase(style == tsTabs);
}

void TPageControl::Select(int index) {
    active_ = index;
    impl_->stack->setCurrentWidget(pages_[static_cast<size_t>(index)]->Widget());
    UpdateTabs();
}

void TPageControl::UpdateTabs() {
    if (!impl_) return;
    updatingTabs_ = true;
    QTabBar* bar = impl_->bar;
    while (bar->count() > 0)
        bar->removeTab(bar->count() - 1);
    tabPages_.clear();
    int current = -1;
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (!pages_[i]->tabVisible_) continue;
        if (static_cast<int>(i) == active_) current = static_cast<int>(tabPages_.size());
        bar->addTab(ToQt(pages_[i]->GetCaption()));
        tabPages_.push_back(static_cast<int>(i));
    }
    if (current >= 0) bar->setCurrentIndex(current);
    bar->setVisible(!tabPages_.empty());
    updatingTabs_ = false;
}

void TPageControl::TabClicked(int tab) {
    if (updatingTabs_ || tab < 0 || tab >= static_cast<int>(tabPages_.size())) return;
    const int page = tabPages_[static_cast<size_t>(tab)];
    if (page == active_) return;
    bool allow = true;
    Raise(this, [&] {
        if (OnChanging) OnChanging(this, allow);
    });
    if (!allow) {
        UpdateTabs(); // back to the active page's tab
        return;
    }
    Select(page);
    Raise(this, [this] {
        if (OnChange) OnChange(this);
    });
}

} // namespace vcl
