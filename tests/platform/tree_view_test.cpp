// The tree view: the selection pipeline with its veto, deletion of the selected node, sorting
// with any comparison, update brackets that keep events and expansion, the mouse rules.
#include "ui_fixture.h"

#include "vcl/exception.h"
#include "vcl/form.h"
#include "vcl/tree_view.h"

#include <QTest>
#include <QTreeView>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

class TreeViewTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = new vcl::TForm(nullptr);
        form->SetBounds(0, 0, 300, 400);
        tree = vcl::Make<vcl::TTreeView>(form, form, "Tree");
        tree->SetAlign(vcl::alClient);
        tree->OnChanging = [this](vcl::TObject*, vcl::TTreeNode* node, bool& allow) {
            events.push_back("changing " + Name(node));
            allow = Name(node) != refuse;
        };
        tree->OnChange = [this](vcl::TObject*, vcl::TTreeNode* node) {
            events.push_back("change " + Name(node));
        };
        tree->OnDeletion = [this](vcl::TObject*, vcl::TTreeNode* node) {
            events.push_back("delete " + Name(node));
        };
        vcl::TTreeNodes* nodes = tree->Items();
        root = nodes->Add(nullptr, "root");
        a = nodes->AddChild(root, "a");
        b = nodes->AddChild(root, "b");
        c = nodes->AddChild(root, "c");
        b1 = nodes->AddChild(b, "b1");
    }
    void TearDown() override {
        delete form;
        UiTest::TearDown();
    }
    static std::string Name(vcl::TTreeNode* node) { return node ? node->GetText() : "null"; }

    vcl::TForm* form = nullptr;
    vcl::TTreeView* tree = nullptr;
    vcl::TTreeNode *root, *a, *b, *c, *b1;
    std::vector<std::string> events;
    std::string refuse;
};

TEST_F(TreeViewTest, SelectionByCodeAndClickPassOnChangingWhichMayRefuse) {
    form->Show();
    tree->FullExpand();
    tree->SetSelected(a);
    refuse = "c";
    c->SetSelected(true);
    EXPECT_EQ(tree->GetSelected(), a);
    // The click on a refused node leaves the selection, natively too.
    auto* view = static_cast<QTreeView*>(W(tree));
    const QModelIndex cIndex = view->model()->index(2, 0, view->model()->index(0, 0));
    QTest::mouseClick(Viewport(tree), Qt::LeftButton, {}, view->visualRect(cIndex).center());
    EXPECT_EQ(tree->GetSelected(), a);
    EXPECT_EQ(view->currentIndex().data().toString(), QStringLiteral("a"));
    refuse.clear();
    QTest::mouseClick(Viewport(tree), Qt::LeftButton, {}, view->visualRect(cIndex).center());
    EXPECT_EQ(tree->GetSelected(), c);
    EXPECT_EQ(events, (std::vector<std::string>{"changing a", "change a", "changing c",
                                                "changing c", "changing c", "change c"}));
}

TEST_F(TreeViewTest, RightPressDoesNotSelectAndLeftPressSelectsBeforeMouseDown) {
    form->Show();
    tree->FullExpand();
    tree->SetSelected(a);
    std::vector<std::string> atDown;
    tree->OnMouseDown = [&](vcl::TObject*, vcl::TMouseButton button, vcl::TShiftState, int x,
                            int y) {
        atDown.push_back(std::to_string(button) + " " + Name(tree->GetNodeAt(x, y)) + " " +
                         Name(tree->GetSelected()));
    };
    auto* view = static_cast<QTreeView*>(W(tree));
    const QPoint bPoint =
        view->visualRect(view->model()->index(1, 0, view->model()->index(0, 0))).center();
    QTest::mouseClick(Viewport(tree), Qt::RightButton, {}, bPoint);
    QTest::mouseClick(Viewport(tree), Qt::LeftButton, {}, bPoint);
    EXPECT_EQ(atDown, (std::vector<std::string>{"1 b a", "0 b b"}));
}

TEST_F(TreeViewTest, DeletingTheSelectedNodeMovesTheSelectionAndTellsSo) {
    tree->SetSelected(b1);
    events.clear();
    b->Delete(); // children first, then the node; the selection goes to the next sibling
    EXPECT_EQ(events, (std::vector<std::string>{"delete b1", "delete b", "change c"}));
    EXPECT_EQ(tree->GetSelected(), c);
    EXPECT_EQ(c->Index(), 1);
    EXPECT_EQ(tree->Items()->Count(), 3);
    events.clear();
    c->Delete(); // no next sibling: the previous one
    EXPECT_EQ(tree->GetSelected(), a);
    // Nodes cannot be added while OnDeletion runs.
    tree->OnDeletion = [&](vcl::TObject*, vcl::TTreeNode*) { tree->Items()->AddChild(root, "x"); };
    int reported = 0;
    vcl::Application->OnException = [&](vcl::TObject*, const std::exception&) { ++reported; };
    events.clear();
    tree->Items()->Clear();
    EXPECT_EQ(reported, 2);
    EXPECT_EQ(events, (std::vector<std::string>{"change null"}));
    EXPECT_EQ(tree->Items()->Count(), 0);
    EXPECT_EQ(tree->GetSelected(), nullptr);
}

TEST_F(TreeViewTest, SortingWithInconsistentComparisonsKeepsEveryNode) {
    std::set<vcl::TTreeNode*> all{root, a, b, c, b1};
    for (int i = 0; i < 50; ++i) {
        all.insert(tree->Items()->AddChild(b, "n" + std::to_string(i)));
        all.insert(tree->Items()->AddChild(root, "m" + std::to_string(i)));
    }
    std::mt19937 random(3);
    tree->OnCompare = [&](vcl::TObject*, vcl::TTreeNode*, vcl::TTreeNode*, int, int& compare) {
        compare = static_cast<int>(random() % 3) - 1;
    };
    tree->AlphaSort(true);
    std::set<vcl::TTreeNode*> seen;
    for (vcl::TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
        seen.insert(n);
        if (n->Parent()) {
            EXPECT_EQ(n->Parent()->Item(n->Index()), n);
        }
    }
    EXPECT_EQ(seen, all);
    EXPECT_EQ(b1->Parent(), b);
    // By text, case-insensitive, without a handler.
    tree->OnCompare = nullptr;
    root->AlphaSort();
    EXPECT_EQ(root->Item(0)->GetText(), "a");
    EXPECT_EQ(root->Item(1)->GetText(), "b");
}

TEST_F(TreeViewTest, UpdateBracketsKeepEventsAndExpansion) {
    form->Show();
    b->Expand(false);
    auto* view = static_cast<QTreeView*>(W(tree));
    tree->Items()->BeginUpdate();
    vcl::TTreeNode* d = tree->Items()->AddChild(root, "d");
    d->SetSelected(true);
    EXPECT_EQ(events, (std::vector<std::string>{"changing d", "change d"}));
    EXPECT_FALSE(view->updatesEnabled());
    tree->Items()->EndUpdate();
    EXPECT_TRUE(view->updatesEnabled());
    const QModelIndex rootIndex = view->model()->index(0, 0);
    EXPECT_EQ(view->model()->rowCount(rootIndex), 4);
    EXPECT_TRUE(view->isExpanded(view->model()->index(1, 0, rootIndex))); // b stays expanded
    EXPECT_EQ(view->currentIndex().data().toString(), QStringLiteral("d"));
    // Refused expansion stays collapsed.
    tree->OnExpanding = [](vcl::TObject*, vcl::TTreeNode*, bool& allow) { allow = false; };
    view->expand(view->model()->index(0, 0, view->model()->index(1, 0, rootIndex)));
    root->Collapse(false);
    root->Expand(false);
    EXPECT_FALSE(root->GetExpanded());
}

} // namespace
