// The conversion wizard while it works: the image listing and the upload let events through, and
// the user's clicks on the wizard meanwhile (Back, Next, OK) start nothing a second time.
#include "../containers/container_fixtures.h"
#include "wizard_fixture.h"

#include "password.h"

#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A CD-server image: a 4096-byte header whose flag word allows the conversion, then the data.
void WriteImage(const fs::path& path, std::size_t dataBytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(4096 + dataBytes, '\0');
}

class WizardConvertRunTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        images_ = fs::path(root_.path()) / "MIRROR" / "_IMAGE_";
        WriteImage(images_ / "A.IMG", 40000);
        WriteImage(images_ / "B.IMG", 20000);
        WriteImage(images_ / "TINY.IMG", 0);
        fs::resize_file(images_ / "TINY.IMG", 100); // not listed: shorter than a header
    }
    // Real clicks, as a user's: a disabled window takes none.
    static void Click(vcl::TControl* control) { QTest::mouseClick(W(control), Qt::LeftButton); }

    // Job 10 shown, on the image page with the folder's images listed.
    void ToImagePage() {
        TFmWizard& w = Wizard();
        w.StartJob(kJobConvertCdh);
        w.Show();
        ASSERT_EQ(Kind(), kPageCdhFolder);
        w.Edit_CDHImgFolder->SetText(images_.string());
    }

    fixtures::TempDir root_;
    fs::path images_;
};

TEST_F(WizardConvertRunTest, BackAndNextDuringTheListingListEachImageOnce) {
    AddUnit("UNIT1", 1, false);
    ToImagePage();
    TFmWizard& w = Wizard();
    bool busy = false, enabled = true;
    // The user clicks Back, then Next, while the folder is read.
    QTimer::singleShot(0, [&] {
        busy = w.Busy();
        enabled = w.GetEnabled();
        Click(w.bbBack);
        Click(w.bbNext);
    });
    Responder().ExpectBox("TINY.IMG: shorter than the 4096-byte image header", vcl::IDOK);
    w.bbNext->Click();
    EXPECT_TRUE(busy);
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(w.GetEnabled());
    EXPECT_EQ(Kind(), kPageSelectCdhImages);
    ASSERT_EQ(w.ListView_CDHImgNotSel->Items()->Count(), 2);
    EXPECT_EQ(w.ListView_CDHImgNotSel->Items()->Item(0)->GetCaption(), "A.IMG");
    EXPECT_EQ(w.ListView_CDHImgNotSel->Items()->Item(1)->GetCaption(), "B.IMG");
}

TEST_F(WizardConvertRunTest, OkBackAndCancelDuringTheUploadStartNothingElse) {
    Unit& unit = AddUnit("UNIT1", 1, false);
    ToImagePage();
    TFmWizard& w = Wizard();
    Responder().ExpectBox("TINY.IMG", vcl::IDOK);
    w.bbNext->Click();
    for (int i = 0; i < w.ListView_CDHImgNotSel->Items()->Count(); ++i)
        w.ListView_CDHImgNotSel->Items()->Item(i)->SetSelected(true);
    w.BBtn_AddCDHImg->Click();
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageConvertTarget);

    bool busy = false, enabled = true;
    int pageDuring = -1;
    Responder().ExpectModal("Form_Password", [&](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm_Password&>(form);
        dialog.Edit_UserName->SetText("admin");
        dialog.Edit_Password->SetText("pw-UNIT1");
        // Once the upload runs, the user clicks OK again, then Back and Cancel.
        QTimer::singleShot(0, [&] {
            busy = w.Busy();
            enabled = w.GetEnabled();
            Click(w.bbOk);
            Click(w.bbBack);
            Click(w.bbCancel);
            pageDuring = Kind();
        });
        dialog.Button_Ok->Click();
    });
    w.bbOk->Click();
    EXPECT_TRUE(busy);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(pageDuring, kPageConvertTarget);
    EXPECT_TRUE(w.GetEnabled());
    EXPECT_EQ(Kind(), kPageConvertTarget);
    EXPECT_EQ(w.ListView_CDHImgSel->Items()->Count(), 2);
    // One transfer with both images, one conversion.
    ASSERT_TRUE(unit.sim->waitForSessionsEnded(1, std::chrono::seconds(30)));
    const auto sessions = unit.sim->sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, nassim::SessionEnd::Completed);
    EXPECT_EQ(sessions[0].files.size(), 2u);
    EXPECT_EQ(unit.sim->requestsFor(nassim::kCommandConvert).size(), 1u);
}

} // namespace
