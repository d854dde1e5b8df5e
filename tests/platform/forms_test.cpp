// Forms: the show, close and modal life cycle, ModalResult, the key and mouse event rules, the
// exception catcher, positions and alignment.
#include "modal_driver.h"
#include "ui_fixture.h"

#include "vcl/application.h"
#include "vcl/dialogs.h"
#include "vcl/exception.h"
#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/modal_host.h"
#include "vcl/screen.h"
#include "vcl/std_controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <stdexcept>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

using vcl::Make;

// A dialog with an edit and OK / Cancel buttons, recording its life-cycle events.
struct Dialog {
    Dialog() {
        form = new vcl::TForm(nullptr);
        form->Name = "Dialog";
        form->SetCaption("Dialog");
        form->SetBorderStyle(vcl::bsDialog);
        edit = Make<vcl::TEdit>(form, form, "Edit");
        ok = Make<vcl::TButton>(form, form, "Ok");
        ok->SetModalResult(vcl::mrOk);
        ok->SetDefault(true);
        cancel = Make<vcl::TButton>(form, form, "Cancel");
        cancel->SetModalResult(vcl::mrCancel);
        cancel->SetCancel(true);
        ok->SetBounds(10, 40, 75, 25);
        cancel->SetBounds(100, 40, 75, 25);
        form->OnShow = [this](vcl::TObject*) { log.push_back("show"); };
        form->OnHide = [this](vcl::TObject*) { log.push_back("hide"); };
        form->OnCloseQuery = [this](vcl::TObject*, bool& can) {
            log.push_back("closequery");
            can = allowClose;
        };
        form->OnClose = [this](vcl::TObject*, vcl::TCloseAction& action) {
            log.push_back("close");
            action = closeAction ? *closeAction : action;
        };
        form->OnDestroy = [this](vcl::TObject*) { log.push_back("destroy"); };
        form->AfterConstruction();
    }
    ~Dialog() { vcl::Free(form); }

    vcl::TForm* form;
    vcl::TEdit* edit;
    vcl::TButton* ok;
    vcl::TButton* cancel;
    std::vector<std::string> log;
    bool allowClose = true;
    std::optional<vcl::TCloseAction> closeAction;
};

using FormTest = UiTest;

// A form whose OnDestroy handler uses the derived form's own members.
class FormWithState : public vcl::TForm {
public:
    explicit FormWithState(vcl::TComponent* owner, std::vector<std::string>& log)
        : vcl::TForm(owner), log_(log) {
        OnDestroy = vcl::Method(this, &FormWithState::FormDestroy);
    }
    void FormDestroy(vcl::TObject*) { log_.push_back("destroy " + state_); }

private:
    std::vector<std::string>& log_;
    std::string state_ = "whole";
};

TEST_F(FormTest, OnDestroyRunsOnceWhileTheDerivedFormStillExists) {
    std::vector<std::string> log;
    auto* owner = new vcl::TComponent(nullptr);
    vcl::MakeForm<FormWithState>(owner, log);
    delete owner; // the owner frees the form
    vcl::Free(vcl::MakeForm<FormWithState>(nullptr, log));
    EXPECT_EQ(log, (std::vector<std::string>{"destroy whole", "destroy whole"}));
}

// The desktop's modal host runs a real nested loop; calls posted before ShowModal act in it.
class DesktopModal {
public:
    DesktopModal() : previous_(vcl::SetModalHost(nullptr)) {}
    ~DesktopModal() { vcl::SetModalHost(previous_); }

private:
    vcl::TModalHost* previous_;
};

TEST_F(FormTest, ButtonModalResultEndsTheNestedLoopOnceTheCloseIsAllowed) {
    DesktopModal desktop;
    Dialog d;
    d.allowClose = false;
    int step = 0;
    // Each posted step runs inside the modal loop.
    std::function<void()> next = [&] {
        ++step;
        if (step == 1) {
            EXPECT_TRUE(d.form->Modal());
            d.ok->Click(); // refused by OnCloseQuery: the form stays
        } else if (step == 2) {
            EXPECT_TRUE(d.form->GetVisible());
            EXPECT_EQ(d.form->GetModalResult(), vcl::mrNone);
            d.allowClose = true;
            d.closeAction = vcl::caNone;
            d.ok->Click(); // refused by OnClose's action
        } else if (step == 3) {
            EXPECT_TRUE(d.form->GetVisible());
            d.closeAction.reset();
            d.ok->Click();
            return;
        }
        vcl::Application->Post(next);
    };
    vcl::Application->Post(next);
    EXPECT_EQ(d.form->ShowModal(), vcl::mrOk);
    EXPECT_EQ(step, 3);
    EXPECT_FALSE(d.form->GetVisible());
    EXPECT_FALSE(d.form->Modal());
    EXPECT_EQ(d.log, (std::vector<std::string>{"show", "closequery", "closequery", "close",
                                               "closequery", "close", "hide"}));
    // A visible form cannot be shown modally.
    d.form->Show();
    EXPECT_THROW(d.form->ShowModal(), vcl::EInvalidOperation);
}

TEST_F(FormTest, CloseOfAModalFormAnswersCancel) {
    Dialog d;
    Responder().ExpectModal("Dialog", [&](vcl::TForm& f) {
        d.edit->SetText("typed");
        f.Close();
    });
    EXPECT_EQ(d.form->ShowModal(), vcl::mrCancel);
    EXPECT_EQ(d.edit->GetText(), "typed");
}

TEST_F(FormTest, CloseOfAModelessFormFollowsTheAction) {
    struct Case {
        std::optional<vcl::TCloseAction> action;
        bool allow;
        bool visibleAfter;
        bool freed;
    };
    for (const Case& c :
         {Case{std::nullopt, true, false, false}, Case{vcl::caNone, true, true, false},
          Case{std::nullopt, false, true, false}, Case{vcl::caFree, true, true, true}}) {
        auto* d = new Dialog;
        d->closeAction = c.action;
        d->allowClose = c.allow;
        bool destroyed = false;
        d->form->OnDestroy = [&](vcl::TObject*) { destroyed = true; };
        d->form->Show();
        d->form->Close();
        EXPECT_EQ(d->form->GetVisible(), c.visibleAfter);
        EXPECT_FALSE(destroyed); // a released form goes (with its window) after the current events
        if (c.freed) {
            ASSERT_TRUE(PumpUntil([&] { return destroyed; }));
            d->form = nullptr;
        }
        delete d;
    }
}

class MainForm : public vcl::TForm {
public:
    explicit MainForm(vcl::TComponent* owner) : vcl::TForm(owner) {
        OnCreate = [this](vcl::TObject*) { mainDuringCreate = vcl::Application->MainForm(); };
    }
    vcl::TForm* mainDuringCreate = reinterpret_cast<vcl::TForm*>(1);
};

TEST_F(FormTest, FirstCreatedFormIsTheMainFormAndClosingItEndsTheRun) {
    MainForm* main = nullptr;
    MainForm* second = nullptr;
    vcl::Application->CreateForm(main);
    vcl::Application->CreateForm(second);
    EXPECT_EQ(main->mainDuringCreate, nullptr); // main only once its creation is done
    EXPECT_EQ(vcl::Application->MainForm(), main);
    ASSERT_EQ(vcl::Application->FormCount(), 2);
    EXPECT_EQ(vcl::Application->Forms(0), main);
    EXPECT_EQ(vcl::Application->Forms(1), second);
    vcl::Application->Post([&] { main->Close(); });
    vcl::Application->Run(); // shows the main form, returns when it closes
    EXPECT_TRUE(vcl::Application->Terminated());
    delete second;
    EXPECT_EQ(vcl::Application->FormCount(), 1);
}

// A message box closes only itself, however it is answered: the modal dialog that showed it
// stays with its modal result, contents and focus, and the program goes on running.
TEST_F(FormTest, AMessageBoxClosesOnlyItselfNotItsOwnerNorTheProgram) {
    MainForm* main = nullptr;
    vcl::Application->CreateForm(main);
    Dialog d;
    ModalDriver driver;
    const auto press = [](Qt::Key key) {
        return [key](QWidget* box) { QTest::keyClick(box, key); };
    };
    std::function<void()> ask;
    driver.OnForm("Dialog", [&](QWidget*) {
        d.edit->SetText("192.168.1.");
        d.edit->SetFocus();
        ask();
    });
    driver.OnBox(press(Qt::Key_Return)).OnBox(press(Qt::Key_Escape)).OnBox([](QWidget* box) {
        QTest::mouseClick(static_cast<QMessageBox*>(box)->button(QMessageBox::Ok), Qt::LeftButton);
    });

    struct Owner {
        bool visible;
        vcl::TModalResult result;
        std::string text;
        bool focused;
    };
    std::vector<int> answers;
    std::vector<Owner> owners;
    ask = [&] {
        answers.push_back(vcl::Application->MessageBox("IP address error", "Error",
                                                       vcl::MB_OK | vcl::MB_ICONSTOP));
        // The owner as it is once the events that the box's close left behind are handled.
        // The desktop hands the activation back with its own events.
        PumpUntil([&] { return d.edit->Focused() || !d.form->GetVisible(); });
        vcl::Application->Post([&] {
            owners.push_back({d.form->GetVisible(), d.form->GetModalResult(), d.edit->GetText(),
                              d.edit->Focused()});
            if (!d.form->Modal()) return;
            if (answers.size() < 3)
                ask();
            else
                d.ok->Click();
        });
    };
    vcl::TModalResult result = vcl::mrNone;
    bool returned = false;
    const bool quit = ModalDriver::RunInLoop(
        [&] {
            main->Show();
            result = d.form->ShowModal();
            returned = true;
        },
        [&] { return returned; });

    EXPECT_FALSE(quit);
    EXPECT_FALSE(vcl::Application->Terminated());
    EXPECT_TRUE(main->GetVisible());
    EXPECT_EQ(driver.Pending(), 0);
    EXPECT_EQ(answers, (std::vector<int>{vcl::IDOK, vcl::IDOK, vcl::IDOK}));
    ASSERT_EQ(owners.size(), 3u);
    for (const Owner& o : owners) {
        EXPECT_TRUE(o.visible);
        EXPECT_EQ(o.result, vcl::mrNone);
        EXPECT_EQ(o.text, "192.168.1.");
        EXPECT_TRUE(o.focused);
    }
    EXPECT_EQ(result, vcl::mrOk);
}

// A message box with a path longer than a line: the path wraps inside the box instead of
// widening it, and the box shows the text exactly as given (what is read aloud and copied).
TEST_F(FormTest, AMessageBoxWrapsALongPathWithoutChangingItsText) {
    const std::string path = "/mnt/units/alpha/Movies/" + std::string(150, 'x') + "/disc-image.iso";
    const std::string text = "The file\n" + path + "\ncould not be read.";
    ModalDriver driver;
    bool looked = false;
    driver.OnBox([&](QWidget* window) {
        auto* box = static_cast<QMessageBox*>(window);
        looked = true;
        EXPECT_EQ(box->text().toStdString(), text);
        QLabel* shown = nullptr;
        for (QLabel* label : box->findChildren<QLabel*>())
            if (label->isVisible() && label->text() == box->text()) shown = label;
        ASSERT_NE(shown, nullptr) << "no label shows the text as given";
        const QFontMetrics fm(shown->font());
        EXPECT_GT(fm.horizontalAdvance(QString::fromStdString(path)), box->width());
        EXPECT_LE(shown->geometry().right(), box->width());
        EXPECT_GE(shown->height(), shown->heightForWidth(shown->width()));
        EXPECT_GT(shown->heightForWidth(shown->width()), 4 * fm.height()); // the path broke
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    EXPECT_EQ(vcl::Application->MessageBox(text, "Error", vcl::MB_OK | vcl::MB_ICONSTOP),
              vcl::IDOK);
    EXPECT_TRUE(looked);
    EXPECT_EQ(driver.Pending(), 0);
}

TEST_F(FormTest, EnterAndEscapeGoToTheDefaultAndCancelButtonsBeforeTheControl) {
    Dialog d;
    std::vector<std::string> keys;
    d.edit->OnKeyDown = [&](vcl::TObject*, vcl::TKey& key, vcl::TShiftState shift) {
        keys.push_back(std::to_string(key) + (shift.Contains(vcl::ssCtrl) ? "+ctrl" : ""));
    };
    std::vector<std::string> clicks;
    d.ok->OnClick = [&](vcl::TObject*) { clicks.push_back("ok"); };
    d.cancel->OnClick = [&](vcl::TObject*) { clicks.push_back("cancel"); };
    d.form->Show();
    QWidget* edit = W(d.edit);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(d.form->GetModalResult(), vcl::mrOk);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(d.form->GetModalResult(), vcl::mrCancel);
    EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel"}));
    EXPECT_TRUE(keys.empty());
    // With a modifier Enter is no dialog key; without a default button it is the control's.
    QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
    d.ok->SetDefault(false);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(keys, (std::vector<std::string>{"17+ctrl", "13+ctrl", "13"}));
    EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(FormTest, KeyPreviewThenControlAndZeroKeyStopsTheKey) {
    Dialog d;
    d.form->SetKeyPreview(true);
    std::vector<std::string> order;
    vcl::TKey stopInForm = 0;
    vcl::TKey stopInEdit = 0;
    d.form->OnKeyDown = [&](vcl::TObject* sender, vcl::TKey& key, vcl::TShiftState) {
        order.push_back(sender == d.form ? "form" : "?");
        if (key == stopInForm) key = 0;
    };
    d.edit->OnKeyDown = [&](vcl::TObject* sender, vcl::TKey& key, vcl::TShiftState) {
        order.push_back(sender == d.edit ? "edit" : "?");
        if (key == stopInEdit) key = 0;
    };
    std::vector<char32_t> pressed;
    d.edit->OnKeyPress = [&](vcl::TObject*, char32_t& key) {
        pressed.push_back(key);
        if (key == U'x') key = 0;    // suppressed
        if (key == U'a') key = U'b'; // typed in its place
    };
    d.form->Show();
    QWidget* edit = W(d.edit);
    QTest::keyClicks(edit, "axc");
    EXPECT_EQ(d.edit->GetText(), "bc");
    EXPECT_EQ(pressed, (std::vector<char32_t>{U'a', U'x', U'c'}));
    EXPECT_EQ(order, (std::vector<std::string>{"form", "edit", "form", "edit", "form", "edit"}));

    order.clear();
    stopInEdit = 'D';
    QTest::keyClick(edit, Qt::Key_D); // the edit stops it: not typed, no key press
    stopInForm = 'E';
    QTest::keyClick(edit, Qt::Key_E); // the form stops it: the edit never sees it
    EXPECT_EQ(d.edit->GetText(), "bc");
    EXPECT_EQ(order, (std::vector<std::string>{"form", "edit", "form"}));
    EXPECT_EQ(pressed.size(), 3u);
    // Key 0 before the edit's own handling: Backspace does not delete.
    stopInEdit = vcl::VK_BACK;
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(d.edit->GetText(), "bc");
}

TEST_F(FormTest, ExceptionsOfHandlersAreShownAndTheLoopCarriesOn) {
    vcl::Application->SetTitle("Brimlet Test");
    Dialog d;
    int clicks = 0;
    d.ok->OnClick = [&](vcl::TObject*) {
        if (++clicks == 1) throw vcl::Exception("click failed");
    };
    Responder().ExpectBox("click failed", vcl::IDOK);
    d.form->Show();
    QTest::mouseClick(W(d.ok), Qt::LeftButton);
    QTest::mouseClick(W(d.ok), Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    ASSERT_EQ(Responder().Boxes().size(), 1u);
    EXPECT_EQ(Responder().Boxes()[0].Request.Caption, "Brimlet Test");
    EXPECT_EQ(Responder().Boxes()[0].Request.Icon, vcl::TBoxIcon::Stop);
}

TEST_F(FormTest, MouseDownClickAndUpComeInTheOriginalsOrder) {
    Dialog d;
    auto* label = Make<vcl::TLabel>(d.form, d.form, "Label");
    label->SetAutoSize(false);
    label->SetBounds(5, 80, 100, 20);
    std::vector<std::string> log;
    label->OnMouseDown = [&](vcl::TObject*, vcl::TMouseButton b, vcl::TShiftState s, int x, int y) {
        log.push_back("down " + std::to_string(b) + (s.Contains(vcl::ssLeft) ? " left " : " ") +
                      std::to_string(x) + "," + std::to_string(y));
    };
    label->OnClick = [&](vcl::TObject*) { log.push_back("click"); };
    label->OnMouseUp = [&](vcl::TObject*, vcl::TMouseButton, vcl::TShiftState, int, int) {
        log.push_back("up");
    };
    label->OnDblClick = [&](vcl::TObject*) { log.push_back("dblclick"); };
    d.form->Show();
    QTest::mouseClick(W(label), Qt::LeftButton, {}, QPoint(7, 9));
    QTest::mouseClick(W(label), Qt::RightButton, {}, QPoint(7, 9));
    // A double click: press, release, double-click press, release.
    QTest::mousePress(W(label), Qt::LeftButton, {}, QPoint(1, 2));
    QTest::mouseRelease(W(label), Qt::LeftButton, {}, QPoint(1, 2));
    QTest::mouseDClick(W(label), Qt::LeftButton, {}, QPoint(1, 2));
    QTest::mouseRelease(W(label), Qt::LeftButton, {}, QPoint(1, 2));
    EXPECT_EQ(log, (std::vector<std::string>{"down 0 left 7,9", "click", "up", "down 1 7,9", "up",
                                             "down 0 left 1,2", "click", "up", "dblclick",
                                             "down 0 left 1,2", "up"}));
}

TEST_F(FormTest, FrameClientSizesPositionsAndPaint) {
    Dialog d;
    d.form->SetClientWidth(453);
    d.form->SetClientHeight(173);
    EXPECT_EQ(d.form->GetWidth(), 461);
    EXPECT_EQ(d.form->GetHeight(), 200);
    d.form->SetBorderStyle(vcl::bsNone); // the client area stays
    EXPECT_EQ(d.form->GetWidth(), 453);
    EXPECT_EQ(d.form->GetClientHeight(), 173);

    d.form->SetPosition(vcl::poScreenCenter);
    d.form->SetFormStyle(vcl::fsStayOnTop);
    bool painted = false;
    bool activated = false;
    d.form->OnPaint = [&](vcl::TObject*) { painted = true; };
    d.form->OnActivate = [&](vcl::TObject*) { activated = true; };
    d.form->Show();
    EXPECT_TRUE(W(d.form)->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(W(d.form)->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(d.form->GetLeft(), (vcl::Screen->Width() - 453) / 2);
    EXPECT_EQ(d.form->GetTop(), (vcl::Screen->Height() - 173) / 2);
    EXPECT_EQ(W(d.form)->size(), QSize(453, 173));
    EXPECT_TRUE(PumpUntil([&] { return painted && activated; }));
    EXPECT_TRUE(d.form->Active());

    MainForm* main = nullptr;
    vcl::Application->CreateForm(main);
    main->SetBounds(100, 50, 400, 300);
    main->Show();
    Dialog over;
    over.form->SetBounds(0, 0, 200, 100);
    over.form->SetPosition(vcl::poMainFormCenter);
    over.form->Show();
    EXPECT_EQ(over.form->GetLeft(), 200);
    EXPECT_EQ(over.form->GetTop(), 150);
}

TEST_F(FormTest, TabOrderDecidesWhereTabGoesAndFocusNeedsAShownControl) {
    Dialog d;
    auto* second = Make<vcl::TEdit>(d.form, d.form, "Second");
    auto* third = Make<vcl::TEdit>(d.form, d.form, "Third");
    EXPECT_EQ(second->GetTabOrder(), 3); // creation order: Edit, Ok, Cancel, Second
    third->SetTabOrder(0);
    second->SetTabOrder(1);
    EXPECT_EQ(d.edit->GetTabOrder(), 2);
    d.ok->SetTabStop(false);
    d.cancel->SetEnabled(false);
    second->SetHint("Second box|the longer help");
    second->SetShowHint(true);
    EXPECT_EQ(W(second)->toolTip(), QStringLiteral("Second box"));
    d.form->Show();
    ASSERT_TRUE(PumpUntil([&] { return d.form->Active(); }));
    third->SetFocus();
    EXPECT_EQ(d.form->GetActiveControl(), third);
    std::vector<std::string> entered;
    for (vcl::TEdit* e : {d.edit, second, third})
        e->OnEnter = [&entered](vcl::TObject* sender) {
            entered.push_back(static_cast<vcl::TEdit*>(sender)->Name);
        };
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(entered, (std::vector<std::string>{"Second", "Edit", "Third"}));
    second->Hide();
    EXPECT_THROW(second->SetFocus(), vcl::EInvalidOperation);
}

TEST_F(FormTest, AlignedControlsShareTheClientAreaAndFollowItsSize) {
    vcl::TForm form(nullptr);
    form.SetBorderStyle(vcl::bsNone);
    form.SetBounds(0, 0, 300, 200);
    auto* client = Make<vcl::TPanel>(&form, &form, "Client");
    client->SetAlign(vcl::alClient);
    auto* top = Make<vcl::TPanel>(&form, &form, "Top");
    top->SetHeight(30);
    top->SetAlign(vcl::alTop);
    auto* bottom = Make<vcl::TPanel>(&form, &form, "Bottom");
    bottom->SetHeight(20);
    bottom->SetAlign(vcl::alBottom);
    auto* left = Make<vcl::TPanel>(&form, &form, "Left");
    left->SetWidth(50);
    left->SetAlign(vcl::alLeft);
    EXPECT_EQ(top->BoundsRect(), (vcl::TRect{0, 0, 300, 30}));
    EXPECT_EQ(bottom->BoundsRect(), (vcl::TRect{0, 180, 300, 200}));
    EXPECT_EQ(left->BoundsRect(), (vcl::TRect{0, 30, 50, 180}));
    EXPECT_EQ(client->BoundsRect(), (vcl::TRect{50, 30, 300, 180}));
    form.SetBounds(0, 0, 400, 300);
    EXPECT_EQ(client->BoundsRect(), (vcl::TRect{50, 30, 400, 280}));
    top->Hide(); // hidden controls give their room away
    EXPECT_EQ(client->BoundsRect(), (vcl::TRect{50, 0, 400, 280}));
    // A child of a panel stays inside its bevel.
    auto* inner = Make<vcl::TPanel>(&form, left, "Inner");
    inner->SetAlign(vcl::alClient);
    EXPECT_EQ(inner->BoundsRect(), (vcl::TRect{1, 1, 49, 279}));
}

} // namespace
