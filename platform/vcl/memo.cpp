#include "vcl/memo.h"

#include "detail/hooks.h"

#include <QPlainTextEdit>
#include <QStringList>

namespace vcl {

using detail::Raise;
using detail::ToQt;

namespace {
QPlainTextEdit* MemoOf(const TMemo* m) {
    return static_cast<QPlainTextEdit*>(m->Widget());
}
} // namespace

TMemo::TMemo(TComponent* owner) : TWinControl(owner, new detail::Hooked<QPlainTextEdit>()) {
    QPlainTextEdit* m = MemoOf(this);
    QObject::connect(m, &QPlainTextEdit::textChanged, m, [this] {
        Raise(this, [this] {
            if (OnChange) OnChange(this);
        });
    });
    SetScrollBars(ssNone);
    SetBounds(0, 0, 185, 89);
}

std::string TMemo::GetText() const {
    return detail::FromQt(MemoOf(this)->toPlainText());
}

void TMemo::SetText(const std::string& text) {
    if (ToQt(text) == MemoOf(this)->toPlainText()) return;
    MemoOf(this)->setPlainText(ToQt(text));
}

std::vector<std::string> TMemo::Lines() const {
    std::vector<std::string> lines;
    const QString text = MemoOf(this)->toPlainText();
    if (text.isEmpty()) return lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        lines.push_back(detail::FromQt(line));
    return lines;
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += '\n';
        text += lines[i];
    }
    SetText(text);
}

void TMemo::AddLine(const std::string& line) {
    MemoOf(this)->appendPlainText(ToQt(line));
}

void TMemo::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    MemoOf(this)->setReadOnly(readOnly);
}

void TMemo::SetWordWrap(bool wrap) {
    wordWrap_ = wrap;
    MemoOf(this)->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TMemo::SetScrollBars(TScrollStyle bars) {
    scrollBars_ = bars;
    QPlainTextEdit* m = MemoOf(this);
    const bool h = bars == ssHorizontal || bars == ssBoth;
    const bool v = bars == ssVertical || bars == ssBoth;
    m->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    m->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
}

bool TMemo::WantsKey(TKey key) const {
    return key == VK_RETURN || key == VK_UP || key == VK_DOWN;
}

void TMemo::FontChanged() {
    TWinControl::FontChanged();
}

TMemo::~TMemo() {
    StopEvents();
    // The widget outlives this part of the control: its signals must not reach it any more.
    QObject::disconnect(MemoOf(this), nullptr, nullptr, nullptr);
}

} // namespace vcl
