// TForm_AddNASIP: the small modal dialog in which the user types the IPv4 address of one remote
// NAS unit. The address box keeps the fixed layout "ddd.ddd.ddd.ddd" (rmtnasip_mask.h); OK
// accepts only a text that parses as an address. The range controls (From/To) are made but stay
// hidden: only one address is ever entered.
#pragma once

#include "vcl/form.h"
#include "vcl/std_controls.h"

#include <cstdint>
#include <string>

class TForm_AddNASIP : public vcl::TForm {
public:
    // Makes the components (the form's description).
    explicit TForm_AddNASIP(vcl::TComponent* Owner);
    ~TForm_AddNASIP() override;

    vcl::TLabel* Label1 = nullptr;
    vcl::TButton* AddOK = nullptr;
    vcl::TButton* AddCancel = nullptr;
    vcl::TEdit* MaskEdit_IP_Single = nullptr;  // the address box
    vcl::TEdit* MaskEdit_IPG01 = nullptr;      // range From box (hidden)
    vcl::TEdit* MaskEdit_IPG02 = nullptr;      // range To box (hidden)
    vcl::TRadioButton* RBtn_OneIP = nullptr;   // hidden
    vcl::TRadioButton* RBtn_GroupIP = nullptr; // hidden
    vcl::TLabel* Label_From = nullptr;         // hidden
    vcl::TLabel* Label_To = nullptr;           // hidden

    void FormCreate(vcl::TObject* Sender);
    // The address box enabled, in the window colour, focused, caret at the start; the range
    // boxes disabled and greyed.
    void NASIpOnShow(vcl::TObject* Sender);
    // Empties the address box and clears the accepted flag (before each showing).
    void ResetInput();
    // The accepted address (host order) and whether one was accepted.
    bool GetAddress(std::uint32_t& address) const;

    // Parses the box: "IP address error" and the dialog stays, or the address is accepted and
    // the dialog closes.
    void btAddOK(vcl::TObject* Sender);
    void btAddCancel(vcl::TObject* Sender);
    // Enter moves the focus to OK when the text parses; Escape closes; every other key goes
    // through the box's key filter and editing (ipbox::TypeKey).
    void MaskEdit_IP_KeyPress(vcl::TObject* Sender, char32_t& Key);
    // Editing keys that the toolkit would handle by itself (Backspace, Delete, paste and cut
    // shortcuts) go through the same filter and editing.
    void MaskEdit_IP_KeyDown(vcl::TObject* Sender, vcl::TKey& Key, vcl::TShiftState Shift);
    // Keeps the box in its layout after a change that came from the toolkit (a cut, a paste from
    // the context menu).
    void MaskEdit_IP_Change(vcl::TObject* Sender);

private:
    // Sets the box's text and caret without running the change handler on it.
    void LayOut(vcl::TEdit* box, const std::string& text, int caret);

    std::uint32_t address_ = 0;
    bool accepted_ = false;
    std::string boxText_;       // the box's text as it was last laid out
    bool laying_ = false;       // the box's text is being set by the dialog itself
    bool passKeyPress_ = false; // the key-down let a shortcut through to the toolkit
};

extern TForm_AddNASIP* Form_AddNASIP;
