// TBitBtn: a push button with a glyph, and with a Kind that gives it a standard caption, glyph
// and modal result.
#pragma once

#include "vcl/graphics.h"
#include "vcl/std_controls.h"

namespace vcl {

enum TBitBtnKind {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};

class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* owner);
    ~TBitBtn() override;

    TBitBtnKind GetKind() const { return kind_; }
    // bkOK: caption "OK", mrOk, Default; bkCancel: "Cancel", mrCancel, Cancel; bkYes "&Yes" mrYes,
    // Default; bkNo "&No" mrNo, Cancel; bkClose: "&Close", closes the form on a click; the others
    // their caption and result. Each kind but bkCustom gets a stock glyph.
    void SetKind(TBitBtnKind kind);
    // An empty glyph shows the kind's stock glyph or none.
    TPicture* Glyph() { return &glyph_; }

    void Click() override;

private:
    void ApplyGlyph();

    TBitBtnKind kind_ = bkCustom;
    TPicture glyph_;
};

} // namespace vcl
