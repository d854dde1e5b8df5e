#include "vcl/image_list.h"

#include "detail/image_list_data.h"
#include "detail/picture.h"
#include "vcl/exception.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace vcl {

namespace {

// The image at the list's size, centred and scaled down when it does not fit.
QImage Fit(const QImage& image, int width, int height) {
    if (image.width() == width && image.height() == height)
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(width, height, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QSize size = image.size();
    if (size.width() > width || size.height() > height)
        size = size.scaled(width, height, Qt::KeepAspectRatio);
    p.drawImage(QRect((width - size.width()) / 2, (height - size.height()) / 2, size.width(),
                      size.height()),
                image);
    return out;
}

} // namespace

TImageList::TImageList(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {}

TImageList::~TImageList() = default;

void TImageList::Changed() {
    if (OnChange) OnChange(this);
}

void TImageList::SetSize(int width, int height) {
    width = std::clamp(width, 1, 1024);
    height = std::clamp(height, 1, 1024);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    impl_->images.clear();
    Changed();
}

int TImageList::Count() const {
    return static_cast<int>(impl_->images.size());
}

int TImageList::Add(const TPicture& picture) {
    if (picture.Empty()) throw EInvalidGraphic("Empty picture");
    impl_->images.push_back(Fit(picture.Data().image, width_, height_));
    Changed();
    return Count() - 1;
}

int TImageList::AddFromFile(const std::string& path) {
    TPicture picture;
    picture.LoadFromFile(path);
    return Add(picture);
}

int TImageList::AddFromBytes(const void* data, std::size_t size) {
    TPicture picture;
    picture.LoadFromBytes(data, size);
    return Add(picture);
}

int TImageList::AddStockIcon(TStockIcon icon) {
    QStyle::StandardPixmap which = QStyle::SP_FileIcon;
    switch (icon) {
    case siInformation:
        which = QStyle::SP_MessageBoxInformation;
        break;
    case siWarning:
        which = QStyle::SP_MessageBoxWarning;
        break;
    case siError:
        which = QStyle::SP_MessageBoxCritical;
        break;
    case siQuestion:
        which = QStyle::SP_MessageBoxQuestion;
        break;
    case siFolder:
        which = QStyle::SP_DirIcon;
        break;
    case siFile:
        which = QStyle::SP_FileIcon;
        break;
    case siDrive:
        which = QStyle::SP_DriveHDIcon;
        break;
    case siCdrom:
        which = QStyle::SP_DriveCDIcon;
        break;
    case siNetwork:
        which = QStyle::SP_DriveNetIcon;
        break;
    case siComputer:
        which = QStyle::SP_ComputerIcon;
        break;
    }
    const QIcon qicon = QApplication::style()->standardIcon(which);
    QImage image = qicon.pixmap(width_, height_).toImage();
    if (image.isNull()) {
        image = QImage(width_, height_, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }
    impl_->images.push_back(Fit(image, width_, height_));
    Changed();
    return Count() - 1;
}

void TImageList::Delete(int index) {
    if (index < 0 || index >= Count()) throw EListError("Image index out of range");
    impl_->images.erase(impl_->images.begin() + index);
    Changed();
}

void TImageList::Clear() {
    if (impl_->images.empty()) return;
    impl_->images.clear();
    Changed();
}

bool TImageList::GetPicture(int index, TPicture& picture) const {
    if (index < 0 || index >= Count()) return false;
    picture.Data().image = impl_->images[static_cast<size_t>(index)];
    if (picture.OnChange) picture.OnChange();
    return true;
}

} // namespace vcl
