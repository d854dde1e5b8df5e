// TImageList: images of one size, addressed by index, for list and tree views and for forms that
// copy an icon into a TImage. Images are scaled to the list's size when added.
#pragma once

#include "vcl/component.h"
#include "vcl/events.h"
#include "vcl/graphics.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vcl {

// Icons drawn by the desktop's style, for message and status icons.
enum TStockIcon {
    siInformation,
    siWarning,
    siError,
    siQuestion,
    siFolder,
    siFile,
    siDrive,
    siCdrom,
    siNetwork,
    siComputer
};

class TImageList : public TComponent {
public:
    // 16 x 16 and empty.
    explicit TImageList(TComponent* owner);
    ~TImageList() override;

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    // Changing the size clears the list.
    void SetSize(int width, int height);

    int Count() const;
    // Each returns the new image's index. A picture that cannot be read raises EInvalidGraphic
    // and adds nothing.
    int Add(const TPicture& picture);
    int AddFromFile(const std::string& path);
    int AddFromBytes(const void* data, std::size_t size);
    int AddStockIcon(TStockIcon icon);
    void Delete(int index);
    void Clear();
    // Copies image index into picture; false (picture unchanged) out of range.
    bool GetPicture(int index, TPicture& picture) const;

    // Raised after every change; views that show the images repaint with it.
    TNotifyEvent OnChange;

    struct Impl;
    const Impl& Data() const { return *impl_; }

private:
    void Changed();

    std::unique_ptr<Impl> impl_;
    int width_ = 16;
    int height_ = 16;
};

} // namespace vcl
