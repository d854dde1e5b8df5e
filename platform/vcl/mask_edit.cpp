#include "vcl/mask_edit.h"

#include "detail/hooks.h"

#include <QLineEdit>

#include <algorithm>

namespace vcl {

using detail::Raise;
using detail::ToQt;

namespace {
QLineEdit* EditOf(const TMaskEdit* e) {
    return static_cast<QLineEdit*>(e->Widget());
}
} // namespace

std::string TMaskEdit::ToolkitMask(const std::string& editMask) {
    if (editMask.empty()) return {};
    // "mask;keep literals;blank": the toolkit's form is "mask;blank".
    std::string mask = editMask;
    char blank = '_';
    const auto first = editMask.find(';');
    if (first != std::string::npos) {
        mask = editMask.substr(0, first);
        const auto second = editMask.find(';', first + 1);
        if (second != std::string::npos && second + 1 < editMask.size())
            blank = editMask[second + 1];
    }
    std::string out;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const char c = mask[i];
        switch (c) {
        case '\\':
            out += '\\';
            if (i + 1 < mask.size()) out += mask[++i];
            break;
        case 'L':
            out += 'A';
            break; // letter required
        case 'l':
            out += 'a';
            break;
        case 'A':
            out += 'N';
            break; // letter or digit required
        case 'a':
            out += 'n';
            break;
        case 'C':
            out += 'X';
            break; // any character required
        case 'c':
            out += 'x';
            break;
        case '0':
        case '9':
        case '#':
        case '>':
        case '<':
            out += c;
            break;
        case '!':
            break; // leading blanks: the toolkit has no such switch
        // The toolkit's own mask letters stand for themselves here.
        case 'N':
        case 'n':
        case 'X':
        case 'x':
        case 'H':
        case 'h':
        case 'B':
        case 'b':
        case 'D':
        case 'd':
            out += '\\';
            out += c;
            break;
        default:
            out += c;
        }
    }
    out += ';';
    out += blank;
    return out;
}

TMaskEdit::TMaskEdit(TComponent* owner) : TWinControl(owner, new detail::Hooked<QLineEdit>()) {
    QLineEdit* e = EditOf(this);
    QObject::connect(e, &QLineEdit::textChanged, e, [this] {
        Raise(this, [this] {
            if (OnChange) OnChange(this);
        });
    });
    SetBounds(0, 0, 121, 21);
}

void TMaskEdit::SetEditMask(const std::string& mask) {
    mask_ = mask;
    EditOf(this)->setInputMask(ToQt(ToolkitMask(mask)));
}

std::string TMaskEdit::GetText() const {
    return detail::FromQt(EditOf(this)->text());
}

void TMaskEdit::SetText(const std::string& text) {
    QLineEdit* e = EditOf(this);
    if (ToQt(text) == e->text()) return;
    e->setText(ToQt(text));
}

void TMaskEdit::SetMaxLength(int length) {
    maxLength_ = std::max(0, length);
    if (mask_.empty()) EditOf(this)->setMaxLength(maxLength_ == 0 ? 32767 : maxLength_);
}

void TMaskEdit::SelectAll() {
    EditOf(this)->selectAll();
}

TMaskEdit::~TMaskEdit() {
    StopEvents();
    // The widget outlives this part of the control: its signals must not reach it any more.
    QObject::disconnect(EditOf(this), nullptr, nullptr, nullptr);
}

} // namespace vcl
