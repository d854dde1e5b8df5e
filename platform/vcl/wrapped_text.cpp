#include "detail/wrapped_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyleOption>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace vcl::detail {

namespace {

// Lays the text out at width: the lines get their positions, the block's size comes back.
QSizeF LayOut(QTextLayout& layout, int width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    const qreal leading = QFontMetricsF(layout.font()).leading();
    qreal height = 0;
    qreal widest = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        if (line.lineNumber() > 0) height += leading;
        line.setPosition(QPointF(0, height));
        height += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return {widest, height};
}

// The layout's copy of the text: a line feed is a forced line break for it.
QString LayoutText(const QString& text) {
    QString copy = text;
    copy.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return copy;
}

} // namespace

QSize WrappedTextSize(const QString& text, const QFont& font, int width) {
    QTextLayout layout(LayoutText(text), font);
    const QSizeF size = LayOut(layout, width);
    return {static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height()))};
}

void DrawWrappedText(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
                     Qt::Alignment alignment) {
    QTextLayout layout(LayoutText(text), font);
    const QSizeF size = LayOut(layout, rect.width());
    qreal top = rect.top();
    if (alignment & Qt::AlignBottom)
        top = rect.bottom() + 1 - size.height();
    else if (alignment & Qt::AlignVCenter)
        top = rect.top() + (rect.height() - size.height()) / 2;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        qreal left = rect.left();
        const qreal room = rect.width() - line.naturalTextWidth();
        if (alignment & Qt::AlignRight)
            left += room;
        else if (alignment & Qt::AlignHCenter)
            left += room / 2;
        line.draw(&painter, QPointF(left, top));
    }
}

bool WrappingLabel::Wraps() const {
    return wordWrap() && textFormat() == Qt::PlainText && !text().isEmpty();
}

int WrappingLabel::Chrome() const {
    return 2 * (frameWidth() + margin());
}

int WrappingLabel::TextRoomAt(int width) const {
    return std::max(1, width - Chrome());
}

bool WrappingLabel::hasHeightForWidth() const {
    return Wraps() || QLabel::hasHeightForWidth();
}

int WrappingLabel::heightForWidth(int width) const {
    if (!Wraps()) return QLabel::heightForWidth(width);
    return WrappedTextSize(text(), font(), TextRoomAt(width)).height() + Chrome();
}

QSize WrappingLabel::minimumSizeHint() const {
    if (!Wraps() || preferredWidth_ <= 0) return QLabel::minimumSizeHint();
    // As wide as the text's longest line, up to the preferred width.
    const int natural = WrappedTextSize(text(), font(), 1 << 20).width() + Chrome();
    const int width = std::min(natural, preferredWidth_);
    return {width, heightForWidth(width)};
}

QSize WrappingLabel::sizeHint() const {
    if (!Wraps() || preferredWidth_ <= 0) return QLabel::sizeHint();
    return minimumSizeHint();
}

void WrappingLabel::paintEvent(QPaintEvent* event) {
    if (!Wraps()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    QStyleOption option;
    option.initFrom(this); // the palette's colour group follows enabled and active
    painter.setPen(option.palette.color(foregroundRole()));
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    DrawWrappedText(painter, room, text(), font(), alignment());
}

} // namespace vcl::detail
