// TTreeView: a tree of nodes with a text, an image, a selected-state image and a data pointer.
//
// Nodes live in plain C++: a node keeps its address from Add until it is deleted, whatever the
// sorting, moving or repainting does. One toolkit model shows them. BeginUpdate/EndUpdate
// brackets stop painting, never events. Selecting a node by code raises OnChanging (which may
// refuse) and OnChange as a click does. Sorting is a stable merge sort that only ever reorders
// siblings, so a comparison handler that answers inconsistently gives some order but never
// breaks the tree.
#pragma once

#include "vcl/control.h"
#include "vcl/image_list.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vcl {

class TTreeView;
class TTreeNodes;
class TreeModel;

using TTVCompare =
    std::function<int(class TTreeNode* Node1, class TTreeNode* Node2, intptr_t Data)>;

class TTreeNode {
public:
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    std::string GetText() const { return text_; }
    void SetText(const std::string& text);
    int GetImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    // The image shown while the node is selected.
    int GetSelectedIndex() const { return selectedIndex_; }
    void SetSelectedIndex(int index);
    void* GetData() const { return data_; }
    void SetData(void* data) { data_ = data; }

    TTreeNode* Parent() const { return parent_; }
    int Count() const { return static_cast<int>(children_.size()); }
    // The child at index; EListError out of range.
    TTreeNode* Item(int index) const;
    TTreeNode* GetFirstChild() const;
    TTreeNode* GetLastChild() const;
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    // The next node in depth-first order, or null.
    TTreeNode* GetNext() const;
    bool HasChildren() const { return !children_.empty(); }
    // The position among the siblings.
    int Index() const { return index_; }
    // 0 for a top-level node.
    int Level() const;
    bool HasAsParent(const TTreeNode* node) const;

    bool GetExpanded() const { return expanded_; }
    void SetExpanded(bool expanded);
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool GetSelected() const;
    void SetSelected(bool selected);
    void MakeVisible();
    TRect DisplayRect(bool textOnly) const;
    // Opens the in-place editor of the text (OnEditing may refuse); true when it is open, also
    // when it was open already.
    bool EditText();
    // Closes the node's editor: with cancel its text stays as it was, else what was typed is
    // taken (OnEdited first).
    void EndEdit(bool cancel);

    // Deletes the node and its children (OnDeletion for each, children first). When the selected
    // node goes, the selection moves to the next sibling, else the previous one, else the parent,
    // and OnChange tells so. Adding or deleting nodes from OnDeletion or OnCompare is refused
    // (EInvalidOperation).
    void Delete();
    void DeleteChildren();
    // Sorts the children by the tree's OnCompare (by text without it), or by compare.
    bool AlphaSort(bool recurse = false);
    bool CustomSort(const TTVCompare& compare, intptr_t data, bool recurse = false);

    TTreeNodes* Owner() const;
    TTreeView* TreeView() const { return view_; }

private:
    friend class TTreeNodes;
    friend class TTreeView;
    friend struct detail::ControlAccess;
    TTreeNode(TTreeView* view, TTreeNode* parent) : view_(view), parent_(parent) {}

    TTreeView* view_;
    TTreeNode* parent_;
    std::vector<std::unique_ptr<TTreeNode>> children_;
    std::string text_;
    int imageIndex_ = -1;
    int selectedIndex_ = -1;
    void* data_ = nullptr;
    bool expanded_ = false;
    int index_ = 0;
};

class TTreeNodes {
public:
    // Every node of the tree.
    int Count() const { return count_; }
    TTreeNode* GetFirstNode() const;
    // Top-level nodes.
    int TopCount() const { return static_cast<int>(roots_.size()); }
    TTreeNode* TopItem(int index) const;

    // A new last sibling of sibling (a top-level node for null).
    TTreeNode* Add(TTreeNode* sibling, const std::string& text);
    TTreeNode* AddFirst(TTreeNode* sibling, const std::string& text);
    // A new last / first child of parent (a top-level node for null).
    TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
    TTreeNode* AddChildFirst(TTreeNode* parent, const std::string& text);
    // A new node just before sibling (at the end of the top level for null).
    TTreeNode* Insert(TTreeNode* sibling, const std::string& text);
    void Delete(TTreeNode* node);
    // Deletes every node (OnDeletion for each); a selection ends with OnChange(null).
    void Clear();

    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return updateCount_ > 0; }

private:
    friend class TTreeNode;
    friend class TTreeView;
    friend class TreeModel;
    friend struct detail::ControlAccess;
    explicit TTreeNodes(TTreeView* view) : view_(view) {}

    std::vector<std::unique_ptr<TTreeNode>>& Siblings(TTreeNode* parent);
    TTreeNode* InsertAt(TTreeNode* parent, int index, const std::string& text);

    TTreeView* view_;
    std::vector<std::unique_ptr<TTreeNode>> roots_;
    int count_ = 0;
    int updateCount_ = 0;
};

using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVExpandingEvent =
    std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent =
    std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVEditingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, std::string& S)>;
using TTVCompareEvent = std::function<void(TObject* Sender, TTreeNode* Node1, TTreeNode* Node2,
                                           int Data, int& Compare)>;

enum TSortTypeTree { tstNone, tstData, tstText, tstBoth };

class TTreeView : public TWinControl {
public:
    explicit TTreeView(TComponent* owner);
    ~TTreeView() override;

    TTreeNodes* Items() { return &items_; }

    // The selected node, or null. Setting it raises OnChanging and, when allowed, OnChange.
    TTreeNode* GetSelected() const { return selected_; }
    void SetSelected(TTreeNode* node);
    TImageList* GetImages() const { return images_; }
    void SetImages(TImageList* images);
    bool GetReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool GetHideSelection() const { return hideSelection_; }
    void SetHideSelection(bool hide);
    // Whether a right press selects the node under it natively (off: only the events see it).
    bool GetRightClickSelect() const { return rightClickSelect_; }
    void SetRightClickSelect(bool select) { rightClickSelect_ = select; }
    // The node under a point of the client area, or null.
    TTreeNode* GetNodeAt(int x, int y) const;
    // The node highlighted as a drop target, or null.
    TTreeNode* GetDropTarget() const { return dropTarget_; }
    void SetDropTarget(TTreeNode* node);
    void FullExpand();
    void FullCollapse();
    // Sorts the top-level nodes (and with recurse every level) by OnCompare or by text.
    bool AlphaSort(bool recurse = false);
    bool CustomSort(const TTVCompare& compare, intptr_t data, bool recurse = false);

    TTVChangingEvent OnChanging;
    TTVChangedEvent OnChange;
    TTVExpandingEvent OnExpanding;
    TTVChangedEvent OnExpanded;
    TTVCollapsingEvent OnCollapsing;
    TTVChangedEvent OnCollapsed;
    TTVCompareEvent OnCompare;
    TTVChangedEvent OnDeletion;
    // In-place editing of a node's text: OnEditing once the editor is open (a refusal closes it
    // unchanged), OnEdited with the typed text before the node takes it. A view that is
    // ReadOnly, or has neither handler, opens no editor on a click or F2.
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    // The node whose editor is open, or null.
    TTreeNode* EditingNode() const { return editing_; }
    bool IsEditing() const { return editing_ != nullptr; }

protected:
    void Notification(TComponent* component, TOperation operation) override;
    bool WantsKey(TKey key) const override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    bool NativeRightPress() const override { return rightClickSelect_; }

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    friend class TreeModel;
    friend struct detail::ControlAccess;

    // Changes of the nodes, told to the toolkit model (or collected while updating).
    void NodeInserting(TTreeNode* parent, int index);
    void NodeInserted();
    void NodeRemoving(TTreeNode* node);
    void NodeRemoved();
    void NodeChanged(TTreeNode* node);
    void NodesReordering(TTreeNode* parent);
    void NodesReordered(TTreeNode* parent);
    void UpdateStarted();
    void UpdateEnded();
    void SortChildren(TTreeNode* parent, const std::function<int(TTreeNode*, TTreeNode*)>& compare,
                      bool recurse);
    int DefaultCompare(TTreeNode* a, TTreeNode* b, int data);
    // The selection pipeline shared by code and the toolkit: OnChanging, then OnChange.
    bool Select(TTreeNode* node);
    void NativeSelectionRequested(TTreeNode* node);
    void SyncNativeSelection();
    bool ExpandNode(TTreeNode* node, bool expand);
    void DeleteNode(TTreeNode* node);
    void ClearNodes();
    void CheckStructure() const;
    void RaiseDeletion(TTreeNode* node);
    void OpenReset();
    void Flush();
    void RestoreNativeState(TTreeNode* parent);

    TTreeNodes items_;
    TTreeNode* selected_ = nullptr;
    TTreeNode* dropTarget_ = nullptr;
    TTreeNode* editing_ = nullptr;
    // Called by the model when an editor hands back its text.
    void EditCommitted(TTreeNode* node, const std::string& text);
    void EditOpened(TTreeNode* node);
    TImageList* images_ = nullptr;
    bool readOnly_ = false;
    bool hideSelection_ = true;
    bool rightClickSelect_ = false;
    bool resetOpen_ = false;
    bool syncing_ = false;
    bool sorting_ = false;  // nodes may not be added or deleted while siblings sort
    bool deleting_ = false; // nor while OnDeletion runs
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vcl
