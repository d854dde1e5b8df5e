#include "vcl/list_view.h"

#include "detail/hooks.h"
#include "detail/image_list_data.h"
#include "detail/merge_sort.h"
#include "detail/text_compare.h"
#include "vcl/exception.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QPixmap>
#include <QStackedWidget>
#include <QTreeView>

#include <algorithm>

namespace vcl {

using detail::CompareText;
using detail::Raise;
using detail::ToQt;

namespace {

Qt::Alignment AlignmentOf(TAlignment a) {
    switch (a) {
    case taRightJustify:
        return Qt::AlignRight | Qt::AlignVCenter;
    case taCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

// The one toolkit model over the items: it reads them, it never owns them.
class ListModel : public QAbstractTableModel {
public:
    explicit ListModel(TListView* view) : view_(view) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : view_->Items()->Count();
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : std::max(1, view_->Columns()->Count());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        TListItem* item = ItemAt(index.row());
        if (!item) return {};
        const int column = index.column();
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return ToQt(column == 0 ? item->GetCaption() : item->SubItems()->Strings(column - 1));
        case Qt::DecorationRole: {
            if (column != 0 || item->GetImageIndex() < 0) return {};
            TImageList* images =
                view_->GetViewStyle() == vsIcon ? view_->GetLargeImages() : view_->GetSmallImages();
            if (!images || item->GetImageIndex() >= images->Count()) return {};
            return QPixmap::fromImage(
                images->Data().images[static_cast<size_t>(item->GetImageIndex())]);
        }
        case Qt::TextAlignmentRole:
            if (column < view_->Columns()->Count())
                return QVariant::fromValue(
                    AlignmentOf(view_->Columns()->Items(column)->GetAlignment()));
            return {};
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section >= view_->Columns()->Count()) return {};
        TListColumn* c = view_->Columns()->Items(section);
        if (role == Qt::DisplayRole) return ToQt(c->GetCaption());
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(AlignmentOf(c->GetAlignment()));
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!ItemAt(index.row())) return Qt::NoItemFlags;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == 0 && view_->EditAllowed()) flags |= Qt::ItemIsEditable;
        return flags;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        TListItem* item = ItemAt(index.row());
        if (!item || role != Qt::EditRole || index.column() != 0) return false;
        view_->EditCommitted(item, detail::FromQt(value.toString()));
        return true;
    }

    // The model's notifications, for the list view.
    using QAbstractTableModel::beginInsertRows;
    using QAbstractTableModel::beginRemoveRows;
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::changePersistentIndexList;
    using QAbstractTableModel::endInsertRows;
    using QAbstractTableModel::endRemoveRows;
    using QAbstractTableModel::endResetModel;
    using QAbstractTableModel::persistentIndexList;

private:
    TListItem* ItemAt(int row) const {
        // Bounds-checked: a view may ask while the items change inside an update bracket.
        if (row < 0 || row >= view_->Items()->Count()) return nullptr;
        return view_->Items()->Item(row);
    }
    TListView* view_;
};

struct TListView::Impl {
    QStackedWidget* stack = nullptr;
    detail::HookedView<QTreeView>* report = nullptr;
    detail::HookedView<QListView>* icons = nullptr;
    ListModel* model = nullptr;
    QItemSelectionModel* selection = nullptr;

    QAbstractItemView* Active(TViewStyle style) const {
        return style == vsReport ? static_cast<QAbstractItemView*>(report) : icons;
    }
};

// ---- TListSubItems

std::string TListSubItems::Strings(int index) const {
    if (index < 0 || index >= Count()) return {};
    return items_[static_cast<size_t>(index)];
}

void TListSubItems::SetStrings(int index, const std::string& text) {
    if (index < 0) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    if (index >= Count()) items_.resize(static_cast<size_t>(index) + 1);
    items_[static_cast<size_t>(index)] = text;
    item_->SubItemsChanged();
}

int TListSubItems::Add(const std::string& text) {
    items_.push_back(text);
    item_->SubItemsChanged();
    return Count() - 1;
}

void TListSubItems::Insert(int index, const std::string& text) {
    if (index < 0 || index > Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.insert(items_.begin() + index, text);
    item_->SubItemsChanged();
}

void TListSubItems::Delete(int index) {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.erase(items_.begin() + index);
    item_->SubItemsChanged();
}

void TListSubItems::Clear() {
    if (items_.empty()) return;
    items_.clear();
    item_->SubItemsChanged();
}

// ---- TListItem

void TListItem::SetCaption(const std::string& caption) {
    caption_ = caption;
    view_->ItemChanged(this, ctText);
    if (view_->sortType_ == stText || view_->sortType_ == stBoth) view_->SortRequested();
}

void TListItem::SubItemsChanged() {
    if (view_->resetOpen_) return;
    const QModelIndex left = view_->impl_->model->index(index_, 0);
    const QModelIndex right =
        view_->impl_->model->index(index_, view_->impl_->model->columnCount({}) - 1);
    emit view_->impl_->model->dataChanged(left, right);
}

void TListItem::SetImageIndex(int index) {
    if (index == imageIndex_) return;
    imageIndex_ = index;
    view_->ItemChanged(this, ctImage);
}

void TListItem::SetData(void* data) {
    data_ = data;
    if (view_->sortType_ == stData || view_->sortType_ == stBoth) view_->SortRequested();
}

void TListItem::SetSelected(bool selected) {
    view_->SelectItem(this, selected, false);
}

bool TListItem::GetFocused() const {
    return view_->focused_ == this;
}

void TListItem::SetFocused(bool focused) {
    if (focused)
        view_->SetItemFocused(this);
    else if (view_->focused_ == this)
        view_->SetItemFocused(nullptr);
}

TListItems* TListItem::Owner() const {
    return view_->Items();
}

void TListItem::Delete() {
    view_->Items()->Delete(index_);
}

void TListItem::MakeVisible(bool) {
    if (view_->resetOpen_) return;
    view_->impl_->Active(view_->viewStyle_)->scrollTo(view_->impl_->model->index(index_, 0));
}

bool TListItem::EditCaption() {
    if (view_->editing_ == this) return true;
    if (view_->readOnly_ || view_->resetOpen_) return false;
    MakeVisible();
    view_->editByCode_ = true;
    const QModelIndex index = view_->impl_->model->index(index_, 0);
    const bool opened = view_->viewStyle_ == vsReport ? view_->impl_->report->OpenEditor(index)
                                                      : view_->impl_->icons->OpenEditor(index);
    view_->editByCode_ = false;
    return opened && view_->editing_ == this;
}

void TListItem::EndEdit(bool cancel) {
    if (view_->editing_ != this) return;
    const QModelIndex index = view_->impl_->model->index(index_, 0);
    if (view_->viewStyle_ == vsReport)
        view_->impl_->report->CloseEditorOf(index, !cancel);
    else
        view_->impl_->icons->CloseEditorOf(index, !cancel);
    view_->editing_ = nullptr;
}

bool TListView::EditAllowed() const {
    return !readOnly_ && (editByCode_ || OnEditing || OnEdited || editing_);
}

void TListView::EditOpened(TListItem* item) {
    editing_ = item;
    if (!item) return;
    bool allow = true;
    Raise(this, [&] {
        if (OnEditing) OnEditing(this, item, allow);
    });
    if (!allow && editing_ == item) item->EndEdit(true);
}

void TListView::EditCommitted(TListItem* item, const std::string& text) {
    std::string s = text;
    Raise(this, [&] {
        if (OnEdited) OnEdited(this, item, s);
    });
    if (items_.IndexOf(item) >= 0) item->SetCaption(s);
}

TRect TListItem::DisplayRect() const {
    if (view_->resetOpen_) return {};
    const QRect r =
        view_->impl_->Active(view_->viewStyle_)->visualRect(view_->impl_->model->index(index_, 0));
    return detail::FromQRect(r);
}

// ---- TListItems

TListItem* TListItems::Item(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[static_cast<size_t>(index)].get();
}

TListItem* TListItems::Add() {
    return Insert(Count());
}

TListItem* TListItems::Insert(int index) {
    view_->CheckNotSorting();
    if (index < 0 || index > Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    std::unique_ptr<TListItem> item(new TListItem(view_));
    TListItem* raw = item.get();
    view_->ItemInserting(index);
    items_.insert(items_.begin() + index, std::move(item));
    Renumber(index);
    view_->ItemInserted(index);
    Raise(view_, [&] {
        if (view_->OnInsert) view_->OnInsert(view_, raw);
    });
    return raw;
}

void TListItems::Delete(int index) {
    view_->CheckNotSorting();
    TListItem* item = Item(index);
    if (item->selected_) view_->SelectItem(item, false, false);
    Raise(view_, [&] {
        if (view_->OnDeletion) view_->OnDeletion(view_, item);
    });
    // A handler may have deleted it or others: find it again.
    index = IndexOf(item);
    if (index < 0) return;
    if (view_->focused_ == item) view_->focused_ = nullptr;
    if (view_->editing_ == item) view_->editing_ = nullptr;
    view_->ItemRemoving(index);
    items_.erase(items_.begin() + index);
    Renumber(index);
    view_->ItemRemoved(index);
}

void TListItems::Clear() {
    view_->CheckNotSorting();
    BeginUpdate();
    try {
        while (!items_.empty())
            Delete(Count() - 1);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TListItems::IndexOf(const TListItem* item) const {
    if (!item || item->view_ != view_) return -1;
    const int i = item->index_;
    if (i >= 0 && i < Count() && items_[static_cast<size_t>(i)].get() == item) return i;
    return -1;
}

void TListItems::Renumber(int from) {
    for (size_t i = static_cast<size_t>(std::max(0, from)); i < items_.size(); ++i)
        items_[i]->index_ = static_cast<int>(i);
}

void TListItems::BeginUpdate() {
    if (updateCount_++ == 0) view_->UpdateStarted();
}

void TListItems::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) view_->UpdateEnded();
}

// ---- TListColumn / TListColumns

void TListColumn::SetCaption(const std::string& caption) {
    caption_ = caption;
    view_->ColumnsChanged();
}

int TListColumn::GetWidth() const {
    // The width shown, which the user may have dragged; the set value while none is shown.
    QHeaderView* header = view_->impl_->report->header();
    if (!view_->resetOpen_ && !view_->columnsPending_ && index_ < header->count())
        return header->sectionSize(index_);
    return width_;
}

void TListColumn::SetWidth(int width) {
    width_ = width < -2 ? -2 : width;
    view_->ColumnsChanged();
}

void TListColumn::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    view_->ColumnsChanged();
}

TListColumn* TListColumns::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return columns_[static_cast<size_t>(index)].get();
}

TListColumn* TListColumns::Add() {
    view_->OpenReset();
    columns_.push_back(std::unique_ptr<TListColumn>(new TListColumn(view_)));
    columns_.back()->index_ = Count() - 1;
    view_->Flush();
    return columns_.back().get();
}

void TListColumns::Delete(int index) {
    Items(index);
    view_->OpenReset();
    columns_.erase(columns_.begin() + index);
    for (int i = 0; i < Count(); ++i)
        columns_[static_cast<size_t>(i)]->index_ = i;
    view_->Flush();
}

void TListColumns::Clear() {
    view_->OpenReset();
    columns_.clear();
    view_->Flush();
}

void TListColumns::BeginUpdate() {
    ++updateCount_;
}

void TListColumns::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) view_->Flush();
}

// ---- TListView

TListView::TListView(TComponent* owner)
    : TWinControl(owner, new detail::Hooked<QStackedWidget>()), items_(this), columns_(this),
      impl_(std::make_unique<Impl>()) {
    impl_->stack = static_cast<QStackedWidget*>(Widget());
    impl_->stack->setFocusPolicy(Qt::NoFocus);
    impl_->model = new ListModel(this);
    impl_->model->setParent(impl_->stack);

    auto* report = new detail::HookedView<QTreeView>();
    report->setRootIsDecorated(false);
    report->setItemsExpandable(false);
    report->setUniformRowHeights(true);
    report->setSelectionBehavior(QAbstractItemView::SelectRows);
    report->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    report->header()->setStretchLastSection(false);
    report->header()->setSectionsClickable(true);
    report->header()->setSectionsMovable(false);
    report->setModel(impl_->model);
    impl_->report = report;

    auto* icons = new detail::HookedView<QListView>();
    icons->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    icons->setModel(impl_->model);
    icons->setSelectionModel(report->selectionModel());
    impl_->icons = icons;
    impl_->selection = report->selectionModel();

    impl_->stack->addWidget(report);
    impl_->stack->addWidget(icons);
    report->control = this;
    icons->control = this;
    report->editStarted = [this](const QModelIndex& index) {
        EditOpened(index.row() < items_.Count() ? items_.Item(index.row()) : nullptr);
    };
    icons->editStarted = report->editStarted;
    report->editEnded = [this] { editing_ = nullptr; };
    icons->editEnded = report->editEnded;

    QObject::connect(impl_->selection, &QItemSelectionModel::selectionChanged, impl_->stack,
                     [this] { NativeSelectionChanged(); });
    QObject::connect(impl_->selection, &QItemSelectionModel::currentChanged, impl_->stack,
                     [this](const QModelIndex& current) {
                         if (syncing_ || resetOpen_) return;
                         const int row = current.isValid() ? current.row() : -1;
                         focused_ = row >= 0 && row < items_.Count() ? items_.Item(row) : nullptr;
                     });
    QObject::connect(report->header(), &QHeaderView::sectionClicked, impl_->stack,
                     [this](int section) { ColumnClicked(section); });
    QObject::connect(report->header(), &QHeaderView::sectionResized, impl_->stack,
                     [this](int section, int, int size) {
                         if (syncing_ || resetOpen_ || section >= columns_.Count()) return;
                         columns_.Items(section)->width_ = size;
                     });
    SetViewStyle(vsIcon);
    SetMultiSelect(false);
    SetBounds(0, 0, 250, 150);
}

TListView::~TListView() {
    StopEvents();
    SetSmallImages(nullptr);
    SetLargeImages(nullptr);
    impl_->report->control = nullptr;
    impl_->icons->control = nullptr;
    impl_->report->editStarted = nullptr;
    impl_->report->editEnded = nullptr;
    impl_->icons->editStarted = nullptr;
    impl_->icons->editEnded = nullptr;
    QObject::disconnect(impl_->selection, nullptr, impl_->stack, nullptr);
    // The widgets still show the model; leave them with nothing before the items go.
    impl_->report->setModel(nullptr);
    impl_->icons->setModel(nullptr);
}

void TListView::CheckNotSorting() const {
    if (sorting_) throw EInvalidOperation("The list cannot change while it sorts");
}

void TListView::SetViewStyle(TViewStyle style) {
    viewStyle_ = style;
    QListView* icons = impl_->icons;
    switch (style) {
    case vsIcon:
        icons->setViewMode(QListView::IconMode);
        icons->setFlow(QListView::LeftToRight);
        icons->setWrapping(true);
        break;
    case vsSmallIcon:
        icons->setViewMode(QListView::ListMode);
        icons->setFlow(QListView::LeftToRight);
        icons->setWrapping(true);
        break;
    case vsList:
        icons->setViewMode(QListView::ListMode);
        icons->setFlow(QListView::TopToBottom);
        icons->setWrapping(true);
        break;
    case vsReport:
        break;
    }
    icons->setResizeMode(QListView::Adjust);
    QAbstractItemView* active = impl_->Active(style);
    const bool hadFocus =
        impl_->stack->currentWidget() && impl_->stack->currentWidget()->hasFocus();
    impl_->stack->setCurrentWidget(active);
    impl_->stack->setFocusProxy(active);
    if (hadFocus) active->setFocus();
    if (TImageList* images = style == vsIcon ? largeImages_ : smallImages_)
        active->setIconSize(QSize(images->GetWidth(), images->GetHeight()));
    active->viewport()->update();
}

void TListView::SetMultiSelect(bool multi) {
    multiSelect_ = multi;
    const auto mode =
        multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    impl_->report->setSelectionMode(mode);
    impl_->icons->setSelectionMode(mode);
}

void TListView::SetRowSelect(bool rowSelect) {
    rowSelect_ = rowSelect;
    impl_->report->setAllColumnsShowFocus(rowSelect);
}

void TListView::SetGridLines(bool gridLines) {
    gridLines_ = gridLines;
    impl_->report->setStyleSheet(
        gridLines ? QStringLiteral("QTreeView::item { border-right: 1px solid palette(midlight);"
                                   " border-bottom: 1px solid palette(midlight); }")
                  : QString());
}

void TListView::SetHideSelection(bool hide) {
    hideSelection_ = hide;
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(impl_->report),
                                 static_cast<QAbstractItemView*>(impl_->icons)}) {
        QPalette p = v->palette();
        const QPalette base = v->style()->standardPalette();
        p.setColor(QPalette::Inactive, QPalette::Highlight,
                   hide ? p.color(QPalette::Inactive, QPalette::Base)
                        : base.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   hide ? p.color(QPalette::Inactive, QPalette::Text)
                        : base.color(QPalette::Active, QPalette::HighlightedText));
        v->setPalette(p);
    }
}

void TListView::SetShowColumnHeaders(bool show) {
    showColumnHeaders_ = show;
    impl_->report->setHeaderHidden(!show);
}

void TListView::SetSortType(TSortType type) {
    sortType_ = type;
    if (type != stNone) SortRequested();
}

void TListView::SetSmallImages(TImageList* images) {
    if (smallImages_ && smallImages_ != largeImages_) RemoveFreeNotification(smallImages_);
    smallImages_ = images;
    if (images) {
        FreeNotification(images);
        impl_->report->setIconSize(QSize(images->GetWidth(), images->GetHeight()));
        if (viewStyle_ != vsIcon)
            impl_->icons->setIconSize(QSize(images->GetWidth(), images->GetHeight()));
    }
    impl_->Active(viewStyle_)->viewport()->update();
}

void TListView::SetLargeImages(TImageList* images) {
    if (largeImages_ && largeImages_ != smallImages_) RemoveFreeNotification(largeImages_);
    largeImages_ = images;
    if (images) {
        FreeNotification(images);
        if (viewStyle_ == vsIcon)
            impl_->icons->setIconSize(QSize(images->GetWidth(), images->GetHeight()));
    }
    impl_->Active(viewStyle_)->viewport()->update();
}

void TListView::Notification(TComponent* component, TOperation operation) {
    if (operation != opRemove) return;
    if (component == smallImages_) smallImages_ = nullptr;
    if (component == largeImages_) largeImages_ = nullptr;
}

bool TListView::WantsKey(TKey) const {
    return false;
}

void TListView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    // A right press gets no native handling: take the focus as a press would.
    if (button == mbRight) impl_->Active(viewStyle_)->setFocus(Qt::MouseFocusReason);
    TWinControl::MouseDown(button, shift, x, y);
}

// ---- items and the model

// While rows come and go, the toolkit's own selection updates are not the user's.
void TListView::ItemInserting(int index) {
    if (items_.Updating() || columns_.updateCount_ > 0) {
        OpenReset();
        return;
    }
    if (resetOpen_) return;
    syncing_ = true;
    impl_->model->beginInsertRows(QModelIndex(), index, index);
}

void TListView::ItemInserted(int) {
    if (resetOpen_) return;
    impl_->model->endInsertRows();
    syncing_ = false;
}

void TListView::ItemRemoving(int index) {
    if (items_.Updating() || columns_.updateCount_ > 0) {
        OpenReset();
        return;
    }
    if (resetOpen_) return;
    syncing_ = true;
    impl_->model->beginRemoveRows(QModelIndex(), index, index);
}

void TListView::ItemRemoved(int) {
    if (resetOpen_) return;
    impl_->model->endRemoveRows();
    syncing_ = false;
    SyncNativeSelection();
}

void TListView::ItemChanged(TListItem* item, TItemChange change) {
    if (!resetOpen_) {
        const QModelIndex left = impl_->model->index(item->index_, 0);
        const QModelIndex right =
            impl_->model->index(item->index_, impl_->model->columnCount({}) - 1);
        emit impl_->model->dataChanged(left, right);
    }
    Raise(this, [&] {
        if (OnChange) OnChange(this, item, change);
    });
}

void TListView::ItemsReset() {
    OpenReset();
    Flush();
}

void TListView::ColumnsChanged() {
    if (columns_.updateCount_ > 0 || resetOpen_) {
        columnsPending_ = true; // applied by Flush
        return;
    }
    ApplyColumns();
}

void TListView::UpdateStarted() {
    impl_->stack->setUpdatesEnabled(false);
}

void TListView::UpdateEnded() {
    Flush();
    impl_->stack->setUpdatesEnabled(true);
}

void TListView::OpenReset() {
    if (resetOpen_) return;
    resetOpen_ = true;
    impl_->model->beginResetModel();
}

void TListView::Flush() {
    if (items_.Updating() || columns_.updateCount_ > 0) return;
    if (sortPending_) {
        sortPending_ = false;
        AlphaSort();
    }
    if (!resetOpen_) {
        // Column settings changed inside a bracket that added or removed nothing.
        if (columnsPending_) ApplyColumns();
        return;
    }
    syncing_ = true;
    impl_->model->endResetModel();
    resetOpen_ = false;
    syncing_ = false;
    ApplyColumns();
    SyncNativeSelection();
}

void TListView::ApplyColumns() {
    columnsPending_ = false;
    QHeaderView* header = impl_->report->header();
    syncing_ = true;
    emit impl_->model->headerDataChanged(Qt::Horizontal, 0, std::max(0, columns_.Count() - 1));
    for (int i = 0; i < columns_.Count() && i < header->count(); ++i) {
        TListColumn* c = columns_.Items(i);
        if (c->width_ == -1)
            impl_->report->resizeColumnToContents(i);
        else if (c->width_ == -2)
            header->resizeSection(i, header->sectionSizeHint(i));
        else
            header->resizeSection(i, c->width_);
    }
    syncing_ = false;
    impl_->report->viewport()->update();
}

// ---- sorting

void TListView::SortRequested() {
    if (items_.Updating()) {
        sortPending_ = true;
        return;
    }
    AlphaSort();
}

int TListView::DefaultCompare(TListItem* a, TListItem* b, int data) {
    if (OnCompare) {
        int result = 0;
        Raise(this, [&] { OnCompare(this, a, b, data, result); });
        return result;
    }
    return CompareText(a->caption_, b->caption_);
}

bool TListView::AlphaSort() {
    Sort([this](TListItem* a, TListItem* b) { return DefaultCompare(a, b, 0); });
    return true;
}

bool TListView::CustomSort(const TLVCompare& compare, intptr_t data) {
    if (compare)
        Sort([&](TListItem* a, TListItem* b) {
            int result = 0;
            Guarded(this, [&] { result = compare(a, b, data); });
            return result;
        });
    else
        Sort([&](TListItem* a, TListItem* b) {
            return DefaultCompare(a, b, static_cast<int>(data));
        });
    return true;
}

void TListView::Sort(const std::function<int(TListItem*, TListItem*)>& compare) {
    if (sorting_ || items_.Count() < 2) return;
    std::vector<TListItem*> order;
    order.reserve(items_.items_.size());
    for (auto& item : items_.items_)
        order.push_back(item.get());
    sorting_ = true;
    try {
        detail::MergeSort(order, compare);
    } catch (...) {
        sorting_ = false;
        throw;
    }
    sorting_ = false;
    const bool notify = !resetOpen_;
    QModelIndexList before;
    if (notify) {
        emit impl_->model->layoutAboutToBeChanged();
        before = impl_->model->persistentIndexList();
    }
    // Items keep their addresses: only the owning pointers move.
    for (auto& item : items_.items_)
        (void)item.release(); // each is in order and owned again just below
    std::vector<std::unique_ptr<TListItem>> sorted(order.size());
    std::vector<int> oldRow(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted[i].reset(order[i]);
        oldRow[i] = order[i]->index_;
    }
    items_.items_ = std::move(sorted);
    std::vector<int> newRow(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRow[static_cast<size_t>(oldRow[i])] = static_cast<int>(i);
    items_.Renumber(0);
    if (notify) {
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& index : before) {
            const int row = index.row();
            after.push_back(
                row >= 0 && row < static_cast<int>(newRow.size())
                    ? impl_->model->index(newRow[static_cast<size_t>(row)], index.column())
                    : QModelIndex());
        }
        impl_->model->changePersistentIndexList(before, after);
        emit impl_->model->layoutChanged();
    }
}

// ---- selection

TListItem* TListView::GetSelected() const {
    for (const auto& item : items_.items_)
        if (item->selected_) return item.get();
    return nullptr;
}

void TListView::SetSelected(TListItem* item) {
    ClearSelection();
    if (item) SelectItem(item, true, false);
}

int TListView::SelCount() const {
    int n = 0;
    for (const auto& item : items_.items_)
        n += item->selected_ ? 1 : 0;
    return n;
}

void TListView::SelectAll() {
    if (!multiSelect_) return;
    for (int i = 0; i < items_.Count(); ++i)
        SelectItem(items_.Item(i), true, false);
}

void TListView::ClearSelection() {
    for (int i = 0; i < items_.Count(); ++i)
        if (items_.Item(i)->selected_) SelectItem(items_.Item(i), false, false);
}

void TListView::SelectItem(TListItem* item, bool selected, bool fromNative) {
    if (!item || item->selected_ == selected) return;
    if (selected && !multiSelect_) {
        for (int i = 0; i < items_.Count(); ++i) {
            TListItem* other = items_.Item(i);
            if (other != item && other->selected_) SelectItem(other, false, fromNative);
        }
    }
    item->selected_ = selected;
    if (!fromNative) SyncNativeSelection();
    Raise(this, [&] {
        if (OnChange) OnChange(this, item, ctState);
    });
    Raise(this, [&] {
        if (OnSelectItem) OnSelectItem(this, item, selected);
    });
}

void TListView::NativeSelectionChanged() {
    if (syncing_ || resetOpen_) return;
    // The toolkit's selection is the user's: bring the items in line, losses first.
    std::vector<TListItem*> lost;
    std::vector<TListItem*> gained;
    for (int i = 0; i < items_.Count(); ++i) {
        TListItem* item = items_.Item(i);
        const bool now = impl_->selection->isRowSelected(i, QModelIndex());
        if (item->selected_ && !now) lost.push_back(item);
        if (!item->selected_ && now) gained.push_back(item);
    }
    for (TListItem* item : lost)
        if (items_.IndexOf(item) >= 0) SelectItem(item, false, true);
    for (TListItem* item : gained)
        if (items_.IndexOf(item) >= 0) SelectItem(item, true, true);
}

void TListView::SyncNativeSelection() {
    if (resetOpen_ || !impl_) return;
    syncing_ = true;
    QItemSelection selection;
    const int last = impl_->model->columnCount({}) - 1;
    for (int i = 0; i < items_.Count(); ++i)
        if (items_.Item(i)->selected_)
            selection.select(impl_->model->index(i, 0), impl_->model->index(i, last));
    impl_->selection->select(selection, QItemSelectionModel::ClearAndSelect);
    if (focused_)
        impl_->selection->setCurrentIndex(impl_->model->index(focused_->index_, 0),
                                          QItemSelectionModel::NoUpdate);
    syncing_ = false;
}

TListItem* TListView::GetItemFocused() const {
    return focused_;
}

void TListView::SetItemFocused(TListItem* item) {
    focused_ = item;
    if (resetOpen_) return;
    syncing_ = true;
    impl_->selection->setCurrentIndex(item ? impl_->model->index(item->index_, 0) : QModelIndex(),
                                      QItemSelectionModel::NoUpdate);
    syncing_ = false;
}

TListItem* TListView::GetItemAt(int x, int y) const {
    if (resetOpen_) return nullptr;
    const QModelIndex index = impl_->Active(viewStyle_)->indexAt(QPoint(x, y));
    if (!index.isValid() || index.row() >= items_.Count()) return nullptr;
    return items_.Item(index.row());
}

TListItem* TListView::GetNextItem(TListItem* start, TSearchDirection direction,
                                  TItemStates states) const {
    const int n = items_.Count();
    int i = start ? items_.IndexOf(start) : -1;
    const int step = direction == sdAbove ? -1 : 1;
    if (!start && direction == sdAbove) i = n;
    for (i += step; i >= 0 && i < n; i += step) {
        TListItem* item = items_.Item(i);
        if (states.Contains(isSelected) && !item->selected_) continue;
        if (states.Contains(isFocused) && focused_ != item) continue;
        return item;
    }
    return nullptr;
}

TListItem* TListView::TopItem() const {
    return GetItemAt(1, 1);
}

void TListView::ColumnClicked(int index) {
    if (index < 0 || index >= columns_.Count()) return;
    TListColumn* column = columns_.Items(index);
    Raise(this, [&] {
        if (OnColumnClick) OnColumnClick(this, column);
    });
}

} // namespace vcl
