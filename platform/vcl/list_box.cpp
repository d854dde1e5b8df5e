#include "vcl/list_box.h"

#include "detail/hooks.h"
#include "detail/item_model.h"

#include <QItemSelectionModel>
#include <QListWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace vcl {

using detail::CodeGuard;
using detail::Raise;

namespace {
QListWidget* ListOf(const TListBox* l) {
    return static_cast<QListWidget*>(l->Widget());
}
} // namespace

class TListBox::Items_ : public detail::ModelStrings {
public:
    explicit Items_(TListBox* box)
        : ModelStrings({[box] { return ListOf(box)->model(); },
                        [box](int at, const QString& text, void* object) {
                            auto* item = new QListWidgetItem(text);
                            item->setData(Qt::UserRole,
                                          QVariant::fromValue(reinterpret_cast<quintptr>(object)));
                            ListOf(box)->insertItem(at, item);
                        },
                        [box](int at) { delete ListOf(box)->takeItem(at); },
                        [box] { ListOf(box)->clear(); }, [box] { return box->sorted_; },
                        [box](bool on) { ListOf(box)->setUpdatesEnabled(on); }, &box->codeDepth_}) {
    }
};

TListBox::TListBox(TComponent* owner) : TWinControl(owner, new detail::HookedView<QListWidget>()) {
    items_ = std::make_unique<Items_>(this);
    QListWidget* l = ListOf(this);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    // A selection the user made (click or keys): changes made by code run under the guard.
    QObject::connect(l->selectionModel(), &QItemSelectionModel::selectionChanged, l,
                     [this](const QItemSelection&, const QItemSelection&) {
                         if (codeDepth_ == 0) UserSelected();
                     });
    SetBounds(0, 0, 121, 97);
}

TListBox::~TListBox() {
    StopEvents();
    // The widget outlives this part of the control: its signals must not reach it any more.
    QObject::disconnect(ListOf(this)->selectionModel(), nullptr, nullptr, nullptr);
}

TItemStrings* TListBox::Items() {
    return items_.get();
}

const TItemStrings* TListBox::Items() const {
    return items_.get();
}

void TListBox::UserSelected() {
    Click();
}

void TListBox::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    sorted_ = sorted;
    if (!sorted) return;
    std::vector<std::pair<std::string, void*>> all;
    for (int i = 0; i < items_->Count(); ++i)
        all.emplace_back(items_->Strings(i), items_->Objects(i));
    items_->Clear();
    for (auto& [text, object] : all)
        items_->AddObject(text, object);
}

void TListBox::SetMultiSelect(bool multi) {
    multiSelect_ = multi;
    CodeGuard g(codeDepth_);
    ListOf(this)->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                                         : QAbstractItemView::SingleSelection);
}

int TListBox::GetItemIndex() const {
    QListWidget* l = ListOf(this);
    if (!multiSelect_) {
        const auto rows = l->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    return l->currentRow();
}

void TListBox::SetItemIndex(int index) {
    QListWidget* l = ListOf(this);
    CodeGuard g(codeDepth_);
    if (index < 0 || index >= l->count()) {
        l->clearSelection();
        l->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
        return;
    }
    l->setCurrentRow(index, multiSelect_ ? QItemSelectionModel::NoUpdate
                                         : QItemSelectionModel::ClearAndSelect);
}

bool TListBox::GetSelected(int index) const {
    QListWidget* l = ListOf(this);
    if (index < 0 || index >= l->count()) return false;
    return l->item(index)->isSelected();
}

void TListBox::SetSelected(int index, bool selected) {
    QListWidget* l = ListOf(this);
    if (index < 0 || index >= l->count()) return;
    CodeGuard g(codeDepth_);
    if (!multiSelect_ && selected) l->clearSelection();
    l->item(index)->setSelected(selected);
}

int TListBox::SelCount() const {
    return static_cast<int>(ListOf(this)->selectedItems().size());
}

void TListBox::ClearSelection() {
    CodeGuard g(codeDepth_);
    ListOf(this)->clearSelection();
}

bool TListBox::WantsKey(TKey key) const {
    return key == VK_UP || key == VK_DOWN || key == VK_HOME || key == VK_END || key == VK_PRIOR ||
           key == VK_NEXT;
}

} // namespace vcl
