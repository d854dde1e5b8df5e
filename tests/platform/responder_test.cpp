// The scripted responder: answers as scripted, and fails the test, without blocking, on any box
// or form it was not told about.
#include "ui_fixture.h"

#include "vcl/dialogs.h"
#include "vcl/form.h"
#include "vcl/std_controls.h"

#include <gtest/gtest-spi.h>

namespace {

using ResponderTest = UiTest;

TEST_F(ResponderTest, AnswersTheScriptInOrder) {
    Responder().ExpectBox("Save", vcl::IDNO).ExpectFileDialog({"/tmp/a.cis"}).ExpectFolder("/tmp");
    EXPECT_EQ(vcl::MessageBox("Save changes?", "Brimlet", vcl::MB_YESNO | vcl::MB_ICONQUESTION),
              vcl::IDNO);
    vcl::TOpenDialog open(nullptr);
    open.Filter = "Containers|*.cis";
    EXPECT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName, "/tmp/a.cis");
    std::string folder;
    EXPECT_TRUE(vcl::SelectDirectory("Where", "/", folder));
    EXPECT_EQ(folder, "/tmp");
    ASSERT_EQ(Responder().Boxes().size(), 1u);
    EXPECT_EQ(Responder().Boxes()[0].Request.Icon, vcl::TBoxIcon::Question);
    EXPECT_EQ(Responder().Pending(), 0);
}

TEST_F(ResponderTest, AnUnexpectedBoxFailsWithItsTextAndAnswersAsClosed) {
    int answer = 0;
    EXPECT_NONFATAL_FAILURE(answer = vcl::MessageBox("Disk is full", "Error", vcl::MB_YESNO),
                            "Disk is full");
    EXPECT_EQ(answer, vcl::IDNO);
    Responder().ExpectBox("other text", vcl::IDOK);
    EXPECT_NONFATAL_FAILURE(answer = vcl::MessageBox("Retry?", "", vcl::MB_RETRYCANCEL), "Retry?");
    EXPECT_EQ(answer, vcl::IDCANCEL);
    // The expectation still waits, and an unmet one fails when the responder goes.
    EXPECT_EQ(Responder().Pending(), 1);
    EXPECT_NONFATAL_FAILURE(
        {
            vcl::testing::ScriptedResponder inner;
            inner.ExpectBox("never", vcl::IDOK);
        },
        "was never shown");
    vcl::MessageBox("other text", "", vcl::MB_OK);
}

TEST_F(ResponderTest, ModalFormsAreDrivenOrFailWhenUnexpectedOrLeftOpen) {
    vcl::TForm form(nullptr);
    form.Name = "Ask";
    form.SetCaption("Question");
    auto* yes = vcl::Make<vcl::TButton>(&form, &form, "Yes");
    yes->SetModalResult(vcl::mrYes);
    bool shown = false;
    form.OnShow = [&](vcl::TObject*) { shown = true; };
    Responder().ExpectModal("Ask", [&](vcl::TForm&) {
        EXPECT_TRUE(shown);
        yes->Click();
    });
    EXPECT_EQ(form.ShowModal(), vcl::mrYes);
    EXPECT_FALSE(form.GetVisible());

    int result = -1;
    EXPECT_NONFATAL_FAILURE(result = form.ShowModal(), "unexpected modal form: Ask \"Question\"");
    EXPECT_EQ(result, vcl::mrCancel);
    Responder().ExpectModal("Ask", [](vcl::TForm&) {});
    EXPECT_NONFATAL_FAILURE(result = form.ShowModal(), "left open");
    EXPECT_EQ(result, vcl::mrCancel);
    EXPECT_FALSE(form.GetVisible());
    Responder().ExpectModal("Ask", vcl::mrNo);
    EXPECT_EQ(form.ShowModal(), vcl::mrNo);
}

} // namespace
