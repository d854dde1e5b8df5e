#include "tree_binding.h"

#include "central.h"
#include "display_text.h"

#include "vcl/tree_view.h"

void TreeViewBinding::BeginUpdate() {
    tree_->Items()->BeginUpdate();
}

void TreeViewBinding::EndUpdate() {
    tree_->Items()->EndUpdate();
}

void TreeViewBinding::Hide() {}

vcl::TTreeNode* TreeViewBinding::AddNode(vcl::TTreeNode* parent, std::string_view caption,
                                         _CDH_CIS_RECORD_* data) {
    vcl::TTreeNode* node = tree_->Items()->AddChild(parent, DisplayText(caption));
    node->SetImageIndex(nkContainerFolder);
    node->SetSelectedIndex(nkContainerFolderSelected);
    node->SetData(data);
    return node;
}

void TreeViewBinding::DeleteNode(vcl::TTreeNode* node) {
    if (node) node->Delete();
}
