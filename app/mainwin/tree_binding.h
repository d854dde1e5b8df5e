// The container's view of the main window's tree: container folders become nodes of kind 5
// (selected image 6) with their record as data.
#pragma once

#include "container_binding.h"

namespace vcl {
class TTreeView;
}

class TreeViewBinding : public ContainerTreeBinding {
public:
    explicit TreeViewBinding(vcl::TTreeView* tree) : tree_(tree) {}
    void BeginUpdate() override;
    void EndUpdate() override;
    void Hide() override;
    vcl::TTreeNode* AddNode(vcl::TTreeNode* parent, std::string_view caption,
                            _CDH_CIS_RECORD_* data) override;
    void DeleteNode(vcl::TTreeNode* node) override;
    // Does nothing: pending events run only where the window lets them.
    void ProcessMessages() override {}

private:
    vcl::TTreeView* tree_;
};
