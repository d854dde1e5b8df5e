#include "vcl/buttons.h"

#include "detail/hooks.h"
#include "detail/picture.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>

namespace vcl {

namespace {

struct KindInfo {
    const char* caption;
    TModalResult result;
    QStyle::StandardPixmap glyph;
};

KindInfo InfoOf(TBitBtnKind kind) {
    switch (kind) {
    case bkOK:
        return {"OK", mrOk, QStyle::SP_DialogOkButton};
    case bkCancel:
        return {"Cancel", mrCancel, QStyle::SP_DialogCancelButton};
    case bkHelp:
        return {"&Help", mrNone, QStyle::SP_DialogHelpButton};
    case bkYes:
        return {"&Yes", mrYes, QStyle::SP_DialogYesButton};
    case bkNo:
        return {"&No", mrNo, QStyle::SP_DialogNoButton};
    case bkClose:
        return {"&Close", mrNone, QStyle::SP_DialogCloseButton};
    case bkAbort:
        return {"Abort", mrAbort, QStyle::SP_DialogDiscardButton};
    case bkRetry:
        return {"&Retry", mrRetry, QStyle::SP_BrowserReload};
    case bkIgnore:
        return {"&Ignore", mrIgnore, QStyle::SP_DialogIgnoreButton};
    case bkAll:
        return {"&All", mrAll, QStyle::SP_DialogApplyButton};
    case bkCustom:
        break;
    }
    return {"", mrNone, QStyle::SP_CustomBase};
}

} // namespace

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {
    glyph_.OnChange = [this] { ApplyGlyph(); };
}

TBitBtn::~TBitBtn() {
    glyph_.OnChange = nullptr;
}

void TBitBtn::SetKind(TBitBtnKind kind) {
    kind_ = kind;
    if (kind != bkCustom) {
        const KindInfo info = InfoOf(kind);
        SetCaption(info.caption);
        SetModalResult(info.result);
        if (kind == bkOK || kind == bkYes) SetDefault(true);
        if (kind == bkCancel || kind == bkNo) SetCancel(true);
    }
    ApplyGlyph();
}

void TBitBtn::ApplyGlyph() {
    auto* b = static_cast<QPushButton*>(Widget());
    if (!glyph_.Empty()) {
        b->setIcon(QIcon(QPixmap::fromImage(glyph_.Data().image)));
    } else if (kind_ != bkCustom) {
        b->setIcon(QApplication::style()->standardIcon(InfoOf(kind_).glyph));
    } else {
        b->setIcon(QIcon());
    }
}

void TBitBtn::Click() {
    if (kind_ == bkClose) {
        if (TForm* form = ParentForm()) {
            TControl::Click();
            form->Close();
            return;
        }
    }
    TButton::Click();
}

} // namespace vcl
