#include "vcl/tree_view.h"

#include "detail/hooks.h"
#include "detail/image_list_data.h"
#include "detail/merge_sort.h"
#include "detail/text_compare.h"
#include "vcl/exception.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QTreeView>

#include <algorithm>

namespace vcl {

using detail::CompareText;
using detail::Raise;
using detail::ToQt;

namespace {

int SubtreeSize(const TTreeNode* node) {
    int n = 1;
    for (int i = 0; i < node->Count(); ++i)
        n += SubtreeSize(node->Item(i));
    return n;
}

} // namespace

// The one toolkit model over the nodes: an index carries its node's address.
class TreeModel : public QAbstractItemModel {
public:
    explicit TreeModel(TTreeView* view) : view_(view) {}

    QModelIndex index(int row, int column, const QModelIndex& parent) const override {
        if (column != 0 || row < 0) return {};
        const auto& siblings = Siblings(NodeOf(parent));
        if (row >= static_cast<int>(siblings.size())) return {};
        return createIndex(row, 0, siblings[static_cast<size_t>(row)].get());
    }
    QModelIndex parent(const QModelIndex& child) const override {
        TTreeNode* node = NodeOf(child);
        if (!node || !node->Parent()) return {};
        return IndexOf(node->Parent());
    }
    int rowCount(const QModelIndex& parent) const override {
        if (parent.isValid() && parent.column() != 0) return 0;
        return static_cast<int>(Siblings(NodeOf(parent)).size());
    }
    int columnCount(const QModelIndex&) const override { return 1; }
    QVariant data(const QModelIndex& index, int role) const override {
        TTreeNode* node = NodeOf(index);
        if (!node) return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return ToQt(node->GetText());
        case Qt::DecorationRole: {
            TImageList* images = view_->GetImages();
            const int image =
                node->GetSelected() ? node->GetSelectedIndex() : node->GetImageIndex();
            if (!images || image < 0 || image >= images->Count()) return {};
            return QPixmap::fromImage(images->Data().images[static_cast<size_t>(image)]);
        }
        case Qt::BackgroundRole:
            if (node == view_->GetDropTarget())
                return view_->Widget()->palette().brush(QPalette::Highlight);
            return {};
        default:
            return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!NodeOf(index)) return Qt::NoItemFlags;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (!view_->GetReadOnly() &&
            (editByCode || view_->OnEditing || view_->OnEdited || view_->IsEditing()))
            flags |= Qt::ItemIsEditable;
        return flags;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        TTreeNode* node = NodeOf(index);
        if (!node || role != Qt::EditRole) return false;
        view_->EditCommitted(node, detail::FromQt(value.toString()));
        return true;
    }
    bool editByCode = false; // EditText opens an editor whatever the handlers

    QModelIndex IndexOf(TTreeNode* node) const {
        if (!node) return {};
        return createIndex(node->Index(), 0, node);
    }
    static TTreeNode* NodeOf(const QModelIndex& index) {
        return index.isValid() ? static_cast<TTreeNode*>(index.internalPointer()) : nullptr;
    }

    using QAbstractItemModel::beginInsertRows;
    using QAbstractItemModel::beginRemoveRows;
    using QAbstractItemModel::beginResetModel;
    using QAbstractItemModel::changePersistentIndexList;
    using QAbstractItemModel::endInsertRows;
    using QAbstractItemModel::endRemoveRows;
    using QAbstractItemModel::endResetModel;
    using QAbstractItemModel::persistentIndexList;

private:
    const std::vector<std::unique_ptr<TTreeNode>>& Siblings(TTreeNode* parent) const {
        return view_->Items()->Siblings(parent);
    }
    TTreeView* view_;
};

struct TTreeView::Impl {
    detail::HookedView<QTreeView>* tree = nullptr;
    TreeModel* model = nullptr;
};

// ---- TTreeNode

void TTreeNode::SetText(const std::string& text) {
    text_ = text;
    view_->NodeChanged(this);
}

void TTreeNode::SetImageIndex(int index) {
    imageIndex_ = index;
    view_->NodeChanged(this);
}

void TTreeNode::SetSelectedIndex(int index) {
    selectedIndex_ = index;
    view_->NodeChanged(this);
}

TTreeNode* TTreeNode::Item(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return children_[static_cast<size_t>(index)].get();
}

TTreeNode* TTreeNode::GetFirstChild() const {
    return children_.empty() ? nullptr : children_.front().get();
}

TTreeNode* TTreeNode::GetLastChild() const {
    return children_.empty() ? nullptr : children_.back().get();
}

TTreeNode* TTreeNode::GetNextSibling() const {
    const auto& siblings = view_->items_.Siblings(parent_);
    const size_t next = static_cast<size_t>(index_) + 1;
    return next < siblings.size() ? siblings[next].get() : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
    if (index_ == 0) return nullptr;
    return view_->items_.Siblings(parent_)[static_cast<size_t>(index_) - 1].get();
}

TTreeNode* TTreeNode::GetNext() const {
    if (!children_.empty()) return children_.front().get();
    for (const TTreeNode* n = this; n; n = n->parent_)
        if (TTreeNode* sibling = n->GetNextSibling()) return sibling;
    return nullptr;
}

int TTreeNode::Level() const {
    int level = 0;
    for (const TTreeNode* p = parent_; p; p = p->parent_)
        ++level;
    return level;
}

bool TTreeNode::HasAsParent(const TTreeNode* node) const {
    for (const TTreeNode* p = parent_; p; p = p->parent_)
        if (p == node) return true;
    return false;
}

void TTreeNode::SetExpanded(bool expanded) {
    view_->ExpandNode(this, expanded);
}

void TTreeNode::Expand(bool recurse) {
    view_->ExpandNode(this, true);
    if (recurse)
        for (int i = 0; i < Count(); ++i)
            Item(i)->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
    view_->ExpandNode(this, false);
    if (recurse)
        for (int i = 0; i < Count(); ++i)
            Item(i)->Collapse(true);
}

bool TTreeNode::GetSelected() const {
    return view_->selected_ == this;
}

void TTreeNode::SetSelected(bool selected) {
    if (selected)
        view_->SetSelected(this);
    else if (view_->selected_ == this)
        view_->SetSelected(nullptr);
}

void TTreeNode::MakeVisible() {
    for (TTreeNode* p = parent_; p; p = p->parent_)
        if (!p->expanded_) view_->ExpandNode(p, true);
    if (!view_->resetOpen_) view_->impl_->tree->scrollTo(view_->impl_->model->IndexOf(this));
}

bool TTreeNode::EditText() {
    if (view_->editing_ == this) return true;
    if (view_->GetReadOnly() || view_->resetOpen_) return false;
    MakeVisible();
    view_->impl_->model->editByCode = true;
    const bool opened = view_->impl_->tree->OpenEditor(view_->impl_->model->IndexOf(this));
    view_->impl_->model->editByCode = false;
    return opened && view_->editing_ == this;
}

void TTreeNode::EndEdit(bool cancel) {
    if (view_->editing_ != this) return;
    view_->impl_->tree->CloseEditorOf(view_->impl_->model->IndexOf(this), !cancel);
    view_->editing_ = nullptr;
}

void TTreeView::EditOpened(TTreeNode* node) {
    editing_ = node;
    if (!node) return;
    bool allow = true;
    Raise(this, [&] {
        if (OnEditing) OnEditing(this, node, allow);
    });
    if (!allow && editing_ == node) node->EndEdit(true);
}

void TTreeView::EditCommitted(TTreeNode* node, const std::string& text) {
    std::string s = text;
    Raise(this, [&] {
        if (OnEdited) OnEdited(this, node, s);
    });
    node->SetText(s);
}

TRect TTreeNode::DisplayRect(bool) const {
    if (view_->resetOpen_) return {};
    const QRect r =
        view_->impl_->tree->visualRect(view_->impl_->model->IndexOf(const_cast<TTreeNode*>(this)));
    return detail::FromQRect(r);
}

void TTreeNode::Delete() {
    view_->DeleteNode(this);
}

void TTreeNode::DeleteChildren() {
    while (!children_.empty())
        view_->DeleteNode(children_.back().get());
}

bool TTreeNode::AlphaSort(bool recurse) {
    view_->SortChildren(
        this, [this](TTreeNode* a, TTreeNode* b) { return view_->DefaultCompare(a, b, 0); },
        recurse);
    return true;
}

bool TTreeNode::CustomSort(const TTVCompare& compare, intptr_t data, bool recurse) {
    if (!compare) {
        view_->SortChildren(
            this,
            [&](TTreeNode* a, TTreeNode* b) {
                return view_->DefaultCompare(a, b, static_cast<int>(data));
            },
            recurse);
        return true;
    }
    view_->SortChildren(
        this,
        [&](TTreeNode* a, TTreeNode* b) {
            int result = 0;
            Guarded(view_, [&] { result = compare(a, b, data); });
            return result;
        },
        recurse);
    return true;
}

TTreeNodes* TTreeNode::Owner() const {
    return view_->Items();
}

// ---- TTreeNodes

std::vector<std::unique_ptr<TTreeNode>>& TTreeNodes::Siblings(TTreeNode* parent) {
    return parent ? parent->children_ : roots_;
}

TTreeNode* TTreeNodes::GetFirstNode() const {
    return roots_.empty() ? nullptr : roots_.front().get();
}

TTreeNode* TTreeNodes::TopItem(int index) const {
    if (index < 0 || index >= TopCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return roots_[static_cast<size_t>(index)].get();
}

TTreeNode* TTreeNodes::InsertAt(TTreeNode* parent, int index, const std::string& text) {
    view_->CheckStructure();
    if (parent && parent->view_ != view_)
        throw EInvalidOperation("The node belongs to another tree");
    auto& siblings = Siblings(parent);
    index = std::clamp(index, 0, static_cast<int>(siblings.size()));
    std::unique_ptr<TTreeNode> node(new TTreeNode(view_, parent));
    node->text_ = text;
    TTreeNode* raw = node.get();
    view_->NodeInserting(parent, index);
    siblings.insert(siblings.begin() + index, std::move(node));
    for (size_t i = static_cast<size_t>(index); i < siblings.size(); ++i)
        siblings[i]->index_ = static_cast<int>(i);
    ++count_;
    view_->NodeInserted();
    return raw;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const std::string& text) {
    TTreeNode* parent = sibling ? sibling->parent_ : nullptr;
    return InsertAt(parent, static_cast<int>(Siblings(parent).size()), text);
}

TTreeNode* TTreeNodes::AddFirst(TTreeNode* sibling, const std::string& text) {
    return InsertAt(sibling ? sibling->parent_ : nullptr, 0, text);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::string& text) {
    return InsertAt(parent, static_cast<int>(Siblings(parent).size()), text);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* parent, const std::string& text) {
    return InsertAt(parent, 0, text);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const std::string& text) {
    if (!sibling) return Add(nullptr, text);
    return InsertAt(sibling->parent_, sibling->index_, text);
}

void TTreeNodes::Delete(TTreeNode* node) {
    if (node) view_->DeleteNode(node);
}

void TTreeNodes::Clear() {
    view_->ClearNodes();
}

void TTreeNodes::BeginUpdate() {
    if (updateCount_++ == 0) view_->UpdateStarted();
}

void TTreeNodes::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) view_->UpdateEnded();
}

// ---- TTreeView

TTreeView::TTreeView(TComponent* owner)
    : TWinControl(owner, new detail::HookedView<QTreeView>()), items_(this),
      impl_(std::make_unique<Impl>()) {
    auto* tree = static_cast<detail::HookedView<QTreeView>*>(Widget());
    impl_->tree = tree;
    impl_->model = new TreeModel(this);
    impl_->model->setParent(tree);
    tree->setHeaderHidden(true);
    tree->setUniformRowHeights(true);
    tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    tree->editStarted = [this](const QModelIndex& index) { EditOpened(TreeModel::NodeOf(index)); };
    tree->editEnded = [this] { editing_ = nullptr; };
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    // OnMouseMove is raised with no button down too (hover tool-tips of the nodes).
    tree->setMouseTracking(true);
    tree->viewport()->setMouseTracking(true);
    tree->setModel(impl_->model);
    QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, tree,
                     [this](const QModelIndex& current) {
                         if (syncing_ || resetOpen_) return;
                         NativeSelectionRequested(TreeModel::NodeOf(current));
                     });
    QObject::connect(tree, &QTreeView::expanded, tree, [this](const QModelIndex& index) {
        if (syncing_ || resetOpen_) return;
        if (TTreeNode* node = TreeModel::NodeOf(index); node && !node->expanded_)
            if (!ExpandNode(node, true)) RestoreNativeState(node);
    });
    QObject::connect(tree, &QTreeView::collapsed, tree, [this](const QModelIndex& index) {
        if (syncing_ || resetOpen_) return;
        if (TTreeNode* node = TreeModel::NodeOf(index); node && node->expanded_)
            if (!ExpandNode(node, false)) RestoreNativeState(node);
    });
    SetBounds(0, 0, 121, 97);
}

TTreeView::~TTreeView() {
    StopEvents();
    SetImages(nullptr);
    impl_->tree->control = nullptr;
    impl_->tree->editStarted = nullptr;
    impl_->tree->editEnded = nullptr;
    QObject::disconnect(impl_->tree->selectionModel(), nullptr, impl_->tree, nullptr);
    QObject::disconnect(impl_->tree, &QTreeView::expanded, impl_->tree, nullptr);
    QObject::disconnect(impl_->tree, &QTreeView::collapsed, impl_->tree, nullptr);
    impl_->tree->setModel(nullptr);
}

void TTreeView::CheckStructure() const {
    if (sorting_ || deleting_)
        throw EInvalidOperation("The tree cannot change while it sorts or deletes");
}

void TTreeView::SetImages(TImageList* images) {
    if (images_) RemoveFreeNotification(images_);
    images_ = images;
    if (images) {
        FreeNotification(images);
        impl_->tree->setIconSize(QSize(images->GetWidth(), images->GetHeight()));
    }
    impl_->tree->viewport()->update();
}

void TTreeView::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == images_) images_ = nullptr;
}

void TTreeView::SetHideSelection(bool hide) {
    hideSelection_ = hide;
    QPalette p = impl_->tree->palette();
    const QPalette base = impl_->tree->style()->standardPalette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               hide ? p.color(QPalette::Inactive, QPalette::Base)
                    : base.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               hide ? p.color(QPalette::Inactive, QPalette::Text)
                    : base.color(QPalette::Active, QPalette::HighlightedText));
    impl_->tree->setPalette(p);
}

bool TTreeView::WantsKey(TKey) const {
    return false;
}

void TTreeView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbRight && !rightClickSelect_) impl_->tree->setFocus(Qt::MouseFocusReason);
    TWinControl::MouseDown(button, shift, x, y);
}

TTreeNode* TTreeView::GetNodeAt(int x, int y) const {
    if (resetOpen_) return nullptr;
    return TreeModel::NodeOf(impl_->tree->indexAt(QPoint(x, y)));
}

void TTreeView::SetDropTarget(TTreeNode* node) {
    TTreeNode* old = dropTarget_;
    dropTarget_ = node;
    if (old) NodeChanged(old);
    if (node) NodeChanged(node);
}

void TTreeView::FullExpand() {
    for (TTreeNode* n = items_.GetFirstNode(); n; n = n->GetNext())
        ExpandNode(n, true);
}

void TTreeView::FullCollapse() {
    for (TTreeNode* n = items_.GetFirstNode(); n; n = n->GetNext())
        ExpandNode(n, false);
}

// ---- the model

void TTreeView::OpenReset() {
    if (resetOpen_) return;
    resetOpen_ = true;
    impl_->model->beginResetModel();
}

void TTreeView::Flush() {
    if (items_.Updating() || !resetOpen_) return;
    syncing_ = true;
    impl_->model->endResetModel();
    resetOpen_ = false;
    syncing_ = false;
    RestoreNativeState(nullptr);
    SyncNativeSelection();
}

void TTreeView::RestoreNativeState(TTreeNode* parent) {
    // The toolkit forgets expansion on a reset: give it back from the nodes.
    syncing_ = true;
    std::function<void(TTreeNode*)> apply = [&](TTreeNode* node) {
        impl_->tree->setExpanded(impl_->model->IndexOf(node), node->expanded_);
        for (int i = 0; i < node->Count(); ++i)
            apply(node->Item(i));
    };
    if (parent)
        impl_->tree->setExpanded(impl_->model->IndexOf(parent), parent->expanded_);
    else
        for (int i = 0; i < items_.TopCount(); ++i)
            apply(items_.TopItem(i));
    syncing_ = false;
}

// While nodes come and go, the toolkit's own current-node updates are not the user's.
void TTreeView::NodeInserting(TTreeNode* parent, int index) {
    if (items_.Updating()) {
        OpenReset();
        return;
    }
    if (resetOpen_) return;
    syncing_ = true;
    impl_->model->beginInsertRows(impl_->model->IndexOf(parent), index, index);
}

void TTreeView::NodeInserted() {
    if (resetOpen_) return;
    impl_->model->endInsertRows();
    syncing_ = false;
}

void TTreeView::NodeRemoving(TTreeNode* node) {
    if (items_.Updating()) {
        OpenReset();
        return;
    }
    if (resetOpen_) return;
    syncing_ = true;
    impl_->model->beginRemoveRows(impl_->model->IndexOf(node->parent_), node->index_, node->index_);
}

void TTreeView::NodeRemoved() {
    if (resetOpen_) return;
    impl_->model->endRemoveRows();
    syncing_ = false;
}

void TTreeView::NodeChanged(TTreeNode* node) {
    if (resetOpen_) return;
    const QModelIndex index = impl_->model->IndexOf(node);
    emit impl_->model->dataChanged(index, index);
}

void TTreeView::UpdateStarted() {
    impl_->tree->setUpdatesEnabled(false);
}

void TTreeView::UpdateEnded() {
    Flush();
    impl_->tree->setUpdatesEnabled(true);
}

// ---- deleting

void TTreeView::RaiseDeletion(TTreeNode* node) {
    for (int i = 0; i < node->Count(); ++i)
        RaiseDeletion(node->Item(i));
    Raise(this, [&] {
        if (OnDeletion) OnDeletion(this, node);
    });
}

void TTreeView::DeleteNode(TTreeNode* node) {
    CheckStructure();
    if (!node || node->view_ != this) return;
    deleting_ = true;
    try {
        RaiseDeletion(node);
    } catch (...) {
        deleting_ = false;
        throw;
    }
    deleting_ = false;
    // Where the selection goes when it is inside what goes.
    const bool selectionGoes = selected_ && (selected_ == node || selected_->HasAsParent(node));
    TTreeNode* next = nullptr;
    if (selectionGoes) {
        next = node->GetNextSibling();
        if (!next) next = node->GetPrevSibling();
        if (!next) next = node->parent_;
    }
    if (dropTarget_ && (dropTarget_ == node || dropTarget_->HasAsParent(node)))
        dropTarget_ = nullptr;
    if (editing_ && (editing_ == node || editing_->HasAsParent(node))) editing_ = nullptr;
    const int size = SubtreeSize(node);
    TTreeNode* parent = node->parent_;
    const int index = node->index_;
    if (selectionGoes) selected_ = nullptr;
    NodeRemoving(node);
    auto& siblings = items_.Siblings(parent);
    siblings.erase(siblings.begin() + index);
    for (size_t i = static_cast<size_t>(index); i < siblings.size(); ++i)
        siblings[i]->index_ = static_cast<int>(i);
    items_.count_ -= size;
    NodeRemoved();
    if (selectionGoes) {
        selected_ = next;
        SyncNativeSelection();
        Raise(this, [&] {
            if (OnChange) OnChange(this, next);
        });
    }
}

void TTreeView::ClearNodes() {
    CheckStructure();
    if (items_.roots_.empty()) return;
    deleting_ = true;
    try {
        for (int i = 0; i < items_.TopCount(); ++i)
            RaiseDeletion(items_.TopItem(i));
    } catch (...) {
        deleting_ = false;
        throw;
    }
    deleting_ = false;
    const bool hadSelection = selected_ != nullptr;
    selected_ = nullptr;
    dropTarget_ = nullptr;
    editing_ = nullptr;
    const bool own = !resetOpen_;
    OpenReset();
    items_.roots_.clear();
    items_.count_ = 0;
    if (own && !items_.Updating()) Flush();
    if (hadSelection)
        Raise(this, [this] {
            if (OnChange) OnChange(this, nullptr);
        });
}

// ---- sorting

int TTreeView::DefaultCompare(TTreeNode* a, TTreeNode* b, int data) {
    if (OnCompare) {
        int result = 0;
        Raise(this, [&] { OnCompare(this, a, b, data, result); });
        return result;
    }
    return CompareText(a->text_, b->text_);
}

bool TTreeView::AlphaSort(bool recurse) {
    SortChildren(
        nullptr, [this](TTreeNode* a, TTreeNode* b) { return DefaultCompare(a, b, 0); }, recurse);
    return true;
}

bool TTreeView::CustomSort(const TTVCompare& compare, intptr_t data, bool recurse) {
    if (!compare) {
        SortChildren(
            nullptr,
            [&](TTreeNode* a, TTreeNode* b) {
                return DefaultCompare(a, b, static_cast<int>(data));
            },
            recurse);
        return true;
    }
    SortChildren(
        nullptr,
        [&](TTreeNode* a, TTreeNode* b) {
            int result = 0;
            Guarded(this, [&] { result = compare(a, b, data); });
            return result;
        },
        recurse);
    return true;
}

void TTreeView::NodesReordering(TTreeNode*) {
    if (!resetOpen_) emit impl_->model->layoutAboutToBeChanged();
}

void TTreeView::NodesReordered(TTreeNode*) {
    if (resetOpen_) return;
    // Persistent indexes carry their node: each moves to where its node is now.
    const QModelIndexList before = impl_->model->persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.push_back(impl_->model->IndexOf(TreeModel::NodeOf(index)));
    impl_->model->changePersistentIndexList(before, after);
    emit impl_->model->layoutChanged();
}

void TTreeView::SortChildren(TTreeNode* parent,
                             const std::function<int(TTreeNode*, TTreeNode*)>& compare,
                             bool recurse) {
    if (sorting_) return;
    // Sort every level first, then publish the new order at once.
    std::vector<TTreeNode*> parents{parent};
    if (recurse) {
        for (size_t i = 0; i < parents.size(); ++i) {
            const auto& children = items_.Siblings(parents[i]);
            for (const auto& child : children)
                if (!child->children_.empty()) parents.push_back(child.get());
        }
    }
    std::vector<std::vector<TTreeNode*>> orders;
    sorting_ = true;
    try {
        for (TTreeNode* p : parents) {
            std::vector<TTreeNode*> order;
            for (const auto& child : items_.Siblings(p))
                order.push_back(child.get());
            detail::MergeSort(order, compare);
            orders.push_back(std::move(order));
        }
    } catch (...) {
        sorting_ = false;
        throw;
    }
    sorting_ = false;
    NodesReordering(parent);
    for (size_t k = 0; k < parents.size(); ++k) {
        auto& siblings = items_.Siblings(parents[k]);
        for (auto& child : siblings)
            (void)child.release(); // owned again just below, in the new order
        for (size_t i = 0; i < orders[k].size(); ++i) {
            siblings[i].reset(orders[k][i]);
            siblings[i]->index_ = static_cast<int>(i);
        }
    }
    NodesReordered(parent);
}

// ---- selection and expansion

void TTreeView::SetSelected(TTreeNode* node) {
    if (node && node->view_ != this) return;
    Select(node);
}

bool TTreeView::Select(TTreeNode* node) {
    if (node == selected_) {
        SyncNativeSelection();
        return true;
    }
    bool allow = true;
    Raise(this, [&] {
        if (OnChanging) OnChanging(this, node, allow);
    });
    if (!allow) {
        SyncNativeSelection();
        return false;
    }
    TTreeNode* old = selected_;
    selected_ = node;
    if (old) NodeChanged(old); // the selected image goes back to the normal one
    if (node) NodeChanged(node);
    SyncNativeSelection();
    Raise(this, [&] {
        if (OnChange) OnChange(this, node);
    });
    return true;
}

void TTreeView::NativeSelectionRequested(TTreeNode* node) {
    if (node == selected_) return;
    Select(node);
}

void TTreeView::SyncNativeSelection() {
    if (resetOpen_) return;
    syncing_ = true;
    QItemSelectionModel* s = impl_->tree->selectionModel();
    if (selected_)
        s->setCurrentIndex(impl_->model->IndexOf(selected_), QItemSelectionModel::ClearAndSelect);
    else
        s->clear();
    syncing_ = false;
}

bool TTreeView::ExpandNode(TTreeNode* node, bool expand) {
    if (!node || node->expanded_ == expand) return true;
    bool allow = true;
    Raise(this, [&] {
        if (expand && OnExpanding) OnExpanding(this, node, allow);
        if (!expand && OnCollapsing) OnCollapsing(this, node, allow);
    });
    if (!allow) return false;
    node->expanded_ = expand;
    if (!resetOpen_) {
        syncing_ = true;
        impl_->tree->setExpanded(impl_->model->IndexOf(node), expand);
        syncing_ = false;
    }
    Raise(this, [&] {
        if (expand && OnExpanded) OnExpanded(this, node);
        if (!expand && OnCollapsed) OnCollapsed(this, node);
    });
    return true;
}

} // namespace vcl
