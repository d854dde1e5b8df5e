// The list view: stable items, sorting with any comparison, update brackets that keep events,
// selection events from code and from the mouse, deletion, columns.
#include "ui_fixture.h"

#include "vcl/exception.h"
#include "vcl/form.h"
#include "vcl/list_view.h"

#include <QHeaderView>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

class ListViewTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = new vcl::TForm(nullptr);
        form->SetBounds(0, 0, 400, 300);
        list = vcl::Make<vcl::TListView>(form, form, "List");
        list->SetAlign(vcl::alClient);
        list->SetViewStyle(vcl::vsReport);
        list->SetRowSelect(true);
        for (const char* title : {"Name", "Size"}) {
            vcl::TListColumn* c = list->Columns()->Add();
            c->SetCaption(title);
            c->SetWidth(120);
        }
        list->OnChange = [this](vcl::TObject*, vcl::TListItem* item, vcl::TItemChange change) {
            events.push_back("change " + Name(item) + " " + std::to_string(change));
        };
        list->OnSelectItem = [this](vcl::TObject*, vcl::TListItem* item, bool selected) {
            events.push_back(std::string(selected ? "select " : "deselect ") + Name(item));
        };
        list->OnDeletion = [this](vcl::TObject*, vcl::TListItem* item) {
            events.push_back("delete " + Name(item));
        };
    }
    void TearDown() override {
        delete form;
        UiTest::TearDown();
    }
    static std::string Name(vcl::TListItem* item) { return item ? item->GetCaption() : "null"; }
    vcl::TListItem* AddRow(const std::string& caption, const std::string& size = "") {
        vcl::TListItem* item = list->Items()->Add();
        item->SetCaption(caption);
        item->SubItems()->Add(size);
        return item;
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (int i = 0; i < list->Items()->Count(); ++i)
            out.push_back(list->Items()->Item(i)->GetCaption());
        return out;
    }
    // The list is consistent: indexes match places and every item is there once.
    void ExpectSameItems(const std::set<vcl::TListItem*>& items) {
        std::set<vcl::TListItem*> seen;
        for (int i = 0; i < list->Items()->Count(); ++i) {
            vcl::TListItem* item = list->Items()->Item(i);
            EXPECT_EQ(item->Index(), i);
            seen.insert(item);
        }
        EXPECT_EQ(seen, items);
    }

    vcl::TForm* form = nullptr;
    vcl::TListView* list = nullptr;
    std::vector<std::string> events;
};

TEST_F(ListViewTest, SortingWithInconsistentComparisonsKeepsEveryItemInPlace) {
    std::set<vcl::TListItem*> items;
    for (int i = 0; i < 200; ++i)
        items.insert(AddRow("item" + std::to_string(i)));
    std::mt19937 random(7);
    list->OnCompare = [&](vcl::TObject*, vcl::TListItem*, vcl::TListItem*, int, int& compare) {
        compare = static_cast<int>(random() % 3) - 1; // answers at random
    };
    list->AlphaSort();
    ExpectSameItems(items);
    list->CustomSort([](vcl::TListItem*, vcl::TListItem*, intptr_t) { return 1; }, 0);
    ExpectSameItems(items);
    // A comparison that changes the list is refused and reported; the sort still ends.
    int reported = 0;
    vcl::Application->OnException = [&](vcl::TObject*, const std::exception&) { ++reported; };
    list->OnCompare = [&](vcl::TObject*, vcl::TListItem*, vcl::TListItem*, int, int&) {
        list->Items()->Delete(0);
    };
    list->AlphaSort();
    EXPECT_GT(reported, 0);
    ExpectSameItems(items);
    // The toolkit's rows follow the items.
    auto* view = static_cast<QTreeView*>(FocusTarget(list));
    EXPECT_EQ(view->model()->rowCount(), 200);
    EXPECT_EQ(view->model()->index(5, 0).data().toString().toStdString(),
              list->Items()->Item(5)->GetCaption());
}

TEST_F(ListViewTest, CustomSortByColumnInBothDirections) {
    AddRow("b", "30");
    AddRow("a", "100");
    AddRow("c", "9");
    auto bySize = [](vcl::TListItem* x, vcl::TListItem* y, intptr_t direction) {
        const long a = std::stol(x->SubItems()->Strings(0));
        const long b = std::stol(y->SubItems()->Strings(0));
        return static_cast<int>(direction) * (a < b ? -1 : a > b ? 1 : 0);
    };
    list->CustomSort(bySize, 1);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"c", "b", "a"}));
    list->CustomSort(bySize, -1);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));
    // Equal keys keep their order (the sort is stable).
    list->CustomSort([](vcl::TListItem*, vcl::TListItem*, intptr_t) { return 0; }, 0);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(ListViewTest, UpdateBracketsStopPaintingButNeverEvents) {
    list->SetSortType(vcl::stText);
    vcl::TListItem* first = AddRow("m");
    events.clear();
    list->Items()->BeginUpdate();
    EXPECT_FALSE(W(list)->updatesEnabled());
    vcl::TListItem* z = AddRow("z");
    vcl::TListItem* a = AddRow("a");
    a->SetSelected(true);
    first->SetImageIndex(3);
    // Inside the bracket the sort waits: items stay where they were added.
    EXPECT_EQ(Captions(), (std::vector<std::string>{"m", "z", "a"}));
    list->Items()->EndUpdate();
    EXPECT_TRUE(W(list)->updatesEnabled());
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "m", "z"}));
    EXPECT_EQ(events, (std::vector<std::string>{"change z 0", "change a 0", "change a 2",
                                                "select a", "change m 1"}));
    EXPECT_EQ(list->GetSelected(), a);
    EXPECT_EQ(z->Index(), 2);
    // The toolkit shows the selection the items hold.
    auto* view = static_cast<QTreeView*>(FocusTarget(list));
    EXPECT_TRUE(view->selectionModel()->isRowSelected(0, {}));
    EXPECT_EQ(view->selectionModel()->selectedRows().size(), 1);
}

TEST_F(ListViewTest, SelectionByCodeAndByMouseRaiseTheSameEvents) {
    vcl::TListItem* a = AddRow("a");
    vcl::TListItem* b = AddRow("b");
    AddRow("c");
    form->Show();
    events.clear();
    a->SetSelected(true);
    b->SetSelected(true); // single selection: a goes first
    EXPECT_EQ(events, (std::vector<std::string>{"change a 2", "select a", "change a 2",
                                                "deselect a", "change b 2", "select b"}));
    EXPECT_FALSE(a->GetSelected());

    // The mouse: a left press selects natively before OnMouseDown; a right press does not.
    std::vector<std::string> seenAtDown;
    list->OnMouseDown = [&](vcl::TObject*, vcl::TMouseButton button, vcl::TShiftState, int x,
                            int y) {
        seenAtDown.push_back(std::to_string(button) + " " + Name(list->GetItemAt(x, y)) + " " +
                             Name(list->GetSelected()));
    };
    events.clear();
    QWidget* viewport = Viewport(list);
    const QRect rowC =
        static_cast<QTreeView*>(FocusTarget(list))
            ->visualRect(static_cast<QTreeView*>(FocusTarget(list))->model()->index(2, 0));
    QTest::mouseClick(viewport, Qt::RightButton, {}, rowC.center());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowC.center());
    EXPECT_EQ(seenAtDown, (std::vector<std::string>{"1 c b", "0 c c"}));
    int doubleClicks = 0;
    list->OnDblClick = [&](vcl::TObject*) { ++doubleClicks; };
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowC.center());
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(events,
              (std::vector<std::string>{"change b 2", "deselect b", "change c 2", "select c"}));
}

TEST_F(ListViewTest, DeletingASelectedItemDeselectsItFirstAndItemsKeepTheirAddresses) {
    list->SetMultiSelect(true);
    vcl::TListItem* a = AddRow("a");
    vcl::TListItem* b = AddRow("b");
    vcl::TListItem* c = AddRow("c");
    b->SetSelected(true);
    c->SetSelected(true);
    EXPECT_EQ(list->SelCount(), 2);
    events.clear();
    b->Delete();
    EXPECT_EQ(events, (std::vector<std::string>{"change b 2", "deselect b", "delete b"}));
    EXPECT_EQ(a->Index(), 0);
    EXPECT_EQ(c->Index(), 1);
    EXPECT_EQ(list->GetSelected(), c);
    EXPECT_EQ(list->GetNextItem(nullptr, vcl::sdAll, {vcl::isSelected}), c);
    events.clear();
    list->Items()->Clear();
    EXPECT_EQ(events,
              (std::vector<std::string>{"change c 2", "deselect c", "delete c", "delete a"}));
    EXPECT_EQ(list->Items()->Count(), 0);
    EXPECT_THROW(list->Items()->Item(0), vcl::EListError);
}

TEST_F(ListViewTest, ColumnsKeepWidthsAcrossFillsAndReportClicks) {
    form->Show();
    auto* view = static_cast<QTreeView*>(FocusTarget(list));
    EXPECT_EQ(view->header()->count(), 2);
    EXPECT_EQ(list->Columns()->Items(1)->GetWidth(), 120);
    view->header()->resizeSection(1, 77); // the user drags the column
    list->Items()->BeginUpdate();
    for (int i = 0; i < 10; ++i)
        AddRow("row" + std::to_string(i), std::to_string(i));
    list->Items()->EndUpdate();
    EXPECT_EQ(list->Columns()->Items(1)->GetWidth(), 77);
    EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));

    std::vector<int> clicked;
    list->OnColumnClick = [&](vcl::TObject*, vcl::TListColumn* column) {
        clicked.push_back(column->Index());
    };
    QHeaderView* header = view->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    EXPECT_EQ(clicked, std::vector<int>{1});
    // A width of -1 sizes the column to its contents.
    AddRow("a much longer caption than the others", "1");
    list->Columns()->Items(0)->SetWidth(-1);
    EXPECT_GT(list->Columns()->Items(0)->GetWidth(), 120);
}

// Widths set inside a columns bracket apply when it closes, whether or not a column was added or
// removed in it, and inside an items bracket too.
TEST_F(ListViewTest, ColumnWidthsSetInsideAnUpdateBracketApplyWhenItCloses) {
    form->Show();
    AddRow("a caption much longer than one hundred and twenty pixels can show", "1");
    auto* view = static_cast<QTreeView*>(FocusTarget(list));
    QHeaderView* header = view->header();
    struct Bracket {
        const char* name;
        bool items;   // inside an items bracket as well
        bool addDrop; // a column added and removed in the bracket
    };
    int width = 90;
    for (const Bracket& b :
         {Bracket{"columns only", false, false}, Bracket{"in an items bracket", true, false},
          Bracket{"with a column added and removed", false, true}}) {
        SCOPED_TRACE(b.name);
        ++width;
        list->Columns()->Items(0)->SetWidth(120);
        ASSERT_EQ(header->sectionSize(0), 120);
        if (b.items) list->Items()->BeginUpdate();
        list->Columns()->BeginUpdate();
        list->Columns()->Items(1)->SetWidth(width);
        list->Columns()->Items(0)->SetWidth(-1); // fitted to its contents
        if (b.addDrop) list->Columns()->Delete(list->Columns()->Add()->Index());
        EXPECT_EQ(list->Columns()->Items(1)->GetWidth(), width); // the set value while it waits
        list->Columns()->EndUpdate();
        if (b.items) list->Items()->EndUpdate();
        EXPECT_EQ(header->count(), 2);
        EXPECT_EQ(header->sectionSize(1), width);
        EXPECT_EQ(list->Columns()->Items(1)->GetWidth(), width);
        EXPECT_GT(header->sectionSize(0), 120);
    }
}

} // namespace
