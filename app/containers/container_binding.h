// The tree view that shows a container, as the container sees it. The windows implement it over
// their tree view; the container only adds and deletes nodes through it and stores the nodes it
// hands out.
#pragma once

#include <string_view>

namespace vcl {
class TTreeNode;
}
struct _CDH_CIS_RECORD_;

class ContainerTreeBinding {
public:
    virtual ~ContainerTreeBinding() = default;
    // Brackets around node changes: painting stops, events do not.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual void Hide() = 0;
    // A new last child of parent (a top-level node when parent is null) with the caption and the
    // record as its data.
    virtual vcl::TTreeNode* AddNode(vcl::TTreeNode* parent, std::string_view caption,
                                    _CDH_CIS_RECORD_* data) = 0;
    // Deletes the node and its children.
    virtual void DeleteNode(vcl::TTreeNode* node) = 0;
    // Lets pending window messages run, so that a long import keeps the window alive.
    virtual void ProcessMessages() = 0;
};
