// Tool bar and tool buttons: the bar lays its buttons out left to right; a button shows an image
// of the bar's image list or its caption, and a button with a drop-down menu and no OnClick of
// its own drops the menu down under itself.
#pragma once

#include "vcl/control.h"
#include "vcl/image_list.h"

namespace vcl {

class TPopupMenu;
class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

class TToolButton : public TControl {
public:
    explicit TToolButton(TComponent* owner);

    TToolButtonStyle GetStyle() const { return style_; }
    void SetStyle(TToolButtonStyle style);
    int GetImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    TPopupMenu* DropdownMenu = nullptr;
    bool Grouped = false;
    bool GetDown() const { return down_; }
    void SetDown(bool down);

    // OnClick when assigned, else the drop-down menu under the button.
    void Click() override;

protected:
    void TextChanged() override;
    bool ClicksOnRelease() const override { return true; }

private:
    friend class TToolBar;
    void Apply();

    TToolButtonStyle style_ = tbsButton;
    int imageIndex_ = -1;
    bool down_ = false;
};

class TToolBar : public TWinControl {
public:
    explicit TToolBar(TComponent* owner);

    TImageList* GetImages() const { return images_; }
    void SetImages(TImageList* images);
    int GetButtonWidth() const { return buttonWidth_; }
    int GetButtonHeight() const { return buttonHeight_; }
    void SetButtonSize(int width, int height);
    bool ShowCaptions = false;
    bool Flat = true;

protected:
    void AlignControls() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TToolButton;
    TImageList* images_ = nullptr;
    int buttonWidth_ = 23;
    int buttonHeight_ = 22;
};

} // namespace vcl
