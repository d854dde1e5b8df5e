#include "vcl/std_controls.h"

#include "detail/hooks.h"
#include "detail/wrapped_text.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace vcl {

using detail::Hooked;
using detail::Raise;
using detail::ToQt;

namespace {

QLabel* LabelOf(const TLabel* l) {
    return static_cast<QLabel*>(l->Widget());
}
QLineEdit* EditOf(const TEdit* e) {
    return static_cast<QLineEdit*>(e->Widget());
}

} // namespace

// ---- TLabel

TLabel::TLabel(TComponent* owner) : TControl(owner, new Hooked<detail::WrappingLabel>()) {
    QLabel* l = LabelOf(this);
    l->setTextFormat(Qt::PlainText); // texts may come from outside: never markup
    l->setFocusPolicy(Qt::NoFocus);
    ApplyAlignment();
    SetTransparent(false);
    AdjustSize();
}

void TLabel::ApplyText() {
    // Shown as given: a word wider than the label is broken where it meets the edge by the
    // label's own layout, never by characters put into the text.
    QString text = ToQt(GetText());
    if (showAccelChar_) text = detail::StripAccelerators(text);
    LabelOf(this)->setText(text);
}

int TLabel::TextRoom() const {
    return std::max(1, GetWidth() - 2 * margin_);
}

int TLabel::TextWidth() const {
    const QLabel* label = LabelOf(this);
    const QString text = label->text();
    int w = 0;
    if (wordWrap_) {
        w = detail::WrappedTextSize(text, label->font(), TextRoom()).width();
    } else {
        const QFontMetrics fm(label->font());
        for (const QString& line : text.split(QLatin1Char('\n')))
            w = std::max(w, fm.horizontalAdvance(line));
    }
    return w + 2 * margin_;
}

int TLabel::TextHeight() const {
    const QLabel* label = LabelOf(this);
    const QFontMetrics fm(label->font());
    const QString text = label->text();
    int h = fm.height();
    if (wordWrap_ && !text.isEmpty())
        h = detail::WrappedTextSize(text, label->font(), TextRoom()).height();
    else if (!wordWrap_)
        h += static_cast<int>(text.count(QLatin1Char('\n'))) * fm.lineSpacing();
    return h + 2 * margin_;
}

void TLabel::ApplyAlignment() {
    Qt::Alignment a = alignment_ == taCenter         ? Qt::AlignHCenter
                      : alignment_ == taRightJustify ? Qt::AlignRight
                                                     : Qt::AlignLeft;
    a |= layout_ == tlCenter   ? Qt::AlignVCenter
         : layout_ == tlBottom ? Qt::AlignBottom
                               : Qt::AlignTop;
    LabelOf(this)->setAlignment(a);
    LabelOf(this)->setWordWrap(wordWrap_);
}

void TLabel::AdjustSize() {
    if (!autoSize_ || GetAlign() == alClient) return;
    // Only the size follows the text (the height alone with WordWrap); the position stays where
    // it was put.
    TControl::SetBounds(GetLeft(), GetTop(), wordWrap_ ? GetWidth() : TextWidth(), TextHeight());
}

void TLabel::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    AdjustSize();
}

void TLabel::TextChanged() {
    ApplyText();
    AdjustSize();
}

void TLabel::FontChanged() {
    TControl::FontChanged();
    AdjustSize();
}

void TLabel::ColorChanged() {
    detail::ApplyBackground(LabelOf(this), GetColor(), !transparent_);
}

void TLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    AdjustSize();
}

void TLabel::SetWordWrap(bool wrap) {
    wordWrap_ = wrap;
    ApplyText();
    ApplyAlignment();
    AdjustSize();
}

void TLabel::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    ApplyAlignment();
}

void TLabel::SetLayout(TTextLayout layout) {
    layout_ = layout;
    ApplyAlignment();
}

void TLabel::SetTransparent(bool transparent) {
    transparent_ = transparent;
    ColorChanged();
}

void TLabel::SetMargin(int margin) {
    margin_ = std::max(0, margin);
    LabelOf(this)->setMargin(margin_);
    ApplyText();
    AdjustSize();
}

void TLabel::SetShowAccelChar(bool show) {
    showAccelChar_ = show;
    ApplyText();
    AdjustSize();
}

// ---- TButton

TButton::TButton(TComponent* owner) : TWinControl(owner, new Hooked<QPushButton>()) {
    auto* b = static_cast<QPushButton*>(Widget());
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, b, [this] {
        if (CanRaise()) Click();
    });
    SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool isDefault) {
    default_ = isDefault;
    static_cast<QPushButton*>(Widget())->setDefault(isDefault);
}

void TButton::Click() {
    if (TForm* form = ParentForm()) form->SetModalResult(modalResult_);
    TControl::Click();
}

void TButton::TextChanged() {
    static_cast<QPushButton*>(Widget())->setText(ToQt(GetText()));
}

bool TButton::WantsKey(TKey) const {
    return false;
}

// ---- TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner, new Hooked<QLineEdit>()) {
    QLineEdit* e = EditOf(this);
    e->setMaxLength(32767);
    QObject::connect(e, &QLineEdit::textChanged, e, [this] { Changed(); });
    SetBounds(0, 0, 121, 21);
}

void TEdit::Changed() {
    Raise(this, [this] {
        if (OnChange) OnChange(this);
    });
}

std::string TEdit::GetText() const {
    return detail::FromQt(EditOf(this)->text());
}

void TEdit::SetText(const std::string& text) {
    QLineEdit* e = EditOf(this);
    const QString q = ToQt(text);
    if (q == e->text()) return;
    // The limit is for typing: text set by code is kept whole.
    if (q.size() > e->maxLength()) e->setMaxLength(static_cast<int>(q.size()));
    e->setText(q);
}

void TEdit::SetMaxLength(int length) {
    maxLength_ = std::max(0, length);
    QLineEdit* e = EditOf(this);
    const int limit = maxLength_ == 0 ? 32767 : maxLength_;
    // The toolkit cuts the present text to its limit; the original keeps it.
    e->setMaxLength(std::max<int>(limit, static_cast<int>(e->text().size())));
}

void TEdit::SetPasswordChar(char masking) {
    passwordChar_ = masking;
    EditOf(this)->setEchoMode(masking ? QLineEdit::Password : QLineEdit::Normal);
}

void TEdit::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    EditOf(this)->setReadOnly(readOnly);
}

void TEdit::SelectAll() {
    EditOf(this)->selectAll();
}

int TEdit::GetSelStart() const {
    QLineEdit* e = EditOf(this);
    return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}

void TEdit::SetSelStart(int start) {
    EditOf(this)->setCursorPosition(start);
}

int TEdit::GetSelLength() const {
    return EditOf(this)->selectionLength();
}

void TEdit::SetSelLength(int length) {
    QLineEdit* e = EditOf(this);
    e->setSelection(GetSelStart(), length);
}

std::string TEdit::GetSelText() const {
    return detail::FromQt(EditOf(this)->selectedText());
}

void TEdit::FontChanged() {
    TWinControl::FontChanged();
}

// ---- TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner, new Hooked<QCheckBox>()) {
    auto* c = static_cast<QCheckBox*>(Widget());
    QObject::connect(c, &QCheckBox::stateChanged, c, [this] { Toggled(); });
    SetBounds(0, 0, 97, 17);
}

void TCheckBox::Toggled() {
    auto* c = static_cast<QCheckBox*>(Widget());
    const Qt::CheckState s = c->checkState();
    const TCheckBoxState state = s == Qt::Checked            ? cbChecked
                                 : s == Qt::PartiallyChecked ? cbGrayed
                                                             : cbUnchecked;
    if (state == state_) return;
    state_ = state;
    Click();
}

void TCheckBox::SetState(TCheckBoxState state) {
    if (state == state_) return;
    if (state == cbGrayed) SetAllowGrayed(true);
    // The toolkit's signal comes back to Toggled, which raises OnClick.
    static_cast<QCheckBox*>(Widget())->setCheckState(state == cbChecked  ? Qt::Checked
                                                     : state == cbGrayed ? Qt::PartiallyChecked
                                                                         : Qt::Unchecked);
}

void TCheckBox::SetAllowGrayed(bool allow) {
    allowGrayed_ = allow;
    static_cast<QCheckBox*>(Widget())->setTristate(allow);
}

void TCheckBox::TextChanged() {
    static_cast<QCheckBox*>(Widget())->setText(ToQt(GetText()));
}

// ---- TRadioButton

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner, new Hooked<QRadioButton>()) {
    auto* r = static_cast<QRadioButton*>(Widget());
    QObject::connect(r, &QRadioButton::toggled, r, [this](bool on) { Toggled(on); });
    SetBounds(0, 0, 113, 17);
}

void TRadioButton::Toggled(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    if (checked) Click();
}

void TRadioButton::SetChecked(bool checked) {
    if (checked == checked_) return;
    auto* r = static_cast<QRadioButton*>(Widget());
    if (checked) {
        r->setChecked(true); // the siblings uncheck themselves
    } else {
        // An exclusive group never unchecks its checked button on its own.
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(true);
    }
}

void TRadioButton::TextChanged() {
    static_cast<QRadioButton*>(Widget())->setText(ToQt(GetText()));
}

// ---- TGroupBox

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner, new Hooked<QGroupBox>()) {
    Widget()->setFocusPolicy(Qt::NoFocus);
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::TextChanged() {
    static_cast<QGroupBox*>(Widget())->setTitle(ToQt(GetText()));
}

void TGroupBox::AlignControls() {
    // Aligned children stay inside the frame, below the caption.
    const int top = QFontMetrics(Widget()->font()).height() + 2;
    AlignWithin({2, top, std::max(2, GetClientWidth() - 2), std::max(top, GetClientHeight() - 2)});
}

} // namespace vcl
