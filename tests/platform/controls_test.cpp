// The controls: label sizing and plain texts, edit limits and change events, check and radio
// clicks, hidden tabs, progress range, pictures and image lists, bitmap buttons, the cursor.
#include "ui_fixture.h"

#include "vcl/buttons.h"
#include "vcl/com_controls.h"
#include "vcl/exception.h"
#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/image_list.h"
#include "vcl/list_view.h"
#include "vcl/screen.h"
#include "vcl/std_controls.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>

#include <string>
#include <vector>

namespace {

using vcl::Make;

class ControlsTest : public UiTest {
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
    static std::string Png(int width, int height) {
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes.toStdString();
    }
    vcl::TForm* form = nullptr;
};

TEST_F(ControlsTest, LabelsShowPlainTextAndSizeToIt) {
    auto* label = Make<vcl::TLabel>(form, form, "Label");
    label->SetCaption("&Ok <b>bold</b>");
    auto* q = static_cast<QLabel*>(W(label));
    EXPECT_EQ(q->text(), QStringLiteral("Ok <b>bold</b>")); // accelerator gone, markup shown as is
    EXPECT_EQ(q->textFormat(), Qt::PlainText);
    const int oneLine = label->GetHeight();
    const int shortWidth = label->GetWidth();
    label->SetCaption("&Ok <b>bold</b> and a good deal more text\nsecond line");
    EXPECT_GT(label->GetWidth(), shortWidth);
    EXPECT_GT(label->GetHeight(), oneLine);
    // Word wrap keeps the width and grows the height.
    label->SetWordWrap(true);
    label->SetWidth(60);
    EXPECT_EQ(label->GetWidth(), 60);
    EXPECT_GT(label->GetHeight(), 2 * oneLine);
    // Fonts by pixels (as descriptions write them) or by points; the label follows.
    label->Font()->SetHeight(-15);
    EXPECT_EQ(q->font().pixelSize(), 15);
    label->Font()->SetSize(12);
    EXPECT_EQ(q->font().pointSize(), 12);
    label->Font()->SetStyle({vcl::fsBold});
    EXPECT_TRUE(q->font().bold());
    // Without AutoSize the bounds are the ones set.
    label->SetAutoSize(false);
    label->SetBounds(1, 2, 30, 40);
    EXPECT_EQ(label->BoundsRect(), (vcl::TRect{1, 2, 31, 42}));
}

TEST_F(ControlsTest, LongWordsWrapInsideTheLabelWithTheirTextUnchanged) {
    // A path without a blank, far wider than its label: it is shown as given (nothing put into
    // it for the breaks), its lines stay inside the label, and the label grows to hold them.
    const std::string path = "/mnt/units/alpha/Movies/" + std::string(90, 'x') + "/disc-image.iso";
    auto* label = Make<vcl::TLabel>(form, form, "Label");
    auto* q = static_cast<QLabel*>(W(label));
    const int oneLine = label->GetHeight();
    label->SetWordWrap(true);
    label->SetWidth(150);
    label->SetCaption(path);
    EXPECT_EQ(q->text().toStdString(), path);
    EXPECT_GT(QFontMetrics(q->font()).horizontalAdvance(q->text()), 3 * label->GetWidth());
    EXPECT_LE(label->TextWidth(), label->GetWidth());
    EXPECT_LE(label->TextHeight(), label->GetHeight());
    EXPECT_GT(label->GetHeight(), 3 * oneLine);
    // The lines are painted as measured: ink down to the last line, none in a blank band below.
    form->Show();
    label->SetColor(vcl::clWhite);
    const QImage picture = q->grab().toImage();
    int lowestInk = -1;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, y)) < 128) lowestInk = y;
    EXPECT_GT(lowestInk, label->GetHeight() - oneLine - 1);
    // A blank between words is still where a line breaks first.
    label->SetCaption("short words then " + std::string(40, 'y'));
    EXPECT_LE(label->TextWidth(), label->GetWidth());
    EXPECT_EQ(q->text().toStdString(), "short words then " + std::string(40, 'y'));
}

TEST_F(ControlsTest, EditLimitsTypingNotCodeAndReportsEveryChange) {
    auto* edit = Make<vcl::TEdit>(form, form, "Edit");
    int changes = 0;
    edit->OnChange = [&](vcl::TObject*) { ++changes; };
    edit->SetMaxLength(3);
    form->Show();
    QTest::keyClicks(W(edit), "abcdef");
    EXPECT_EQ(edit->GetText(), "abc");
    EXPECT_EQ(changes, 3);
    edit->SetText("longer than three"); // code is not cut
    EXPECT_EQ(edit->GetText(), "longer than three");
    EXPECT_EQ(changes, 4);
    edit->SelectAll();
    EXPECT_EQ(edit->GetSelLength(), 17);
    edit->SetPasswordChar('*');
    EXPECT_EQ(static_cast<QLineEdit*>(W(edit))->echoMode(), QLineEdit::Password);
    edit->SetText("");
    edit->SetMaxLength(0);
    QTest::keyClicks(W(edit), "abcdef");
    EXPECT_EQ(edit->GetText(), "abcdef");
}

TEST_F(ControlsTest, CheckAndRadioButtonsClickWhenCodeChangesThem) {
    auto* check = Make<vcl::TCheckBox>(form, form, "Check");
    auto* r1 = Make<vcl::TRadioButton>(form, form, "R1");
    auto* r2 = Make<vcl::TRadioButton>(form, form, "R2");
    r2->SetTop(30);
    std::vector<std::string> clicks;
    check->OnClick = [&](vcl::TObject*) { clicks.push_back(check->GetChecked() ? "on" : "off"); };
    r1->OnClick = [&](vcl::TObject*) { clicks.push_back("r1"); };
    r2->OnClick = [&](vcl::TObject*) { clicks.push_back("r2"); };
    check->SetChecked(true);
    check->SetChecked(true); // no change, no click
    form->Show();
    QTest::mouseClick(W(check), Qt::LeftButton, {}, QPoint(5, W(check)->height() / 2));
    r1->SetChecked(true);
    r2->SetChecked(true);
    EXPECT_FALSE(r1->GetChecked());
    EXPECT_EQ(clicks, (std::vector<std::string>{"on", "off", "r1", "r2"}));
    check->SetState(vcl::cbGrayed);
    EXPECT_EQ(check->GetState(), vcl::cbGrayed);
}

TEST_F(ControlsTest, PagesWithHiddenTabsAreChosenByCodeOnly) {
    auto* pages = Make<vcl::TPageControl>(form, form, "Pages");
    pages->SetAlign(vcl::alClient);
    auto* one = Make<vcl::TTabSheet>(form, pages, "One");
    auto* two = Make<vcl::TTabSheet>(form, pages, "Two");
    one->SetCaption("One");
    two->SetCaption("Two");
    auto* label = Make<vcl::TLabel>(form, two, "OnTwo");
    form->Show();
    // Only the active page shows, however many were added after it.
    EXPECT_TRUE(W(one)->isVisible());
    EXPECT_FALSE(W(two)->isVisible());
    auto* bar = W(pages)->findChild<QTabBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->count(), 2);
    EXPECT_EQ(pages->GetActivePage(), one);
    int changes = 0;
    pages->OnChange = [&](vcl::TObject*) { ++changes; };
    bool allow = false;
    pages->OnChanging = [&](vcl::TObject*, bool& a) { a = allow; };
    bar->setCurrentIndex(1); // a refused tab click
    EXPECT_EQ(pages->GetActivePage(), one);
    EXPECT_EQ(bar->currentIndex(), 0);
    allow = true;
    bar->setCurrentIndex(1);
    EXPECT_EQ(pages->GetActivePage(), two);
    EXPECT_EQ(changes, 1);
    one->SetTabVisible(false);
    two->SetTabVisible(false);
    EXPECT_FALSE(bar->isVisible());
    pages->SetActivePage(one); // code raises nothing
    EXPECT_EQ(pages->GetActivePageIndex(), 0);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(label->Showing());
    pages->SetActivePageIndex(1);
    EXPECT_TRUE(W(label)->isVisible());
    EXPECT_GT(two->GetWidth(), 300); // the sheet fills the page control
    // A sheet belongs in a page control only.
    auto* stray = new vcl::TTabSheet(form);
    EXPECT_THROW(stray->SetParent(form), vcl::EInvalidOperation);
}

TEST_F(ControlsTest, ProgressStaysInItsRange) {
    auto* bar = Make<vcl::TProgressBar>(form, form, "Bar");
    bar->SetPosition(150);
    EXPECT_EQ(bar->GetPosition(), 100);
    bar->SetMin(10);
    bar->SetPosition(-5);
    EXPECT_EQ(bar->GetPosition(), 10);
    bar->SetMax(5); // the range follows: min comes down
    EXPECT_EQ(bar->GetMin(), 5);
    EXPECT_EQ(bar->GetPosition(), 5);
}

TEST_F(ControlsTest, PicturesFromBytesAndImageLists) {
    auto* image = Make<vcl::TImage>(form, form, "Image");
    const std::string png = Png(40, 20);
    image->Picture()->LoadFromBytes(png.data(), png.size());
    EXPECT_EQ(image->Picture()->Width(), 40);
    const std::string junk = "not a picture at all";
    EXPECT_THROW(image->Picture()->LoadFromBytes(junk.data(), junk.size()), vcl::EInvalidGraphic);
    EXPECT_EQ(image->Picture()->Height(), 20); // the old picture stays
    EXPECT_THROW(image->Picture()->LoadFromFile("/nonexistent/picture.png"), vcl::EInvalidGraphic);

    auto* images = new vcl::TImageList(form);
    images->SetSize(32, 32);
    EXPECT_EQ(images->AddStockIcon(vcl::siWarning), 0);
    EXPECT_EQ(images->AddFromBytes(png.data(), png.size()), 1);
    EXPECT_THROW(images->AddFromBytes(junk.data(), junk.size()), vcl::EInvalidGraphic);
    EXPECT_EQ(images->Count(), 2);
    vcl::TPicture icon;
    ASSERT_TRUE(images->GetPicture(1, icon));
    EXPECT_EQ(icon.Width(), 32); // scaled into the list's size
    EXPECT_FALSE(images->GetPicture(2, icon));
    // A view forgets an image list that goes before it.
    auto* list = Make<vcl::TListView>(form, form, "List");
    list->SetSmallImages(images);
    delete images;
    EXPECT_EQ(list->GetSmallImages(), nullptr);
}

TEST_F(ControlsTest, BitmapButtonKindsAndTheScreenCursor) {
    auto* ok = Make<vcl::TBitBtn>(form, form, "Ok");
    ok->SetKind(vcl::bkOK);
    EXPECT_EQ(ok->GetCaption(), "OK");
    EXPECT_EQ(ok->GetModalResult(), vcl::mrOk);
    EXPECT_TRUE(ok->GetDefault());
    form->SetModalResult(vcl::mrNone);
    ok->Click();
    EXPECT_EQ(form->GetModalResult(), vcl::mrOk);

    vcl::Screen->SetCursor(vcl::crHourGlass);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    vcl::Screen->SetCursor(vcl::crDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
