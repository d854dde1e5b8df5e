#include "vcl/status_bar.h"

#include "detail/hooks.h"
#include "vcl/exception.h"

#include <QFrame>
#include <QLabel>

namespace vcl {

using detail::FromQt;
using detail::ToQt;

struct TStatusBar::Impl {
    std::vector<QLabel*> labels;
};

void TStatusPanel::SetText(const std::string& text) {
    text_ = text;
    bar_->Apply();
}

void TStatusPanel::SetWidth(int width) {
    width_ = width;
    bar_->Apply();
}

void TStatusPanel::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    bar_->Apply();
}

TStatusBar::TStatusBar(TComponent* owner)
    : TWinControl(owner, new detail::Hooked<QWidget>()), impl_(std::make_unique<Impl>()) {
    Widget()->setFocusPolicy(Qt::NoFocus);
    SetBounds(0, 0, 200, 19);
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar() = default;

TStatusPanel* TStatusBar::AddPanel() {
    panels_.push_back(std::unique_ptr<TStatusPanel>(new TStatusPanel(this)));
    auto* label = new QLabel(Widget());
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    impl_->labels.push_back(label);
    label->show();
    Apply();
    return panels_.back().get();
}

TStatusPanel* TStatusBar::Panels(int index) const {
    if (index < 0 || index >= PanelCount()) throw EListError("Status panel index out of bounds");
    return panels_[static_cast<std::size_t>(index)].get();
}

std::string TStatusBar::ShownText(int index) const {
    if (index < 0 || index >= PanelCount()) throw EListError("Status panel index out of bounds");
    return FromQt(impl_->labels[static_cast<std::size_t>(index)]->text());
}

int TStatusBar::PanelWidthFor(const std::string& text) const {
    // Measured with a panel's own label: its font, frame and margins.
    QLabel probe;
    probe.setFont(Widget()->font());
    probe.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    probe.setText(ToQt(text));
    return probe.sizeHint().width();
}

void TStatusBar::Apply() {
    int x = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        QLabel* label = impl_->labels[i];
        const TStatusPanel& panel = *panels_[i];
        label->setText(ToQt(panel.text_));
        Qt::Alignment horizontal = panel.alignment_ == taCenter         ? Qt::AlignHCenter
                                   : panel.alignment_ == taRightJustify ? Qt::AlignRight
                                                                        : Qt::AlignLeft;
        label->setAlignment(horizontal | Qt::AlignVCenter);
        // Panels side by side with a 2-pixel gap; the last one takes the rest.
        bool last = i + 1 == panels_.size();
        int width = last ? std::max(0, GetWidth() - x) : std::max(0, panel.width_);
        label->setGeometry(x, 1, width, std::max(0, GetHeight() - 1));
        x += width + 2;
    }
}

void TStatusBar::ApplyBounds() {
    TWinControl::ApplyBounds();
    Apply();
}

} // namespace vcl
