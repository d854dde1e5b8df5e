// Texts laid out in lines no wider than a width: broken between words, and inside a word only
// where that word alone is wider than the line (a long path). The text itself is never changed,
// so what is shown is what a screen reader reads and what a copy takes.
#pragma once

#include <QLabel>
#include <QSize>
#include <QString>

class QFont;
class QPainter;
class QRect;

namespace vcl::detail {

// The size of text in font laid out at width; a line feed starts a new line.
QSize WrappedTextSize(const QString& text, const QFont& font, int width);
// Draws text so laid out in rect with the painter's pen: each line placed by the horizontal part
// of alignment, the block of lines by its vertical part.
void DrawWrappedText(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
                     Qt::Alignment alignment);

// A plain-text label that, with word wrap on, lays out and paints its text as above, and asks its
// layout for the height its text needs at the width it gets. Without word wrap it is a QLabel.
class WrappingLabel : public QLabel {
public:
    using QLabel::QLabel;

    // The widest the label asks to be in a layout when its text is longer (0: no limit).
    void SetPreferredWidth(int width) { preferredWidth_ = width; }

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool Wraps() const;
    // The room for text inside the frame and margins of a label that wide.
    int TextRoomAt(int width) const;
    int Chrome() const; // frame and margins, on each side together

    int preferredWidth_ = 0;
};

} // namespace vcl::detail
