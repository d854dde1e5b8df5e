// TForm_Validate: the modal dialog of the container validation. Shown, it starts the walk of
// ContainerValidation from its timer, shows each entry being checked and, for a changed one, the
// original and the new source with the buttons Update, Update All, Skip, Skip All and Cancel; it
// closes itself when the walk has ended. StartValidate opens it for the main window.
#pragma once

#include "validate.h"

#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/std_controls.h"
#include "vcl/timer.h"

#include <functional>

class TForm_Validate : public vcl::TForm, public ValidateQuestions {
public:
    static constexpr int ModeValidate = 0;    // the only mode the program uses
    static constexpr int ItemNameHeight = 60; // Label_ItemName's height while no question shows
    static constexpr int QuestionItemNameHeight = 25;
    static constexpr int PlacementHeight = 400; // the height the form is centred for

    // Makes the components (the form's description).
    explicit TForm_Validate(vcl::TComponent* Owner);
    ~TForm_Validate() override;

    vcl::TPanel* Panel_Buttons = nullptr;
    vcl::TButton* Button_Yes = nullptr;
    vcl::TButton* Button_YesAll = nullptr;
    vcl::TButton* Button_No = nullptr;
    vcl::TButton* Button_NoAll = nullptr;
    vcl::TButton* Button_Cancel = nullptr;
    vcl::TPanel* Panel_Client = nullptr;
    vcl::TLabel* Label_ItemName = nullptr;
    vcl::TPanel* Panel_Source = nullptr; // the two sources, shown with a question only
    vcl::TLabel* Label_OldSourceTitle = nullptr;
    vcl::TLabel* Label_OldSource = nullptr;
    vcl::TLabel* Label_NewSourceTitle = nullptr;
    vcl::TLabel* Label_NewSource = nullptr;
    vcl::TTimer* Timer_Auto = nullptr;

    // What the next show validates: the container, the settings that say where the log goes and
    // the main window's rebuild of the container's tree (may be empty).
    void SetSubject(MIRROR_CONTAINER* container, const VALIDATE_OPTIONS* settings,
                    std::function<void()> refreshContainerTree);
    int Mode = ModeValidate;
    // The button pressed last (a validate_choice), None while waiting.
    int Choice() const { return choice_; }

    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
    void Timer_AutoTimer(vcl::TObject* Sender);
    void Button_YesClick(vcl::TObject* Sender);
    void Button_YesAllClick(vcl::TObject* Sender);
    void Button_NoClick(vcl::TObject* Sender);
    void Button_NoAllClick(vcl::TObject* Sender);
    void Button_CancelClick(vcl::TObject* Sender);
    void Label_ItemNameMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y);

    // Walks the container with this dialog answering the engine's questions, then closes.
    void ValidateContainer();

    // ValidateQuestions.
    void ShowEntry(const std::string& entryPath) override;
    int AskChange(const std::string& originalSource, const std::string& newSource) override;
    void ProcessMessages() override;

private:
    // The question view: the four choice buttons and the source panel (Cancel always shows).
    void ShowQuestionView(bool show);
    // Whether the dialog can still answer: shown, not closing, the application running.
    bool Answerable() const;

    int choice_ = validate_choice::None;
    MIRROR_CONTAINER* container_ = nullptr;
    const VALIDATE_OPTIONS* settings_ = nullptr;
    std::function<void()> refreshContainerTree_;
};

extern TForm_Validate* Form_Validate;

// Validates container in Form_Validate (made on first use), shown modally, and returns when the
// validation has ended. While a task reads the container it only shows "Can't validate." and
// returns false.
bool StartValidate(MIRROR_CONTAINER& container, const VALIDATE_OPTIONS& settings,
                   std::function<void()> refreshContainerTree);
