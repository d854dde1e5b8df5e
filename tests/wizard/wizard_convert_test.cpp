// The conversion of CD-server images as a user meets it: a folder of image files (a mounted
// image share), the images chosen, a simulated unit as the target. The unit's record of the
// transfer session shows the pieces, the trailers and the end; the first image that fails (Cancel,
// a refusal) aborts the session and ends the batch, and the report names every image.
#include "wizard_fixture.h"

#include "fmmsg.h"
#include "form1.h"
#include "password.h"
#include "requests.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A CD-server image: a 4096-byte header with the flag word at byte 4, then the data.
Bytes CdhImage(std::uint32_t flags, std::size_t dataBytes, std::uint8_t seed) {
    Bytes b(4096 + dataBytes);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    for (int k = 0; k < 4; ++k)
        b[4 + k] = static_cast<std::uint8_t>(flags >> (8 * k));
    return b;
}

void Write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

class WizardConvertTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        vcl::Application->CreateForm(Form1);
        root_ = fs::temp_directory_path() / ("brimlet-convert-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        images_ = root_ / "MIRROR" / "_IMAGE_";
        a_ = CdhImage(0x00000100, 24576, 1); // bits other than 0 and 9 allow the conversion
        b_ = CdhImage(0x00000002, 16384, 2);
        Write(images_ / "A.IMG", a_);
        Write(images_ / "SUB" / "B.IMG", b_);
        Write(images_ / "HIDDEN.IMG", CdhImage(0x00000200, 100, 3));
        Write(images_ / "SYSTEM.IMG", CdhImage(0x00000001, 100, 4));
        Write(images_ / "TINY.IMG", Bytes(100, 0));
        fs::create_directory_symlink(images_, images_ / "LOOP");
    }
    void TearDown() override {
        delete Form_Password;
        delete Form1;
        Form1 = nullptr;
        WizardTest::TearDown();
        fs::remove_all(root_);
    }

    void Type(vcl::TEdit* edit, const std::string& text) {
        QWidget* w = FocusTarget(edit);
        w->setFocus();
        edit->SetText("");
        for (const QChar ch : QString::fromStdString(text)) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &press);
            QApplication::sendEvent(w, &release);
        }
    }
    void ExpectAccount(std::function<void()> alsoDo = {}) {
        Responder().ExpectModal("Form_Password", [alsoDo](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            dialog.Edit_UserName->SetText("admin");
            dialog.Edit_Password->SetText("pw-UNIT1");
            if (alsoDo) alsoDo();
            dialog.Button_Ok->Click();
        });
    }

    // Job 10 up to the target page with both usable images chosen.
    Unit& ToTargetPage(bool firstOnly = false) {
        Unit& unit = AddUnit("UNIT1", 1, false);
        TFmWizard& w = Wizard();
        w.StartJob(kJobConvertCdh);
        EXPECT_EQ(Kind(), kPageCdhFolder);
        Type(w.Edit_CDHImgFolder, images_.string() + "/");
        Responder().ExpectBox("These files are not listed:", vcl::IDOK);
        w.bbNext->Click();
        EXPECT_EQ(Kind(), kPageSelectCdhImages);
        for (int i = 0; i < (firstOnly ? 1 : w.ListView_CDHImgNotSel->Items()->Count()); ++i)
            w.ListView_CDHImgNotSel->Items()->Item(i)->SetSelected(true);
        w.BBtn_AddCDHImg->Click();
        w.bbNext->Click();
        EXPECT_EQ(Kind(), kPageConvertTarget);
        return unit;
    }

    fs::path root_;
    fs::path images_;
    Bytes a_;
    Bytes b_;
};

TEST_F(WizardConvertTest, ImagesAreSentInPiecesWithTheirTrailersThenConverted) {
    Unit& unit = AddUnit("UNIT1", 1, false);
    TFmWizard& w = Wizard();
    w.StartJob(kJobConvertCdh);
    ASSERT_EQ(Kind(), kPageCdhFolder);
    // A folder that does not exist, and one that is not an image folder.
    Type(w.Edit_CDHImgFolder, (root_ / "NONE").string());
    Responder().ExpectBox("Path is not exist", vcl::IDOK);
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageCdhFolder);
    Type(w.Edit_CDHImgFolder, (root_ / "MIRROR").string());
    Responder().ExpectBox("Please specify a valid UNC path", vcl::IDOK);
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageCdhFolder);

    Type(w.Edit_CDHImgFolder, images_.string() + "/");
    Responder().ExpectBox("These files are not listed:", vcl::IDOK);
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageSelectCdhImages);
    // Every file left out was named with its reason.
    const std::string report = Responder().Boxes().back().Request.Text;
    for (const char* line : {"HIDDEN.IMG: marked by the CD server as not convertible",
                             "SYSTEM.IMG: marked by the CD server as not convertible",
                             "TINY.IMG: shorter than the 4096-byte image header",
                             "LOOP: a link to a folder, not followed"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    ASSERT_EQ(w.ListView_CDHImgNotSel->Items()->Count(), 2);
    vcl::TListItem* first = w.ListView_CDHImgNotSel->Items()->Item(0);
    EXPECT_EQ(first->GetCaption(), "A.IMG");
    EXPECT_EQ(first->SubItems()->Strings(0), "28672");
    EXPECT_EQ(first->SubItems()->Strings(1), images_.string() + "/");
    EXPECT_EQ(w.ListView_CDHImgNotSel->Items()->Item(1)->SubItems()->Strings(1),
              (images_ / "SUB").string() + "/");

    // Nothing chosen: the page stays and Next goes off.
    Responder().ExpectModal("Form1", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm1&>(form);
        EXPECT_NE(dialog.Label1->GetCaption().find("Please select at least one item!"),
                  std::string::npos);
        dialog.ButtonNumber(1)->Click();
    });
    w.bbNext->Click();
    EXPECT_EQ(Kind(), kPageSelectCdhImages);
    EXPECT_FALSE(w.bbNext->GetEnabled());
    for (int i = 0; i < 2; ++i)
        w.ListView_CDHImgNotSel->Items()->Item(i)->SetSelected(true);
    w.BBtn_AddCDHImg->Click();
    EXPECT_TRUE(w.bbNext->GetEnabled());
    EXPECT_EQ(w.ListView_CDHImgSel->Items()->Count(), 2);
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageConvertTarget);
    EXPECT_EQ(w.ComboBox_ToNasServer->GetText(), "UNIT1");
    EXPECT_EQ(w.ComboBox_ImageFolder->GetText(), "ISO");
    EXPECT_EQ(w.bbOk->GetCaption(), "Convert");

    ExpectAccount();
    w.bbOk->Click();

    // An abort has no reply: wait until the unit has taken it.
    ASSERT_TRUE(unit.sim->waitForSessionsEnded(1, std::chrono::seconds(30)));
    const auto sessions = unit.sim->sessions();
    ASSERT_EQ(sessions.size(), 1u);
    const nassim::Session& s = sessions[0];
    EXPECT_EQ(s.kind, nassim::SessionKind::ImageTransfer);
    EXPECT_EQ(s.end, nassim::SessionEnd::Completed);
    // A: a full piece and a piece of 8192; B: one full piece. Each image ends with 1024 zero
    // bytes and the first 3072 bytes of its header.
    EXPECT_EQ(s.blockSizes, (std::vector<std::size_t>{16384, 8192, 1024, 3072, 16384, 1024, 3072}));
    ASSERT_EQ(s.files.size(), 2u);
    EXPECT_EQ(s.files[0].name, "A.IMG");
    EXPECT_EQ(s.files[0].announcedSize, 28672u);
    EXPECT_EQ(s.files[1].name, "B.IMG");
    EXPECT_EQ(s.files[1].announcedSize, 20480u);
    EXPECT_TRUE(s.files[1].complete);
    Bytes expected(a_.begin() + 4096, a_.end());
    expected.resize(expected.size() + 1024, 0);
    expected.insert(expected.end(), a_.begin(), a_.begin() + 3072);
    expected.insert(expected.end(), b_.begin() + 4096, b_.end());
    expected.resize(expected.size() + 1024, 0);
    expected.insert(expected.end(), b_.begin(), b_.begin() + 3072);
    EXPECT_TRUE(s.data == expected) << s.data.size() << " bytes received";

    const auto converts = unit.sim->requestsFor(nassim::kCommandConvert);
    ASSERT_EQ(converts.size(), 1u);
    nassim::requests::Convert convert;
    EXPECT_EQ(nassim::requests::DecodeConvert(converts[0].bytes, *converts[0].header, convert), "");
    EXPECT_EQ(convert.folder, "ISO");
    EXPECT_EQ(convert.account.user, "admin");
}

TEST_F(WizardConvertTest, CancelAbortsTheSessionAndNothingIsConverted) {
    Unit& unit = ToTargetPage();
    // The user presses Cancel as the upload starts.
    ExpectAccount([] {
        QTimer::singleShot(0, [] {
            ASSERT_NE(FmMsg, nullptr);
            FmMsg->Button_Cancel->Click();
        });
    });
    Responder().ExpectBox("User canceled or read file error!", vcl::IDOK);
    // Cancel ends the batch: the images after it are not sent.
    Responder().ExpectBox("A.IMG: stopped by the user\nB.IMG: not sent", vcl::IDOK);
    Wizard().bbOk->Click();
    // An abort has no reply: wait until the unit has taken it.
    ASSERT_TRUE(unit.sim->waitForSessionsEnded(1, std::chrono::seconds(30)));
    const auto sessions = unit.sim->sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, nassim::SessionEnd::Aborted);
    EXPECT_EQ(sessions[0].abortReason, 4096);
    EXPECT_TRUE(unit.sim->requestsFor(nassim::kCommandConvert).empty());
}

// Three images, and the unit refuses a piece of the second (it is full): the transfer stops there,
// its session is aborted, the third is not sent, and the image that arrived is converted. The
// report names each image with what became of it.
TEST_F(WizardConvertTest, AFailedImageStopsTheBatchAndTheReportNamesEveryImage) {
    const Bytes c = CdhImage(0, 8192, 7);
    Write(images_ / "C.IMG", c);
    Unit& unit = ToTargetPage();
    ASSERT_EQ(Wizard().ListView_CDHImgSel->Items()->Count(), 3);
    nassim::CommandFault full;
    full.command = nassim::kCommandImageTransfer;
    full.subCode = 26;
    full.occurrence = 5; // A.IMG's two pieces and two trailers, then B.IMG's first piece
    full.status = nassim::kStatusNoFreeSpace;
    unit.sim->addCommandFault(full);
    ExpectAccount();
    Responder().ExpectBox("No free space on server.", vcl::IDOK);
    Responder().ExpectBox("A.IMG: sent\nB.IMG: refused by the unit: No free space on server.\n"
                          "C.IMG: not sent\n",
                          vcl::IDOK);
    Wizard().bbOk->Click();
    // One box for the failed image and the report: no box for the image after it.
    ASSERT_GE(Responder().Boxes().size(), 2u);
    EXPECT_EQ(Responder().Boxes().back().Request.Text,
              "A.IMG: sent\nB.IMG: refused by the unit: No free space on server.\n"
              "C.IMG: not sent\n");
    ASSERT_TRUE(unit.sim->waitForSessionsEnded(1, std::chrono::seconds(30)));
    const auto sessions = unit.sim->sessions();
    // No second transfer for C.IMG.
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, nassim::SessionEnd::Aborted);
    EXPECT_EQ(sessions[0].abortReason, 4096);
    ASSERT_EQ(sessions[0].files.size(), 2u);
    EXPECT_EQ(sessions[0].files[0].name, "A.IMG");
    EXPECT_TRUE(sessions[0].files[0].complete);
    EXPECT_EQ(sessions[0].files[1].name, "B.IMG");
    EXPECT_FALSE(sessions[0].files[1].complete);
    EXPECT_EQ(unit.sim->requestsFor(nassim::kCommandImageTransfer).size(), 6u); // start + 5 data
    EXPECT_EQ(unit.sim->requestsFor(nassim::kCommandConvert).size(), 1u);
}

// The last piece of an image whose data is no multiple of 4096 is padded with zeros; the unit
// takes the image padded to its 4096-byte units, and the folder is converted.
TEST_F(WizardConvertTest, AnUnalignedImageIsPaddedAndTheUnitTakesIt) {
    a_ = CdhImage(0, 20000, 5);
    Write(images_ / "A.IMG", a_);
    Unit& unit = ToTargetPage(true);
    ExpectAccount();
    Wizard().bbOk->Click();
    ASSERT_TRUE(unit.sim->waitForSessionsEnded(1, std::chrono::seconds(30)));
    const auto sessions = unit.sim->sessions();
    ASSERT_EQ(sessions.size(), 1u);
    const nassim::Session& s = sessions[0];
    EXPECT_EQ(s.blockSizes, (std::vector<std::size_t>{16384, 4096, 1024, 3072}));
    ASSERT_EQ(s.data.size(), 24576u);
    EXPECT_TRUE(std::equal(a_.begin() + 4096, a_.end(), s.data.begin()));
    EXPECT_TRUE(std::all_of(s.data.begin() + 20000, s.data.begin() + 20480 + 1024,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(a_.begin(), a_.begin() + 3072, s.data.begin() + 20480 + 1024));
    EXPECT_EQ(s.end, nassim::SessionEnd::Completed);
    EXPECT_EQ(unit.sim->requestsFor(nassim::kCommandConvert).size(), 1u);
}

// The unit refuses the first image at its completion: the batch ends there, the second image is
// not sent, and with nothing arrived nothing is converted.
TEST_F(WizardConvertTest, ARefusedFirstImageEndsTheBatchWithNothingConverted) {
    Unit& unit = ToTargetPage();
    nassim::CommandFault refuse;
    refuse.command = nassim::kCommandImageComplete;
    refuse.occurrence = 1;
    refuse.status = nassim::kStatusInvalidBlock;
    unit.sim->addCommandFault(refuse);
    ExpectAccount();
    Responder().ExpectBox("Invalid block!", vcl::IDOK);
    Responder().ExpectBox("A.IMG: refused by the unit: Invalid block!\nB.IMG: not sent\n",
                          vcl::IDOK);
    Wizard().bbOk->Click();
    ASSERT_TRUE(unit.sim->waitForSessionsEnded(1, std::chrono::seconds(30)));
    const auto sessions = unit.sim->sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, nassim::SessionEnd::Aborted);
    EXPECT_TRUE(unit.sim->requestsFor(nassim::kCommandConvert).empty());
}

// A unit of encoding kind 0 keeps its names in the code page: its folder goes back as it listed it,
// byte for byte, and the file names (UTF-8 on the host) reach it in the code page.
TEST_F(WizardConvertTest, AKindZeroUnitGetsItsFolderBackAndTheNamesInItsCodePage) {
    const Bytes accented = CdhImage(0, 4096, 6);
    Write(images_ / "\xC3\x89T\xC3\x89.IMG", accented); // ÉTÉ.IMG
    Unit& unit = ToTargetPage();
    TFmWizard& w = Wizard();
    unit.server->Info.textEncodingKind = 0;
    unit.server->ImgFolderCount = 0;
    unit.sim->setImageFolders({"Caf\xE9"}); // Café in CP1252, as the unit lists it
    w.ComboBox_CDHImgToNasServerChange(nullptr);
    ASSERT_EQ(w.ComboBox_ImageFolder->GetText(), "Caf\xC3\xA9");
    ExpectAccount();
    w.bbOk->Click();
    ASSERT_TRUE(unit.sim->waitForSessionsEnded(1, std::chrono::seconds(30)));
    const nassim::Session s = unit.sim->sessions().at(0);
    EXPECT_EQ(s.end, nassim::SessionEnd::Completed);
    ASSERT_EQ(s.startRequest.size(), 512u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.startRequest.data()) + 56), "Caf\xE9");
    ASSERT_EQ(s.files.size(), 3u);
    EXPECT_EQ(s.files[2].name, "\xC9T\xC9.IMG");
    const auto converts = unit.sim->requestsFor(nassim::kCommandConvert);
    ASSERT_EQ(converts.size(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(converts[0].bytes.data()) + 40 + 52),
              "Caf\xE9");
}

TEST(CdhFolderShare, TheServerOfTheShareThatHoldsAFolder) {
    const std::string table =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 0:50 / /mnt/cdh rw,relatime shared:5 - cifs //CDH-ONE/MIRROR rw,vers=3.0\n"
        "41 22 0:51 / /mnt/nas\\040share rw - smb3 //192.168.5.9/Public rw\n"
        "42 40 0:52 / /mnt/cdh/_IMAGE_/local rw - tmpfs tmpfs rw\n";
    const std::pair<const char*, const char*> cases[] = {
        {"/mnt/cdh/_IMAGE_", "CDH-ONE"},
        {"/mnt/cdh", "CDH-ONE"},
        {"/mnt/nas share/_IMAGE_", "192.168.5.9"},
        {"/mnt/cdh/_IMAGE_/local", ""}, // a local file system mounted below the share
        {"/mnt/cdhx/_IMAGE_", ""},
        {"/home/user/_IMAGE_", ""},
    };
    for (const auto& [folder, server] : cases)
        EXPECT_EQ(TFmWizard::ShareServerOf(folder, table), server) << folder;
    EXPECT_EQ(TFmWizard::ShareServerOf("/mnt/cdh", "garbage line\n- -\n"), "");
}

} // namespace
