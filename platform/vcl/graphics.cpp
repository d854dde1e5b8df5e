#include "vcl/graphics.h"

#include "detail/picture.h"
#include "vcl/exception.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <limits>

namespace vcl {

TFont::TFont() = default;

void TFont::Changed() {
    if (OnChange) OnChange();
}

void TFont::SetName(const std::string& name) {
    if (name == name_) return;
    name_ = name;
    Changed();
}

int TFont::GetSize() const {
    // Points from pixels at 96 pixels per inch, rounded.
    if (pixelHeight_ != 0) return (pixelHeight_ * 72 + 48) / 96;
    return size_;
}

void TFont::SetSize(int points) {
    if (points <= 0) points = 8;
    if (points == size_ && pixelHeight_ == 0) return;
    size_ = points;
    pixelHeight_ = 0;
    Changed();
}

int TFont::GetHeight() const {
    if (pixelHeight_ != 0) return -pixelHeight_;
    return -((size_ * 96 + 36) / 72);
}

void TFont::SetHeight(int pixels) {
    // Negative heights are character heights, positive ones cell heights; both give the size
    // of the characters here.
    int px = pixels < 0 ? -pixels : pixels;
    if (px == 0) {
        SetSize(8);
        return;
    }
    if (px == pixelHeight_) return;
    pixelHeight_ = px;
    Changed();
}

void TFont::SetStyle(TFontStyles style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
    if (pitch == pitch_) return;
    pitch_ = pitch;
    Changed();
}

void TFont::Assign(const TFont& other) {
    name_ = other.name_;
    size_ = other.size_;
    pixelHeight_ = other.pixelHeight_;
    style_ = other.style_;
    color_ = other.color_;
    pitch_ = other.pitch_;
    Changed();
}

TPicture::TPicture() : impl_(std::make_unique<Impl>()) {}
TPicture::~TPicture() = default;
TPicture::TPicture(const TPicture& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}

TPicture& TPicture::operator=(const TPicture& other) {
    Assign(other);
    return *this;
}

void TPicture::Assign(const TPicture& other) {
    if (&other == this) return;
    impl_->image = other.impl_->image;
    if (OnChange) OnChange();
}

namespace {

QImage ReadImage(QImageReader& reader, const std::string& what) {
    // Pictures come from files of unknown origin: refuse absurd sizes before decoding.
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > 16384 || size.height() > 16384))
        throw EInvalidGraphic("Picture too large: " + what);
    QImage image = reader.read();
    if (image.isNull()) throw EInvalidGraphic("Not a picture: " + what);
    return image;
}

} // namespace

void TPicture::LoadFromFile(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    reader.setDecideFormatFromContent(true);
    impl_->image = ReadImage(reader, path);
    if (OnChange) OnChange();
}

void TPicture::LoadFromBytes(const void* data, std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw EInvalidGraphic("Picture too large");
    QByteArray bytes(static_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    impl_->image = ReadImage(reader, "data of " + std::to_string(size) + " bytes");
    if (OnChange) OnChange();
}

void TPicture::Clear() {
    if (impl_->image.isNull()) return;
    impl_->image = QImage();
    if (OnChange) OnChange();
}

bool TPicture::Empty() const {
    return impl_->image.isNull();
}

int TPicture::Width() const {
    return impl_->image.width();
}

int TPicture::Height() const {
    return impl_->image.height();
}

} // namespace vcl
