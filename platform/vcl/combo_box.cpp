#include "vcl/combo_box.h"

#include "detail/hooks.h"
#include "detail/item_model.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace vcl {

using detail::CodeGuard;
using detail::Raise;
using detail::ToQt;

namespace {
// Tells the control when its list opens and closes.
class ComboWidget : public detail::Hooked<QComboBox> {
public:
    std::function<void(bool)> popup;
    void showPopup() override {
        QComboBox::showPopup();
        if (popup) popup(true);
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        if (popup) popup(false);
    }
};

QComboBox* BoxOf(const TComboBox* c) {
    return static_cast<QComboBox*>(c->Widget());
}
} // namespace

class TComboBox::Items_ : public detail::ModelStrings {
public:
    explicit Items_(TComboBox* box)
        : ModelStrings({[box] { return BoxOf(box)->model(); },
                        [box](int at, const QString& text, void* object) {
                            BoxOf(box)->insertItem(
                                at, text, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
                            BoxOf(box)->setItemData(at, text, Qt::ToolTipRole);
                        },
                        [box](int at) { BoxOf(box)->removeItem(at); },
                        [box] { BoxOf(box)->clear(); }, [box] { return box->sorted_; },
                        [box](bool on) { BoxOf(box)->setUpdatesEnabled(on); }, &box->codeDepth_}) {}
};

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner, new ComboWidget()) {
    static_cast<ComboWidget*>(Widget())->popup = [this](bool shown) { PopupShown(shown); };
    items_ = std::make_unique<Items_>(this);
    QComboBox* b = BoxOf(this);
    b->setInsertPolicy(QComboBox::NoInsert);
    b->setMaxVisibleItems(dropDownCount_);
    ApplyStyle();
    // Every change made by code runs under the guard; what is left is the user's.
    QObject::connect(b, &QComboBox::currentIndexChanged, b, [this](int) {
        if (codeDepth_ == 0 && style_ != csDropDown && style_ != csSimple) UserChanged();
    });
    QObject::connect(b, &QComboBox::highlighted, b, [this](int index) { ItemHighlighted(index); });
    QObject::connect(b, &QComboBox::activated, b, [this](int) {
        // An editable box takes the chosen item's text as its own edit: one change.
        if (codeDepth_ == 0 && (style_ == csDropDown || style_ == csSimple)) UserChanged();
    });
    SetBounds(0, 0, 145, 21);
}

TComboBox::~TComboBox() {
    StopEvents();
    // The widget outlives this part of the control: its signals must not reach it any more.
    QComboBox* b = BoxOf(this);
    QObject::disconnect(b, nullptr, nullptr, nullptr);
    if (QLineEdit* e = b->lineEdit()) QObject::disconnect(e, nullptr, b, nullptr);
    static_cast<ComboWidget*>(b)->popup = nullptr;
}

TItemStrings* TComboBox::Items() {
    return items_.get();
}

const TItemStrings* TComboBox::Items() const {
    return items_.get();
}

void TComboBox::UserChanged() {
    Raise(this, [this] {
        if (OnChange) OnChange(this);
    });
}

void TComboBox::ApplyStyle() {
    QComboBox* b = BoxOf(this);
    CodeGuard g(codeDepth_);
    const bool editable = style_ == csDropDown || style_ == csSimple;
    b->setEditable(editable);
    if (editable) {
        QLineEdit* e = b->lineEdit();
        e->setMaxLength(maxLength_ == 0 ? 32767 : maxLength_);
        QObject::connect(e, &QLineEdit::textEdited, b, [this](const QString&) {
            if (codeDepth_ == 0) UserChanged();
        });
        if (b->currentIndex() < 0) e->clear();
    }
}

void TComboBox::SetStyle(TComboBoxStyle style) {
    if (style == style_) return;
    style_ = style;
    ApplyStyle();
}

void TComboBox::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    sorted_ = sorted;
    if (!sorted) return;
    std::vector<std::pair<std::string, void*>> all;
    for (int i = 0; i < items_->Count(); ++i)
        all.emplace_back(items_->Strings(i), items_->Objects(i));
    const std::string chosen = GetItemIndex() >= 0 ? items_->Strings(GetItemIndex()) : "";
    const bool hadChoice = GetItemIndex() >= 0;
    items_->Clear();
    for (auto& [text, object] : all)
        items_->AddObject(text, object);
    if (hadChoice) SetItemIndex(items_->IndexOf(chosen));
}

void TComboBox::SetDropDownCount(int count) {
    dropDownCount_ = std::max(1, count);
    BoxOf(this)->setMaxVisibleItems(dropDownCount_);
}

int TComboBox::GetItemIndex() const {
    return BoxOf(this)->currentIndex();
}

void TComboBox::SetItemIndex(int index) {
    QComboBox* b = BoxOf(this);
    if (index < -1 || index >= b->count()) index = -1;
    CodeGuard g(codeDepth_);
    b->setCurrentIndex(index);
    if (index < 0 && b->isEditable()) b->lineEdit()->clear();
}

std::string TComboBox::GetText() const {
    return detail::FromQt(BoxOf(this)->currentText());
}

void TComboBox::SetText(const std::string& text) {
    QComboBox* b = BoxOf(this);
    CodeGuard g(codeDepth_);
    if (b->isEditable()) {
        b->setEditText(ToQt(text));
        return;
    }
    // A plain choice can only show one of its items.
    const int at = items_->IndexOf(text);
    if (at >= 0) b->setCurrentIndex(at);
}

void TComboBox::SetMaxLength(int length) {
    maxLength_ = std::max(0, length);
    if (QLineEdit* e = BoxOf(this)->lineEdit())
        e->setMaxLength(maxLength_ == 0 ? 32767 : maxLength_);
}

bool TComboBox::GetDroppedDown() const {
    return droppedDown_;
}

void TComboBox::SetDroppedDown(bool down) {
    if (down)
        BoxOf(this)->showPopup();
    else
        BoxOf(this)->hidePopup();
}

void TComboBox::PopupShown(bool shown) {
    droppedDown_ = shown;
    Raise(this, [this, shown] {
        if (shown && OnDropDown) OnDropDown(this);
        if (!shown && OnCloseUp) OnCloseUp(this);
    });
    if (!shown && (style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable)) {
        const int index = GetItemIndex();
        const TPoint at = ClientToScreen({0, 0});
        const TRect rect{at.X, at.Y, at.X + GetWidth(), at.Y + GetHeight()};
        Raise(this, [this, index, rect] {
            if (OnDrawItem) OnDrawItem(this, index, rect, {odSelected, odComboBoxEdit});
        });
    }
}

void TComboBox::ItemHighlighted(int index) {
    if (style_ != csOwnerDrawFixed && style_ != csOwnerDrawVariable) return;
    QComboBox* b = BoxOf(this);
    QAbstractItemView* view = b->view();
    if (!view || index < 0 || index >= b->count()) return;
    const QRect item = view->visualRect(b->model()->index(index, b->modelColumn()));
    const QPoint at = view->viewport()->mapToGlobal(item.topLeft());
    const TRect rect{at.x(), at.y(), at.x() + item.width(), at.y() + item.height()};
    Raise(this, [this, index, rect] {
        if (OnDrawItem) OnDrawItem(this, index, rect, {odSelected, odFocused});
    });
}

int TComboBox::TextWidth(const std::string& text) const {
    return QFontMetrics(BoxOf(this)->font()).horizontalAdvance(ToQt(text));
}

int TComboBox::TextHeight() const {
    return QFontMetrics(BoxOf(this)->font()).height();
}

bool TComboBox::WantsKey(TKey key) const {
    // An open list takes Enter and Escape for itself.
    return droppedDown_ && (key == VK_RETURN || key == VK_ESCAPE);
}

} // namespace vcl
