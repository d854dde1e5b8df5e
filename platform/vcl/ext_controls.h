// Panels, images and bevels.
#pragma once

#include "vcl/control.h"
#include "vcl/form.h"
#include "vcl/graphics.h"

namespace vcl {

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

// A container with bevels and a centred caption.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);

    TPanelBevel GetBevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel bevel);
    TPanelBevel GetBevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel bevel);
    int GetBevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width);
    // bsNone or bsSingle (a line around the panel).
    TFormBorderStyle GetBorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    TAlignment GetAlignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

    // The width of the bevels and border, which aligned children stay inside.
    int BorderWidth() const;

protected:
    void TextChanged() override;
    void ColorChanged() override;
    void AlignControls() override;

private:
    friend struct detail::ControlAccess;

    TPanelBevel bevelOuter_ = bvRaised;
    TPanelBevel bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    TFormBorderStyle borderStyle_ = bsNone;
    TAlignment alignment_ = taCenter;
};

// Shows a picture: at its own size in the top-left corner, centred (Center), or scaled to the
// control (Stretch; Proportional keeps the aspect ratio).
class TImage : public TControl {
public:
    explicit TImage(TComponent* owner);

    TPicture* Picture() { return &picture_; }
    bool GetStretch() const { return stretch_; }
    void SetStretch(bool stretch);
    bool GetCenter() const { return center_; }
    void SetCenter(bool center);
    bool GetProportional() const { return proportional_; }
    void SetProportional(bool proportional);
    bool GetTransparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    // The control takes the picture's size.
    bool GetAutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);

private:
    friend struct detail::ControlAccess;
    void PictureChanged();

    TPicture picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool proportional_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

// A sunken or raised box or line.
class TBevel : public TControl {
public:
    explicit TBevel(TComponent* owner);

    TBevelShape GetShape() const { return shape_; }
    void SetShape(TBevelShape shape);
    TBevelStyle GetStyle() const { return style_; }
    void SetStyle(TBevelStyle style);

private:
    friend struct detail::ControlAccess;

    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

} // namespace vcl
