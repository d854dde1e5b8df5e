// Start-up notes: what the start refused is shown in one warning box once the start is done.
#include "msgbox.h"
#include "startup_notes.h"

#include "vcl/testing/scripted_responder.h"

#include <gtest/gtest.h>

namespace {

TEST(StartupNotes, AllNotesShowInOneWarningBoxOnce) {
    TakeStartupNotes();
    vcl::testing::ScriptedResponder responder;
    ShowStartupNotes(); // nothing kept: no box
    EXPECT_TRUE(responder.Boxes().empty());

    AddStartupNote("The settings file /x/brimlet.ini is larger than 16 MiB.");
    AddStartupNote("The key store /x/keystore.txt cannot be read.");
    responder.ExpectBox("brimlet.ini", vcl::IDOK);
    ShowStartupNotes();
    ASSERT_EQ(responder.Boxes().size(), 1u);
    const vcl::TMessageBoxRequest& box = responder.Boxes()[0].Request;
    EXPECT_EQ(box.Text, "The settings file /x/brimlet.ini is larger than 16 MiB.\n\n"
                        "The key store /x/keystore.txt cannot be read.");
    EXPECT_EQ(box.Caption, GetMessageText(15));
    EXPECT_EQ(box.Icon, vcl::TBoxIcon::Warning);
    ShowStartupNotes(); // shown once
    EXPECT_EQ(responder.Boxes().size(), 1u);
}

} // namespace
