// Combo and list boxes, spin, masked and multi-line edits, date pickers and the animation control:
// which changes raise events (the user's always; code's only where the original library does).
#include "ui_fixture.h"

#include "vcl/animate.h"
#include "vcl/combo_box.h"
#include "vcl/date_time_picker.h"
#include "vcl/form.h"
#include "vcl/image_list.h"
#include "vcl/list_box.h"
#include "vcl/mask_edit.h"
#include "vcl/memo.h"
#include "vcl/spin_edit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTest>

#include <string>
#include <vector>

namespace {

using vcl::Make;

class InputControlsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = new vcl::TForm(nullptr);
        form->SetBounds(0, 0, 400, 300);
    }
    void TearDown() override {
        delete form;
        UiTest::TearDown();
    }
    vcl::TForm* form = nullptr;
};

TEST_F(InputControlsTest, ComboBoxRaisesOnChangeOnlyForTheUsersChange) {
    auto* combo = Make<vcl::TComboBox>(form, form, "Combo");
    combo->SetStyle(vcl::csDropDownList);
    int changes = 0;
    combo->OnChange = [&](vcl::TObject*) { ++changes; };
    int a = 1, b = 2, c = 3;
    combo->Items()->AddObject("bravo", &b);
    combo->Items()->AddObject("alpha", &a);
    combo->SetItemIndex(1);
    combo->Items()->InsertObject(0, "charlie", &c);
    combo->Items()->Delete(0);
    combo->SetText("bravo");
    EXPECT_EQ(changes, 0); // nothing the code did counts
    EXPECT_EQ(combo->GetItemIndex(), 0);
    EXPECT_EQ(combo->GetText(), "bravo");

    form->Show();
    W(combo)->setFocus();
    QTest::keyClick(W(combo), Qt::Key_Down); // the user picks the next item
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo->GetItemIndex(), 1);
    EXPECT_EQ(combo->Items()->Objects(combo->GetItemIndex()), &a);

    // Sorting orders the present items, case-blind, and keeps the choice and the objects.
    combo->SetSorted(true);
    combo->Items()->AddObject("Able", &c);
    EXPECT_EQ(combo->Items()->Strings(0), "Able");
    EXPECT_EQ(combo->Items()->Strings(1), "alpha");
    EXPECT_EQ(combo->Items()->Strings(2), "bravo");
    EXPECT_EQ(combo->GetText(), "alpha");
    EXPECT_EQ(combo->Items()->IndexOfObject(&b), 2);
    EXPECT_EQ(combo->Items()->IndexOf("missing"), -1);
    EXPECT_EQ(combo->Items()->Objects(7), nullptr);
    combo->Clear();
    EXPECT_EQ(combo->GetItemIndex(), -1);
    EXPECT_EQ(changes, 1);
}

TEST_F(InputControlsTest, EditableComboBoxReportsTypingButNotTextSetByCode) {
    auto* combo = Make<vcl::TComboBox>(form, form, "Combo");
    std::vector<std::string> seen;
    combo->OnChange = [&](vcl::TObject*) { seen.push_back(combo->GetText()); };
    combo->Items()->Add("one");
    combo->SetText("set by code");
    combo->SetMaxLength(4);
    form->Show();
    auto* edit = static_cast<QComboBox*>(W(combo))->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, "abcdef");
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "ab", "abc", "abcd"}));
}

TEST_F(InputControlsTest, ListBoxClicksForTheUserOnly) {
    auto* list = Make<vcl::TListBox>(form, form, "List");
    list->SetBounds(0, 0, 200, 120);
    int clicks = 0;
    list->OnClick = [&](vcl::TObject*) { ++clicks; };
    for (const char* t : {"one", "two", "three"})
        list->Items()->Add(t);
    list->SetItemIndex(1);
    list->SetSelected(2, true);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(list->GetItemIndex(), 2);
    EXPECT_EQ(list->SelCount(), 1);

    form->Show();
    auto* view = static_cast<QListWidget*>(W(list));
    const QRect first = view->visualItemRect(view->item(0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(list->GetItemIndex(), 0);
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(list->GetItemIndex(), 1);

    list->SetMultiSelect(true);
    list->SetSelected(0, true);
    list->SetSelected(2, true);
    EXPECT_EQ(list->SelCount(), 3);
    list->ClearSelection();
    EXPECT_EQ(list->SelCount(), 0);
    EXPECT_EQ(clicks, 2);
    list->SetSorted(true);
    EXPECT_EQ(list->Items()->Strings(0), "one");
    EXPECT_EQ(list->Items()->Strings(1), "three");
}

TEST_F(InputControlsTest, SpinEditHoldsItsRangeAndReportsEveryChange) {
    auto* spin = Make<vcl::TCSpinEdit>(form, form, "Spin");
    std::vector<int> seen;
    spin->OnChange = [&](vcl::TObject*) { seen.push_back(spin->GetValue()); };
    spin->SetMinValue(1);
    spin->SetMaxValue(12);
    spin->SetValue(40);
    spin->SetValue(12); // no change, no event
    spin->SetValue(-3);
    form->Show();
    W(spin)->setFocus();
    QTest::keyClick(W(spin), Qt::Key_Up);
    EXPECT_EQ(seen, (std::vector<int>{1, 12, 1, 2}));
    // A narrower range moves the value inside it, and that is a change too.
    spin->SetValue(10);
    spin->SetMaxValue(5);
    EXPECT_EQ(spin->GetValue(), 5);
    EXPECT_EQ(seen.back(), 5);
}

TEST_F(InputControlsTest, MaskEditTakesOnlyWhatTheMaskAllows) {
    struct Case {
        const char* mask;
        const char* toolkit;
    };
    for (const Case& c :
         {Case{"!99/99/0000;1;_", "99/99/0000;_"}, Case{"LLaa;0; ", "AAnn; "},
          Case{"000.000", "000.000;_"}, Case{"\\AC;1;*", "\\AX;*"}, Case{"NX", "\\N\\X;_"}})
        EXPECT_EQ(vcl::TMaskEdit::ToolkitMask(c.mask), c.toolkit) << c.mask;

    auto* edit = Make<vcl::TMaskEdit>(form, form, "Mask");
    int changes = 0;
    edit->OnChange = [&](vcl::TObject*) { ++changes; };
    edit->SetEditMask("000.000;1;_");
    form->Show();
    W(edit)->setFocus();
    static_cast<QLineEdit*>(W(edit))->home(false);
    QTest::keyClicks(W(edit), "12x3456");
    EXPECT_EQ(edit->GetText(), "123.456"); // the letter was not taken
    EXPECT_GT(changes, 0);
    const int before = changes;
    edit->SetText("987654");
    EXPECT_EQ(edit->GetText(), "987.654");
    EXPECT_EQ(changes, before + 1);
}

TEST_F(InputControlsTest, DatePickerRefusesImpossibleDatesAndReportsOnlyTheUser) {
    EXPECT_TRUE(vcl::IsValidDate(2024, 2, 29));
    EXPECT_FALSE(vcl::IsValidDate(2023, 2, 29));
    EXPECT_FALSE(vcl::IsValidDate(2100, 2, 29));
    EXPECT_TRUE(vcl::IsValidDate(2000, 2, 29));
    EXPECT_FALSE(vcl::IsValidDate(2024, 4, 31));
    EXPECT_FALSE(vcl::IsValidDate(2024, 13, 1));

    auto* picker = Make<vcl::TDateTimePicker>(form, form, "Date");
    int changes = 0;
    picker->OnChange = [&](vcl::TObject*) { ++changes; };
    const vcl::TDateTimeValue day{2026, 12, 10, 22, 0, 0};
    EXPECT_TRUE(picker->SetDateTime(day));
    EXPECT_FALSE(picker->SetDateTime({2026, 2, 30, 0, 0, 0}));
    EXPECT_FALSE(picker->SetDateTime({2026, 2, 1, 24, 0, 0}));
    EXPECT_EQ(picker->GetDateTime(), day);
    EXPECT_EQ(changes, 0);
    form->Show();
    auto* edit = static_cast<QDateTimeEdit*>(W(picker));
    edit->setFocus();
    edit->setCurrentSection(QDateTimeEdit::DaySection);
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(picker->GetDateTime().Day, 11);
}

TEST_F(InputControlsTest, AnimationStepsThroughItsFramesAndStopsAfterItsRounds) {
    auto* frames = new vcl::TImageList(form);
    frames->AddStockIcon(vcl::siInformation);
    frames->AddStockIcon(vcl::siWarning);
    frames->AddStockIcon(vcl::siError);
    auto* anim = Make<vcl::TAnimate>(form, form, "Anim");
    std::vector<std::string> events;
    anim->OnStart = [&](vcl::TObject*) { events.push_back("start"); };
    anim->OnStop = [&](vcl::TObject*) { events.push_back("stop"); };
    anim->SetActive(true); // no frames: it cannot play
    EXPECT_FALSE(anim->GetActive());
    anim->SetFrames(frames);
    anim->SetInterval(10);
    anim->SetRepetitions(2);
    std::vector<int> shown;
    anim->Play();
    ASSERT_TRUE(PumpUntil([&] {
        if (shown.empty() || shown.back() != anim->GetFrame()) shown.push_back(anim->GetFrame());
        return !anim->GetActive();
    }));
    EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
    // Two rounds: 0 1 2 0 1 2, then it stops.
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 0, 1, 2}));
    anim->SetFrame(9);
    EXPECT_EQ(anim->GetFrame(), 2);
}

TEST_F(InputControlsTest, MemoHoldsLinesAndReadOnlyRefusesTyping) {
    auto* memo = Make<vcl::TMemo>(form, form, "Memo");
    int changes = 0;
    memo->OnChange = [&](vcl::TObject*) { ++changes; };
    memo->SetLines({"first", "second"});
    memo->AddLine("third");
    EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(memo->GetText(), "first\nsecond\nthird");
    EXPECT_EQ(changes, 2);
    memo->SetReadOnly(true);
    form->Show();
    W(memo)->setFocus();
    QTest::keyClicks(W(memo), "xyz");
    EXPECT_EQ(memo->Lines().size(), 3u);
    EXPECT_EQ(changes, 2);
    memo->Clear();
    EXPECT_TRUE(memo->Lines().empty());
}

} // namespace
