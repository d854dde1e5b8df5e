// Drop targets under synthesised drag events and the real clipboard (offscreen).
#include "../platform/app_fixture.h"

#include "droptarget_kinds.h"
#include "vcl/dragdrop.h"
#include "vcl/exception.h"
#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/list_view.h"
#include "vcl/tree_view.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QStackedWidget>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr Qt::DropActions kAll = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

// A form with a scrolling list view (200 rows) and a panel, shown offscreen.
class DropTargetTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        form_ = new vcl::TForm(nullptr);
        form_->SetBounds(0, 0, 400, 300);
        list_ = vcl::Make<vcl::TListView>(form_, form_, "ListView1");
        list_->SetBounds(0, 0, 200, 150);
        list_->SetViewStyle(vcl::vsReport);
        list_->Columns()->Add()->SetCaption("Name");
        for (int i = 0; i < 200; ++i)
            list_->Items()->Add()->SetCaption("row " + std::to_string(i));
        list_->Font()->SetHeight(-11);
        panel_ = vcl::Make<vcl::TPanel>(form_, form_, "Panel1");
        panel_->SetBounds(210, 0, 150, 150);
        form_->Show();
        app_->ProcessMessages();
    }
    void TearDown() override {
        delete form_;
        QGuiApplication::clipboard()->clear();
        AppTest::TearDown();
    }

    // The view a control shows now (a list view switches views by style), or null.
    static QAbstractScrollArea* View(vcl::TWinControl* c) {
        if (auto* s = qobject_cast<QAbstractScrollArea*>(c->Widget())) return s;
        if (auto* pages = qobject_cast<QStackedWidget*>(c->Widget()))
            return qobject_cast<QAbstractScrollArea*>(pages->currentWidget());
        return nullptr;
    }
    // The widget the drag events go to.
    static QWidget* Area(vcl::TWinControl* c) {
        QAbstractScrollArea* view = View(c);
        return view ? view->viewport() : c->Widget();
    }
    // Sends one drag event; the action answered, or IgnoreAction when refused.
    template <class E, class... A> static Qt::DropAction Send(vcl::TWinControl* c, A&&... args) {
        E e(std::forward<A>(args)...);
        QCoreApplication::sendEvent(Area(c), &e);
        return e.isAccepted() ? e.dropAction() : Qt::IgnoreAction;
    }
    static Qt::DropAction Enter(vcl::TWinControl* c, const QMimeData& m, QPoint p = {50, 70},
                                Qt::DropActions offered = kAll,
                                Qt::KeyboardModifiers keys = Qt::NoModifier) {
        return Send<QDragEnterEvent>(c, p, offered, &m, Qt::LeftButton, keys);
    }
    static Qt::DropAction Move(vcl::TWinControl* c, const QMimeData& m, QPoint p = {50, 70},
                               Qt::DropActions offered = kAll,
                               Qt::KeyboardModifiers keys = Qt::NoModifier) {
        return Send<QDragMoveEvent>(c, p, offered, &m, Qt::LeftButton, keys);
    }
    static Qt::DropAction Drop(vcl::TWinControl* c, const QMimeData& m, QPoint p = {50, 70},
                               Qt::DropActions offered = kAll,
                               Qt::KeyboardModifiers keys = Qt::NoModifier) {
        return Send<QDropEvent>(c, QPointF(p), offered, &m, Qt::LeftButton, keys);
    }
    static void Leave(vcl::TWinControl* c) {
        QDragLeaveEvent e;
        QCoreApplication::sendEvent(Area(c), &e);
    }
    static std::unique_ptr<QMimeData> Files(const std::vector<const char*>& urls) {
        auto m = std::make_unique<QMimeData>();
        QList<QUrl> list;
        for (const char* u : urls)
            list.push_back(QUrl(u));
        m->setUrls(list);
        return m;
    }
    static std::vector<std::string> Names(const vcl::TStringList& l) {
        std::vector<std::string> out;
        for (int i = 0; i < l.Count(); ++i)
            out.push_back(l[i]);
        return out;
    }

    vcl::TForm* form_ = nullptr;
    vcl::TListView* list_ = nullptr;
    vcl::TPanel* panel_ = nullptr;
};

TEST_F(DropTargetTest, EffectsAreLimitedToTheDragTypesAndChosenByTheKeys) {
    const TDragTypes all{dtCopy, dtMove, dtLink};
    const auto shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    const struct {
        const char* what;
        TDragTypes types;
        Qt::DropActions offered;
        Qt::KeyboardModifiers keys;
        int effect; // seen by OnDragOver and answered
    } cases[] = {
        {"copy only, Shift held", {dtCopy}, kAll, shift, vcl::DROPEFFECT_COPY},
        {"copy only, Shift+Ctrl", {dtCopy}, kAll, shift | ctrl, vcl::DROPEFFECT_COPY},
        {"copy only, move offered", {dtCopy}, Qt::MoveAction, Qt::NoModifier, 0},
        {"Shift+Ctrl with link", all, kAll, shift | ctrl, vcl::DROPEFFECT_LINK},
        {"Shift+Ctrl without link", all, Qt::CopyAction | Qt::MoveAction, shift | ctrl,
         vcl::DROPEFFECT_COPY},
        {"Shift with move", all, kAll, shift, vcl::DROPEFFECT_MOVE},
        {"Ctrl alone", all, kAll, ctrl, vcl::DROPEFFECT_COPY},
        {"no key", all, kAll, Qt::NoModifier, vcl::DROPEFFECT_COPY},
        {"no key, move and link", all, Qt::MoveAction | Qt::LinkAction, Qt::NoModifier,
         vcl::DROPEFFECT_MOVE},
        {"no key, link only", all, Qt::LinkAction, Qt::NoModifier, vcl::DROPEFFECT_LINK},
    };
    TDropFileTarget target(form_);
    target.Register(list_);
    int seen = -1;
    target.OnDragOver = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int& effect) {
        seen = effect;
    };
    const auto files = Files({"file:///tmp/a"});
    for (const auto& c : cases) {
        target.Dragtypes = c.types;
        seen = -1;
        Enter(list_, *files, {50, 70}, c.offered, c.keys);
        const Qt::DropAction answered = Move(list_, *files, {50, 70}, c.offered, c.keys);
        EXPECT_EQ(seen, c.effect) << c.what;
        EXPECT_EQ(static_cast<int>(answered), c.effect) << c.what; // same numbers as the toolkit
        Leave(list_);
    }

    // A handler of OnGetDropEffect decides instead, from the masked offer, and gets no scroll bit.
    target.Dragtypes = {dtCopy, dtLink};
    int offered = -1;
    target.OnGetDropEffect = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int& effect) {
        offered = effect;
        effect = vcl::DROPEFFECT_LINK;
    };
    Enter(list_, *files);
    EXPECT_EQ(Move(list_, *files, {50, 2}), Qt::LinkAction);
    EXPECT_EQ(offered, vcl::DROPEFFECT_COPY | vcl::DROPEFFECT_LINK);
    EXPECT_EQ(seen, vcl::DROPEFFECT_LINK);
}

TEST_F(DropTargetTest, ADropHandsOverTheLocalFilesInOrderWhileOnDropRuns) {
    TDropFileTarget target(form_);
    target.Dragtypes = {dtCopy};
    target.Register(list_);
    std::vector<std::string> events;
    std::vector<std::string> dropped;
    target.OnEnter = [&](vcl::TObject* s, vcl::TShiftState, const vcl::TPoint& p, int& effect) {
        EXPECT_EQ(s, &target);
        EXPECT_EQ(p, (vcl::TPoint{50, 70}));
        events.push_back("enter " + std::to_string(effect));
    };
    target.OnDragOver = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int&) {
        events.push_back("over");
    };
    target.OnLeave = [&](vcl::TObject*) { events.push_back("leave"); };
    target.OnDrop = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint& p, int& effect) {
        EXPECT_EQ(p, (vcl::TPoint{60, 80}));
        events.push_back("drop " + std::to_string(effect));
        dropped = Names(target.Files);
        EXPECT_EQ(target.MappedNames.Count(), 0);
    };
    const auto files = Files({"file:///tmp/z%20last", "https://example.invalid/x.iso",
                              "file://otherhost/share/y", "file:///tmp/a", "file://localhost/b",
                              "file:///tmp/nul%00name", "file:///tmp/z%20last"});
    EXPECT_EQ(Enter(list_, *files), Qt::CopyAction);
    EXPECT_EQ(Move(list_, *files), Qt::CopyAction);
    EXPECT_EQ(Drop(list_, *files, {60, 80}), Qt::CopyAction);
    EXPECT_EQ(events, (std::vector<std::string>{"enter 1", "over", "drop 1"}));
    EXPECT_EQ(dropped, (std::vector<std::string>{"/tmp/z last", "/tmp/a", "/b", "/tmp/z last"}));
    EXPECT_EQ(target.Files.Count(), 0); // gone after the drop

    // With GetDataOnEnter the files are there from the start of the drag.
    target.GetDataOnEnter = true;
    int atEnter = -1;
    target.OnEnter = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int&) {
        atEnter = target.Files.Count();
    };
    Enter(list_, *files);
    EXPECT_EQ(atEnter, 4);
    Leave(list_);
    EXPECT_EQ(target.Files.Count(), 0);
    EXPECT_EQ(events.back(), "leave");
}

// The handlers find the row or node under the cursor with the views' own hit tests.
TEST_F(DropTargetTest, PointsAreThoseOfTheViewsHitTests) {
    auto* tree = vcl::Make<vcl::TTreeView>(form_, form_, "TreeView1");
    tree->SetBounds(0, 160, 200, 130);
    vcl::TTreeNode* root = tree->Items()->AddChild(nullptr, "root");
    for (int i = 0; i < 5; ++i)
        tree->Items()->AddChild(root, "child " + std::to_string(i));
    root->Expand(false);
    app_->ProcessMessages();

    TDropFileTarget onList(form_), onTree(form_);
    onList.Dragtypes = onTree.Dragtypes = {dtCopy};
    onList.Register(list_);
    onTree.Register(tree);
    vcl::TListItem* row = nullptr;
    vcl::TTreeNode* node = nullptr;
    onList.OnDrop = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint& p, int&) {
        row = list_->GetItemAt(p.X, p.Y);
    };
    onTree.OnDrop = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint& p, int&) {
        node = tree->GetNodeAt(p.X, p.Y);
    };
    const auto centre = [](vcl::TRect r) {
        return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    };
    const auto files = Files({"file:///tmp/a"});
    vcl::TListItem* third = list_->Items()->Item(3);
    Enter(list_, *files, centre(third->DisplayRect()));
    EXPECT_EQ(Drop(list_, *files, centre(third->DisplayRect())), Qt::CopyAction);
    EXPECT_EQ(row, third);
    vcl::TTreeNode* child = root->GetFirstChild()->GetNextSibling();
    Enter(tree, *files, centre(child->DisplayRect(true)));
    EXPECT_EQ(Drop(tree, *files, centre(child->DisplayRect(true))), Qt::CopyAction);
    EXPECT_EQ(node, child);
}

TEST_F(DropTargetTest, DragsWithoutLocalFilesAreRefusedThroughout) {
    TDropFileTarget target(form_);
    target.Dragtypes = {dtCopy};
    target.Register(list_);
    int raised = 0;
    const auto count = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int&) { ++raised; };
    target.OnEnter = target.OnDragOver = target.OnDrop = count;

    const auto remote = Files({"https://example.invalid/a.iso", "file://otherhost/share/b"});
    QMimeData text;
    text.setText("/tmp/a");
    const auto empty = Files({});
    for (const QMimeData* m : {remote.get(), &text, empty.get()}) {
        EXPECT_EQ(Enter(list_, *m), Qt::IgnoreAction);
        EXPECT_EQ(Move(list_, *m), Qt::IgnoreAction);
        EXPECT_EQ(Drop(list_, *m), Qt::IgnoreAction);
    }
    EXPECT_EQ(raised, 0);
    EXPECT_EQ(target.Files.Count(), 0);
}

TEST_F(DropTargetTest, TextAndDummyTargets) {
    TDropTextTarget text(form_);
    text.Dragtypes = {dtCopy, dtMove};
    text.Register(list_);
    std::string dropped;
    text.OnDrop = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int&) {
        dropped = text.Text;
    };
    QMimeData words;
    words.setText(QString::fromUtf8("二 words"));
    EXPECT_EQ(Enter(list_, words), Qt::CopyAction);
    EXPECT_EQ(Drop(list_, words, {50, 70}, kAll, Qt::ShiftModifier), Qt::MoveAction);
    EXPECT_EQ(dropped, "二 words");
    EXPECT_EQ(text.Text, "");
    const auto files = Files({"file:///tmp/a"}); // a file list is no text
    EXPECT_EQ(Enter(list_, *files), Qt::IgnoreAction);

    // The dummy takes every drag, lets OnDragOver choose, and drops only with GetDataOnEnter.
    TDropDummy dummy(form_);
    dummy.Dragtypes = {dtCopy, dtMove, dtLink};
    dummy.Register(panel_);
    int drops = 0;
    dummy.OnDragOver = [](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int& effect) {
        effect = vcl::DROPEFFECT_LINK;
    };
    dummy.OnDrop = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int&) { ++drops; };
    QMimeData anything;
    anything.setData("application/x-unknown", "1");
    EXPECT_EQ(Enter(panel_, anything), Qt::CopyAction);
    EXPECT_EQ(Move(panel_, anything), Qt::LinkAction);
    EXPECT_EQ(Drop(panel_, anything), Qt::IgnoreAction);
    EXPECT_EQ(drops, 0);
    dummy.GetDataOnEnter = true;
    Enter(panel_, anything);
    EXPECT_EQ(Drop(panel_, anything), Qt::CopyAction);
    EXPECT_EQ(drops, 1);
}

TEST_F(DropTargetTest, RestingNearAnEdgeScrollsAScrollingControlOnly) {
    ASSERT_NE(View(list_), nullptr);
    QScrollBar* bar = View(list_)->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the list must scroll";
    bar->setValue(bar->maximum() / 2);
    const int start = bar->value();

    TDropFileTarget target(form_);
    target.Dragtypes = {dtCopy};
    target.Register(list_);
    int seen = 0;
    target.OnDragOver = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int& effect) {
        seen = effect;
    };
    const auto files = Files({"file:///tmp/a"});
    Enter(list_, *files);
    // 5 pixels from the top, inside the 11-pixel margin of a -11 font.
    EXPECT_EQ(Move(list_, *files, {50, 5}), Qt::CopyAction);
    EXPECT_EQ(seen, vcl::DROPEFFECT_COPY | vcl::DROPEFFECT_SCROLL);
    ASSERT_TRUE(PumpUntil([&] { return bar->value() <= start - 2; })); // line by line
    // Away from the edge the scrolling stops.
    Move(list_, *files, {50, 70});
    EXPECT_EQ(seen, vcl::DROPEFFECT_COPY);
    const int stopped = bar->value();
    PumpFor(300ms);
    EXPECT_EQ(bar->value(), stopped);
    // Near the bottom it scrolls down; leaving stops it.
    Move(list_, *files, {50, Area(list_)->height() - 3});
    ASSERT_TRUE(PumpUntil([&] { return bar->value() > stopped; }));
    Leave(list_);
    const int left = bar->value();
    PumpFor(300ms);
    EXPECT_EQ(bar->value(), left);

    // A control without scroll bars never gets the scroll bit.
    TDropFileTarget onPanel(form_);
    onPanel.Dragtypes = {dtCopy};
    onPanel.Register(panel_);
    onPanel.OnDragOver = target.OnDragOver;
    Enter(panel_, *files);
    Move(panel_, *files, {2, 2});
    EXPECT_EQ(seen, vcl::DROPEFFECT_COPY);
}

TEST_F(DropTargetTest, RegistrationMovesAndRefusalsRaiseWithTheControlsName) {
    auto* first = new TDropFileTarget(form_);
    first->Dragtypes = {dtCopy};
    int drops = 0;
    first->OnDrop = [&](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int&) { ++drops; };
    first->Register(list_);
    first->Register(list_); // the same control again: nothing happens
    EXPECT_EQ(first->Target(), list_);

    TDropFileTarget second(form_);
    try {
        second.Register(list_);
        ADD_FAILURE() << "a control takes one drop target";
    } catch (const vcl::Exception& e) {
        EXPECT_EQ(e.Message, "Failed to Register ListView1");
    }
    EXPECT_EQ(second.Target(), nullptr);
    EXPECT_NO_THROW(second.Unregister()); // nothing was left registered

    const auto files = Files({"file:///tmp/a"});
    Enter(list_, *files);
    Drop(list_, *files);
    EXPECT_EQ(drops, 1);

    // Moving the registration frees the old control.
    first->Register(panel_);
    EXPECT_EQ(Enter(list_, *files), Qt::IgnoreAction);
    Enter(panel_, *files);
    Drop(panel_, *files);
    EXPECT_EQ(drops, 2);
    second.Register(list_);
    EXPECT_EQ(second.Target(), list_);

    // A registration revoked behind the target's back is refused on Unregister.
    ASSERT_TRUE(vcl::RevokeDropTarget(panel_));
    try {
        first->Unregister();
        ADD_FAILURE() << "revoked twice";
    } catch (const vcl::Exception& e) {
        EXPECT_EQ(e.Message, "Failed to Unregister Panel1");
    }
    EXPECT_NO_THROW(delete first); // the destructor raises nothing

    // A target outliving its control forgets it.
    delete list_;
    list_ = nullptr;
    EXPECT_EQ(second.Target(), nullptr);
    EXPECT_NO_THROW(second.Unregister());
}

TEST_F(DropTargetTest, PasteTakesFilesAndTheirCutOrCopyMarkFromTheClipboard) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto put = [&](QMimeData* m) {
        clipboard->setMimeData(m);
        app_->ProcessMessages();
    };
    const auto gnome = [](const char* text) {
        auto* m = new QMimeData;
        m->setData("x-special/gnome-copied-files", text);
        return m;
    };
    TDropFileTarget target(form_);
    TDropDummy dummy(form_);

    put(Files({"file:///tmp/one", "https://example.invalid/two", "file:///tmp/three"}).release());
    EXPECT_EQ(target.PasteFromClipboard(), vcl::DROPEFFECT_COPY);
    EXPECT_EQ(Names(target.Files), (std::vector<std::string>{"/tmp/one", "/tmp/three"}));
    EXPECT_EQ(dummy.PasteFromClipboard(), vcl::DROPEFFECT_NONE); // no mark on the clipboard

    put(gnome("cut\nfile:///tmp/cut%201\nfile:///tmp/cut2\n"));
    EXPECT_EQ(target.PasteFromClipboard(), vcl::DROPEFFECT_MOVE);
    EXPECT_EQ(Names(target.Files), (std::vector<std::string>{"/tmp/cut 1", "/tmp/cut2"}));
    EXPECT_EQ(dummy.PasteFromClipboard(), vcl::DROPEFFECT_MOVE);

    put(gnome("copy\nfile:///tmp/c"));
    EXPECT_EQ(target.PasteFromClipboard(), vcl::DROPEFFECT_COPY);
    EXPECT_EQ(dummy.PasteFromClipboard(), vcl::DROPEFFECT_COPY);

    auto kde = Files({"file:///tmp/k"});
    kde->setData("application/x-kde-cutselection", "1");
    put(kde.release());
    EXPECT_EQ(target.PasteFromClipboard(), vcl::DROPEFFECT_MOVE);
    EXPECT_EQ(Names(target.Files), (std::vector<std::string>{"/tmp/k"}));

    // No file list now: nothing to paste, and no earlier files left behind.
    auto* words = new QMimeData;
    words->setText("just text");
    put(words);
    EXPECT_EQ(target.PasteFromClipboard(), vcl::DROPEFFECT_NONE);
    EXPECT_EQ(target.Files.Count(), 0);
    TDropTextTarget text(form_);
    EXPECT_EQ(text.PasteFromClipboard(), vcl::DROPEFFECT_COPY);
    EXPECT_EQ(text.Text, "just text");
    put(gnome("cut\nhttps://example.invalid/only-remote"));
    EXPECT_EQ(target.PasteFromClipboard(), vcl::DROPEFFECT_NONE);
    EXPECT_EQ(text.PasteFromClipboard(), vcl::DROPEFFECT_NONE);
    EXPECT_EQ(text.Text, "");
}

TEST_F(DropTargetTest, AFailingDropHandlerIsReportedAndLeavesNoData) {
    TDropFileTarget target(form_);
    target.Dragtypes = {dtCopy};
    target.Register(list_);
    std::vector<std::string> reported;
    vcl::Application->OnException = [&](vcl::TObject*, const std::exception& e) {
        reported.push_back(e.what());
    };
    target.OnDrop = [](vcl::TObject*, vcl::TShiftState, const vcl::TPoint&, int&) {
        throw vcl::Exception("drop failed");
    };
    const auto files = Files({"file:///tmp/a"});
    Enter(list_, *files);
    EXPECT_EQ(Drop(list_, *files), Qt::IgnoreAction);
    EXPECT_EQ(reported, std::vector<std::string>{"drop failed"});
    EXPECT_EQ(target.Files.Count(), 0);
    EXPECT_EQ(Move(list_, *files), Qt::IgnoreAction); // the drag is over
}

} // namespace
