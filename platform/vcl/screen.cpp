#include "vcl/screen.h"

#include "detail/hooks.h"
#include "vcl/application.h"
#include "vcl/form.h"

#include <QGuiApplication>
#include <QScreen>

namespace vcl {

TScreen* Screen = nullptr;

TScreen::~TScreen() {
    SetCursor(crDefault);
}

void TScreen::SetCursor(TCursor cursor) {
    if (cursor == cursor_) return;
    const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (gui && cursor_ != crDefault) QGuiApplication::restoreOverrideCursor();
    cursor_ = cursor;
    if (gui && cursor_ != crDefault) QGuiApplication::setOverrideCursor(detail::ToQCursor(cursor_));
}

int TScreen::Width() const {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int TScreen::Height() const {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

TForm* TScreen::ActiveForm() const {
    if (!Application) return nullptr;
    for (int i = 0; i < Application->FormCount(); ++i)
        if (TForm* f = Application->Forms(i); f->Active()) return f;
    return nullptr;
}

} // namespace vcl
