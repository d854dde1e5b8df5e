// The parts of a main window: popup menus (the chosen item runs after Popup returns), tool bars
// laying out buttons and dropping menus down on a real click, status bar panels, a splitter
// dragged by the mouse, and the tool-tip window.
#include "ui_fixture.h"

#include "vcl/exception.h"
#include "vcl/ext_controls.h"
#include "vcl/hint_window.h"
#include "vcl/menus.h"
#include "vcl/splitter.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include <string>
#include <vector>

namespace {

using namespace vcl;

// Chooses a scripted item (by caption) and records what the menu held when it was shown.
class ScriptedPopup : public TPopupHost {
public:
    ScriptedPopup() : previous_(SetPopupHost(this)) {}
    ~ScriptedPopup() override { SetPopupHost(previous_); }
    TMenuItem* Choose(TPopupMenu& menu, TPoint) override {
        shown.push_back(menu.Name);
        if (during) during();
        for (int i = 0; i < menu.Items()->Count(); ++i)
            if (menu.Items()->Items(i)->GetCaption() == choose) return menu.Items()->Items(i);
        return nullptr;
    }
    std::string choose;
    std::vector<std::string> shown;
    std::function<void()> during;

private:
    TPopupHost* previous_;
};

class WindowPartsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form_ = MakeForm<TForm>(nullptr);
        form_->SetBounds(0, 0, 400, 300);
    }
    void TearDown() override {
        delete form_;
        UiTest::TearDown();
    }
    TMenuItem* AddItem(TPopupMenu* menu, const char* caption) {
        auto* item = new TMenuItem(form_);
        item->SetCaption(caption);
        menu->Items()->Add(item);
        return item;
    }
    TForm* form_ = nullptr;
};

TEST_F(WindowPartsTest, PopupRunsTheChosenItemAfterItHasClosed) {
    ScriptedPopup host;
    auto* menu = new TPopupMenu(form_);
    menu->Name = "Menu";
    std::vector<std::string> order;
    TMenuItem* open = AddItem(menu, "Open");
    TMenuItem* gone = AddItem(menu, "Hidden");
    TMenuItem* off = AddItem(menu, "Off");
    open->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, open);
        order.push_back("click");
    };
    gone->SetVisible(false);
    gone->OnClick = [&](TObject*) { order.push_back("hidden"); };
    off->SetEnabled(false);
    off->OnClick = [&](TObject*) { order.push_back("off"); };
    menu->OnPopup = [&](TObject*) { order.push_back("popup"); };
    host.during = [&] { order.push_back("shown"); };

    host.choose = "Open";
    menu->Popup(10, 20);
    EXPECT_EQ(order, (std::vector<std::string>{"popup", "shown", "click"}));
    EXPECT_EQ(menu->PopupPoint(), (TPoint{10, 20}));
    // Hidden and disabled items never run, nor does a menu closed without a choice.
    order.clear();
    for (const char* caption : {"Hidden", "Off", "nothing"}) {
        host.choose = caption;
        menu->Popup(0, 0);
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"popup", "shown", "popup", "shown", "popup", "shown"}));
    // Deleting an item takes it out of its menu.
    delete off;
    EXPECT_EQ(menu->Items()->Count(), 2);
}

TEST_F(WindowPartsTest, ToolBarLaysButtonsOutAndDropsMenusDownOnAClick) {
    ScriptedPopup host;
    auto* bar = Make<TToolBar>(form_, form_, "Bar");
    bar->SetAlign(alTop);
    bar->SetButtonSize(40, 22);
    auto* first = Make<TToolButton>(form_, bar, "First");
    auto* separator = Make<TToolButton>(form_, bar, "Sep");
    separator->SetStyle(tbsSeparator);
    auto* menuButton = Make<TToolButton>(form_, bar, "MenuButton");
    menuButton->SetCaption("&File");
    auto* menu = new TPopupMenu(form_);
    menu->Name = "FileMenu";
    menuButton->DropdownMenu = menu;
    int clicks = 0;
    first->OnClick = [&](TObject*) { ++clicks; };
    form_->Show();
    bar->Realign();

    EXPECT_EQ(first->GetLeft(), 0);
    EXPECT_EQ(separator->GetLeft(), 40);
    EXPECT_EQ(menuButton->GetLeft(), 48);
    EXPECT_EQ(menuButton->GetHeight(), 22);

    QTest::mouseClick(W(first), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(host.shown.empty());
    QTest::mouseClick(W(menuButton), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(host.shown, (std::vector<std::string>{"FileMenu"}));
    // The menu drops down under the button.
    EXPECT_EQ(menu->PopupPoint(), menuButton->ClientToScreen({0, 22}));
    separator->Click();
    EXPECT_EQ(host.shown.size(), 1u);
}

TEST_F(WindowPartsTest, StatusBarPanelsKeepTheirWidthsAndTexts) {
    auto* bar = Make<TStatusBar>(form_, form_, "Status");
    EXPECT_EQ(bar->GetAlign(), alBottom);
    bar->AddPanel()->SetWidth(120);
    TStatusPanel* second = bar->AddPanel();
    second->SetWidth(80);
    second->SetAlignment(taRightJustify);
    form_->Show();
    bar->Panels(0)->SetText("3 Item(s)");
    second->SetText("12:00");
    EXPECT_EQ(bar->ShownText(0), "3 Item(s)");
    EXPECT_EQ(bar->ShownText(1), "12:00");
    auto labels = W(bar)->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0]->width(), 120);
    EXPECT_TRUE(labels[1]->alignment() & Qt::AlignRight);
    EXPECT_THROW(bar->Panels(2), EListError);
}

TEST_F(WindowPartsTest, SplitterDraggedByTheMouseResizesItsNeighbour) {
    auto* left = Make<TPanel>(form_, form_, "Left");
    left->SetAlign(alLeft);
    left->SetWidth(100);
    auto* splitter = Make<TSplitter>(form_, form_, "Split");
    splitter->SetAlign(alLeft);
    splitter->SetLeft(100);
    splitter->MinSize = 30;
    auto* rest = Make<TPanel>(form_, form_, "Rest");
    rest->SetAlign(alClient);
    int moved = 0;
    splitter->OnMoved = [&](TObject*) { ++moved; };
    form_->Show();
    form_->Realign();
    ASSERT_EQ(splitter->Neighbour(), left);

    QWidget* handle = W(splitter);
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(1, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(41, 10), handle->mapToGlobal(QPointF(41, 10)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    EXPECT_EQ(left->GetWidth(), 140);
    EXPECT_EQ(splitter->GetLeft(), 140);
    QMouseEvent back(QEvent::MouseMove, QPointF(-300, 10), handle->mapToGlobal(QPointF(-300, 10)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &back);
    EXPECT_EQ(left->GetWidth(), 30); // never below MinSize
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(1, 10));
    EXPECT_EQ(moved, 1);
}

TEST_F(WindowPartsTest, HintWindowShowsItsTextAtTheRectangleAndHides) {
    THintWindow hint(form_);
    EXPECT_FALSE(hint.GetVisible());
    hint.ActivateHint({50, 60, 250, 170}, "Server Name:a\nStatus :Ready\n");
    EXPECT_TRUE(hint.GetVisible());
    EXPECT_EQ(hint.GetText(), "Server Name:a\nStatus :Ready\n");
    EXPECT_EQ(hint.GetRect().Width(), 200);
    hint.ReleaseHandle();
    EXPECT_FALSE(hint.GetVisible());
}

// A rectangle too small for the text grows until the text shows whole; the tool-tip takes no
// click and no focus from the window below it.
TEST_F(WindowPartsTest, HintWindowShowsItsWholeTextAndLetsClicksThrough) {
    THintWindow hint(form_);
    const std::string text = "Server Name : a-rather-long-unit-name\nStatus : Ready\nIP : "
                             "192.168.100.200\nComment : the unit in the cellar\n";
    hint.ActivateHint({50, 60, 110, 80}, text);
    QLabel* label = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* l = qobject_cast<QLabel*>(w); l && l->isVisible() && l->text() == text.c_str())
            label = l;
    ASSERT_NE(label, nullptr);
    const QFontMetrics metrics(label->font());
    const QRect needed = metrics.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft,
                                              QString::fromStdString(text));
    EXPECT_GE(label->contentsRect().width(), needed.width());
    EXPECT_GE(label->contentsRect().height(), needed.height());
    EXPECT_EQ(label->geometry().topLeft(), QPoint(50, 60));
    EXPECT_EQ(hint.GetRect().Width(), label->width());
    ASSERT_NE(label->windowHandle(), nullptr);
    EXPECT_TRUE(label->windowHandle()->flags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(label->windowHandle()->flags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(label->testAttribute(Qt::WA_TransparentForMouseEvents));
}

} // namespace
