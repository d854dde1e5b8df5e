// The texts of the dialogs in each message language: the property sheet's and the import dialog's
// OK button, captions that stay English in Chinese, the file filters, and message texts that
// must fit their box (the choice dialog with a long name, the about box's lines).
#include "../platform/ui_fixture.h"

#include "about.h"
#include "brandinfo.h"
#include "form1.h"
#include "form_apcfg.h"
#include "form_property.h"
#include "importform.h"
#include "importform_services.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "remotenas.h"
#include "rmtnasip.h"

#include "vcl/dialog_host.h"
#include "vcl/list_view.h"
#include "vcl/modal_host.h"
#include "vcl/screen.h"
#include "vcl/std_controls.h"

#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// The language index, set for one test and restored after it.
class Language {
public:
    explicit Language(int index) : saved_(LanguageIndex) { LanguageIndex = index; }
    ~Language() { LanguageIndex = saved_; }
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

private:
    int saved_;
};

// Every caption, hint and column title of a form's components, by component name.
std::map<std::string, std::string> FormTexts(const vcl::TForm& form) {
    std::map<std::string, std::string> texts;
    texts["(caption)"] = form.GetCaption();
    for (int i = 0; i < form.ComponentCount(); ++i) {
        auto* control = dynamic_cast<vcl::TControl*>(form.Components(i));
        if (!control) continue;
        texts[control->Name] = control->GetCaption();
        if (!control->GetHint().empty()) texts[control->Name + ".hint"] = control->GetHint();
        if (auto* list = dynamic_cast<vcl::TListView*>(control))
            for (int c = 0; c < list->Columns()->Count(); ++c)
                texts[control->Name + ".column" + std::to_string(c)] =
                    list->Columns()->Items(c)->GetCaption();
    }
    return texts;
}

// The import dialog's host without a main window: the base host's columns, no servers.
class BareProfileHost : public TProfileSettingHost {
public:
    vcl::TTreeNode* NasServersNode() override { return nullptr; }
    vcl::TTreeNode* RemoteServersNode() override { return nullptr; }
    void SetBusy(bool) override {}
};

using FormMaker = std::function<std::unique_ptr<vcl::TForm>()>;

struct Dialog {
    const char* name;
    FormMaker make;
};

std::vector<Dialog> Dialogs() {
    return {
        {"property sheet",
         [] { return std::unique_ptr<vcl::TForm>(vcl::MakeForm<TForm_Property>(nullptr)); }},
        {"options",
         [] { return std::unique_ptr<vcl::TForm>(vcl::MakeForm<TForm_ApCfg>(nullptr)); }},
        {"import settings",
         [] {
             auto form = std::unique_ptr<vcl::TForm>(vcl::MakeForm<TForm_ProfileSetting>(nullptr));
             BareProfileHost host;
             // The target lists take their columns when the targets page is shown.
             static_cast<TForm_ProfileSetting*>(form.get())->SetHost(&host);
             static_cast<TForm_ProfileSetting*>(form.get())->RefreshTargetLists();
             static_cast<TForm_ProfileSetting*>(form.get())->SetHost(nullptr);
             return form;
         }},
        {"remote NAS list",
         [] { return std::unique_ptr<vcl::TForm>(vcl::MakeForm<TForm_RemoteNAS>(nullptr)); }},
        {"add remote NAS",
         [] { return std::unique_ptr<vcl::TForm>(vcl::MakeForm<TForm_AddNASIP>(nullptr)); }},
    };
}

bool HasWord(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (std::isalpha(static_cast<unsigned char>(text[i])) &&
            std::isalpha(static_cast<unsigned char>(text[i + 1])))
            return true;
    return false;
}

class TextsTest : public UiTest {};

TEST_F(TextsTest, OkButtonsReadOkInEveryLanguage) {
    // The OK button of the property sheet and of the import dialog, by language; never the
    // status word "normal".
    const struct {
        int language;
        const char* ok;
    } cases[] = {{0, "Ok"}, {1, "確定"}, {2, "确定"}};
    for (const auto& c : cases) {
        Language language(c.language);
        std::unique_ptr<TForm_Property> sheet(vcl::MakeForm<TForm_Property>(nullptr));
        std::unique_ptr<TForm_ProfileSetting> import(vcl::MakeForm<TForm_ProfileSetting>(nullptr));
        EXPECT_EQ(sheet->Button_Ok->GetCaption(), c.ok) << "language " << c.language;
        EXPECT_EQ(import->Btn_Ok->GetCaption(), c.ok) << "language " << c.language;
        EXPECT_EQ(import->Btn_Add->GetCaption(), GetMessageText(939));
        EXPECT_EQ(import->Btn_Remove->GetCaption(), GetMessageText(940));
    }
}

TEST_F(TextsTest, NoCaptionStaysEnglishInChinese) {
    // Names, protocol names and the product word read the same in every language; component
    // names that never show (a page of hidden tabs) are left out.
    const std::set<std::string> same{"DHCP", "BOOTP", "RARP", "CD-ROM", "Quorvik"};
    for (const Dialog& dialog : Dialogs()) {
        std::map<std::string, std::string> english;
        {
            Language language(0);
            english = FormTexts(*dialog.make());
        }
        for (int index : {1, 2}) {
            Language language(index);
            const std::map<std::string, std::string> translated = FormTexts(*dialog.make());
            for (const auto& [name, text] : translated) {
                if (!HasWord(text) || same.count(text)) continue;
                auto it = english.find(name);
                EXPECT_FALSE(it != english.end() && it->second == text)
                    << dialog.name << ", language " << index << ": " << name << " stays \"" << text
                    << "\"";
            }
        }
    }
}

} // namespace

namespace {

TEST(FileDialogTypes, EachEntryShowsItsPatternsOnce) {
    using Names = std::vector<std::string>;
    const struct {
        const char* filter;
        Names names;
    } cases[] = {
        {"Container files (*.CIS)|*.CIS", {"Container files (*.CIS)"}},
        {"Text|*.a;*.b|All|*.*", {"Text (*.a *.b)", "All (*.*)"}},
        // A trailing "||" ends the list; it is no entry of its own.
        {"Profile Files (*.cfg)|*.cfg|All Files (*.*)|*.*||",
         {"Profile Files (*.cfg)", "All Files (*.*)"}},
        // Brackets that are not the patterns do not count as them.
        {"Logs (old)|*.log", {"Logs (old) (*.log)"}},
        {"Two (*.a *.b)|*.a;*.b", {"Two (*.a *.b)"}},
        {"|*.x", {"(*.x)"}},
        {"", {}},
        {"Lonely description", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vcl::FileDialogTypeNames(c.filter), c.names) << c.filter;
}

TEST(FileDialogTypes, MessageFiltersInEveryLanguage) {
    // The validation log, container and settings profile filters name each pattern once.
    for (int index : {0, 1, 2}) {
        Language language(index);
        for (int id : {7, 170, 942}) {
            for (const std::string& name : vcl::FileDialogTypeNames(GetMessageText(id))) {
                const auto open = name.rfind('(');
                ASSERT_NE(open, std::string::npos) << name;
                const std::string patterns = name.substr(open);
                EXPECT_EQ(name.find(patterns), open)
                    << "language " << index << ", message " << id << ": " << name;
            }
        }
    }
}

// Looks at the choice dialog while it is shown, then closes it with No.
class ChoiceLooker : public vcl::TModalHost {
public:
    std::function<void(vcl::TForm&)> look;
    int RunModal(vcl::TForm& form) override {
        form.BeginModal();
        look(form);
        form.SetModalResult(vcl::mrCancel);
        form.EndModal();
        return form.GetModalResult();
    }
};

TEST_F(TextsTest, LongNameQuestionFitsItsBox) {
    // A name of 255 characters without a blank, in every language: the text wraps inside the
    // label, the label holds all its lines and the box holds the label and its buttons.
    const std::string name(255, 'W');
    for (int index : {0, 1, 2}) {
        Language language(index);
        vcl::Application->CreateForm(Form1);
        ChoiceLooker looker;
        bool looked = false;
        looker.look = [&](vcl::TForm&) {
            looked = true;
            vcl::TLabel* label = Form1->Label1;
            EXPECT_LE(label->TextWidth(), label->GetWidth()) << "language " << index;
            EXPECT_LE(label->TextHeight(), label->GetHeight()) << "language " << index;
            EXPECT_LE(label->GetWidth(), Form1->GetClientWidth());
            EXPECT_LE(Form1->Button2->GetTop() + Form1->Button2->GetHeight(),
                      Form1->GetClientHeight());
            EXPECT_LE(Form1->GetHeight(), vcl::Screen->Height());
        };
        vcl::TModalHost* saved = vcl::SetModalHost(&looker);
        const std::string question = std::string(GetMessageText(149)) + name + "\" ?";
        ShowKindMessage(question, 51);
        vcl::SetModalHost(saved);
        EXPECT_TRUE(looked);
        delete Form1;
        Form1 = nullptr;
    }
}

TEST_F(TextsTest, AboutBoxLinesFitTheirLabels) {
    for (int index : {0, 1, 2}) {
        Language language(index);
        // Long branding addresses: smaller letters rather than a cut line.
        BrandInfo = TBrandInfo{};
        BrandInfo.WEB = "https://www.example.com/support/storage/units";
        BrandInfo.EMAIL = "storage-support@example.com";
        std::unique_ptr<TForm_About> about(vcl::MakeForm<TForm_About>(nullptr));
        BrandInfo = TBrandInfo{};
        EXPECT_EQ(about->Label_Web->GetCaption(), "https://www.example.com/support/storage/units");
        for (vcl::TLabel* label :
             {about->Label_Web, about->Label_Email, about->Label_5, about->Label_Version}) {
            EXPECT_LE(label->TextHeight(), label->GetHeight()) << label->Name;
            EXPECT_LE(label->TextWidth(), label->GetWidth()) << label->Name;
            EXPECT_LE(label->GetTop() + label->GetHeight(), about->GetClientHeight())
                << label->Name;
        }
    }
}

} // namespace
