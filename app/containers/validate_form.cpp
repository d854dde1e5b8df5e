#include "validate_form.h"

#include "kinddialog.h"
#include "msgbox.h"

#include "vcl/application.h"
#include "vcl/screen.h"

TForm_Validate* Form_Validate = nullptr;

namespace {

constexpr int kCantValidateMessage = 164;
constexpr int kPlainWarningKind = 52; // the argument alone, with OK

} // namespace

TForm_Validate::~TForm_Validate() {
    if (Form_Validate == this) Form_Validate = nullptr;
}

void TForm_Validate::SetSubject(MIRROR_CONTAINER* container, const VALIDATE_OPTIONS* settings,
                                std::function<void()> refreshContainerTree) {
    container_ = container;
    settings_ = settings;
    refreshContainerTree_ = std::move(refreshContainerTree);
}

void TForm_Validate::FormCreate(vcl::TObject*) {
    Button_Yes->SetCaption(GetMessageText(595));
    Button_YesAll->SetCaption(GetMessageText(596));
    Button_No->SetCaption(GetMessageText(597));
    Button_NoAll->SetCaption(GetMessageText(598));
    Button_Cancel->SetCaption(GetMessageText(578));
    Label_ItemName->SetCaption(GetMessageText(413));
    Label_OldSourceTitle->SetCaption(GetMessageText(414));
    Label_NewSourceTitle->SetCaption(GetMessageText(415));
}

void TForm_Validate::FormShow(vcl::TObject*) {
    if (Mode != ModeValidate) {
        Close();
        return;
    }
    SetCaption(GetMessageText(387));
    Button_Yes->SetCaption(GetMessageText(388));
    Button_YesAll->SetCaption(GetMessageText(389));
    Button_No->SetCaption(GetMessageText(390));
    Button_NoAll->SetCaption(GetMessageText(391));
    ShowQuestionView(false);
    SetLeft((vcl::Screen->Width() - GetWidth()) / 2);
    SetTop((vcl::Screen->Height() - PlacementHeight) / 2);
    Timer_Auto->SetEnabled(true);
}

void TForm_Validate::FormClose(vcl::TObject*, vcl::TCloseAction&) {
    // A dialog closed before its timer fired must not start a walk later. The log belongs to the
    // walk, which closes it however it ends.
    Timer_Auto->SetEnabled(false);
}

void TForm_Validate::Timer_AutoTimer(vcl::TObject*) {
    Timer_Auto->SetEnabled(false);
    // A dialog already closing or hidden starts no walk.
    if (Mode == ModeValidate && Answerable())
        ValidateContainer();
    else
        Close();
}

void TForm_Validate::Button_YesClick(vcl::TObject*) {
    choice_ = validate_choice::Update;
}

void TForm_Validate::Button_YesAllClick(vcl::TObject*) {
    choice_ = validate_choice::UpdateAll;
}

void TForm_Validate::Button_NoClick(vcl::TObject*) {
    choice_ = validate_choice::Skip;
}

void TForm_Validate::Button_NoAllClick(vcl::TObject*) {
    choice_ = validate_choice::SkipAll;
}

void TForm_Validate::Button_CancelClick(vcl::TObject*) {
    choice_ = validate_choice::Cancel;
}

void TForm_Validate::Label_ItemNameMouseMove(vcl::TObject*, vcl::TShiftState, int, int) {
    Label_ItemName->SetHint(Label_ItemName->GetCaption());
}

void TForm_Validate::ValidateContainer() {
    choice_ = validate_choice::None;
    if (container_ != nullptr && settings_ != nullptr) {
        ContainerValidation validation(*container_, *settings_, *this, refreshContainerTree_);
        validation.ValidateContainer();
    }
    choice_ = validate_choice::None;
    Close();
}

void TForm_Validate::ShowEntry(const std::string& entryPath) {
    ShowQuestionView(false);
    choice_ = validate_choice::None;
    Label_ItemName->SetCaption(entryPath);
}

int TForm_Validate::AskChange(const std::string& originalSource, const std::string& newSource) {
    Label_OldSource->SetCaption(originalSource);
    Label_NewSource->SetCaption(newSource);
    choice_ = validate_choice::None;
    ShowQuestionView(true);
    while (choice_ == validate_choice::None && Answerable())
        vcl::Application->HandleMessage();
    // Closed without a button: the walk is cancelled, never answered with an earlier choice.
    const int answer = choice_ == validate_choice::None ? validate_choice::Cancel : choice_;
    ShowQuestionView(false);
    return answer;
}

void TForm_Validate::ProcessMessages() {
    vcl::Application->ProcessMessages();
}

void TForm_Validate::ShowQuestionView(bool show) {
    Button_Yes->SetVisible(show);
    Button_YesAll->SetVisible(show);
    Button_No->SetVisible(show);
    Button_NoAll->SetVisible(show);
    Panel_Source->SetVisible(show);
    Label_ItemName->SetHeight(show ? QuestionItemNameHeight : ItemNameHeight);
}

bool TForm_Validate::Answerable() const {
    return GetVisible() && GetModalResult() == vcl::mrNone && !vcl::Application->Terminated();
}

bool StartValidate(MIRROR_CONTAINER& container, const VALIDATE_OPTIONS& settings,
                   std::function<void()> refreshContainerTree) {
    if (container.PendingCount() != 0) {
        ShowKindMessage(GetMessageText(kCantValidateMessage), kPlainWarningKind);
        return false;
    }
    if (Form_Validate == nullptr) vcl::Application->CreateForm(Form_Validate);
    Form_Validate->Mode = TForm_Validate::ModeValidate;
    Form_Validate->SetSubject(&container, &settings, std::move(refreshContainerTree));
    Form_Validate->ShowModal();
    Form_Validate->SetSubject(nullptr, nullptr, {});
    return true;
}
