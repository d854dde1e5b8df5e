#include "form_shot.h"

#include "vcl/application.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstdio>

namespace vcl::testing {

bool SaveFormPicture(TForm& form, const std::string& path) {
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
    const bool saved = form.Widget()->grab().save(path.c_str(), "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", path.c_str());
    return saved;
}

bool SaveScreenPicture(const std::string& path) {
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
    QScreen* screen = QGuiApplication::primaryScreen();
    const bool saved = screen && screen->grabWindow(0).save(path.c_str(), "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", path.c_str());
    return saved;
}

int OkDialogHost::MessageBox(const TMessageBoxRequest& request) {
    std::fprintf(stderr, "box: %s\n", request.Text.c_str());
    return IDOK;
}

std::vector<std::string> OkDialogHost::FileDialog(const TFileDialogRequest&) {
    return {};
}

std::optional<std::string> OkDialogHost::BrowseFolder(const std::string&, const std::string&) {
    return std::nullopt;
}

} // namespace vcl::testing
