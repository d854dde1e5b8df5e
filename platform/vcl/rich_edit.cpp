#include "vcl/rich_edit.h"

#include "detail/hooks.h"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace vcl {

using detail::ToQt;

namespace {
QTextEdit* EditOf(const TRichEdit* r) {
    return static_cast<QTextEdit*>(r->Widget());
}
} // namespace

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner, new detail::Hooked<QTextEdit>()) {
    EditOf(this)->setAcceptRichText(false);
    SetScrollBars(ssNone);
    SetBounds(0, 0, 185, 89);
}

TRichEdit::~TRichEdit() {
    StopEvents();
}

std::string TRichEdit::GetText() const {
    return detail::FromQt(EditOf(this)->toPlainText());
}

void TRichEdit::SetText(const std::string& text) {
    EditOf(this)->clear();
    hasLines_ = false;
    if (text.empty()) return;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        AddLine(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

std::vector<std::string> TRichEdit::Lines() const {
    std::vector<std::string> lines;
    if (!hasLines_) return lines;
    for (QTextBlock b = EditOf(this)->document()->begin(); b.isValid(); b = b.next())
        lines.push_back(detail::FromQt(b.text()));
    return lines;
}

void TRichEdit::SetLines(const std::vector<std::string>& lines) {
    SetText("");
    for (const std::string& line : lines)
        AddLine(line);
}

void TRichEdit::AddLine(const std::string& line, TColor color) {
    QTextEdit* edit = EditOf(this);
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(detail::ToQColor(color));
    if (hasLines_)
        cursor.insertBlock(QTextBlockFormat(), format);
    else
        cursor.setBlockCharFormat(format);
    cursor.insertText(ToQt(line), format);
    hasLines_ = true;
    edit->ensureCursorVisible();
}

void TRichEdit::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    EditOf(this)->setReadOnly(readOnly);
}

void TRichEdit::SetScrollBars(TScrollStyle bars) {
    scrollBars_ = bars;
    QTextEdit* e = EditOf(this);
    const bool h = bars == ssHorizontal || bars == ssBoth;
    const bool v = bars == ssVertical || bars == ssBoth;
    e->setLineWrapMode(h ? QTextEdit::NoWrap : QTextEdit::WidgetWidth);
    e->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    e->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
}

bool TRichEdit::WantsKey(TKey key) const {
    return key == VK_RETURN || key == VK_UP || key == VK_DOWN;
}

} // namespace vcl
