#include "vcl/dialog_host.h"

#include "detail/hooks.h"
#include "detail/wrapped_text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTranslator>

#include <memory>

namespace vcl {

TMessageBoxRequest MessageBoxRequest(const std::string& text, const std::string& caption,
                                     unsigned flags) {
    TMessageBoxRequest r;
    r.Text = text;
    r.Caption = caption;
    switch (flags & 0x0F) {
    case MB_OKCANCEL:
        r.Buttons = TBoxButtons::OkCancel;
        break;
    case MB_ABORTRETRYIGNORE:
        r.Buttons = TBoxButtons::AbortRetryIgnore;
        break;
    case MB_YESNOCANCEL:
        r.Buttons = TBoxButtons::YesNoCancel;
        break;
    case MB_YESNO:
        r.Buttons = TBoxButtons::YesNo;
        break;
    case MB_RETRYCANCEL:
        r.Buttons = TBoxButtons::RetryCancel;
        break;
    default:
        r.Buttons = TBoxButtons::Ok;
        break;
    }
    switch (flags & 0xF0) {
    case MB_ICONSTOP:
        r.Icon = TBoxIcon::Stop;
        break;
    case MB_ICONQUESTION:
        r.Icon = TBoxIcon::Question;
        break;
    case MB_ICONWARNING:
        r.Icon = TBoxIcon::Warning;
        break;
    case MB_ICONINFORMATION:
        r.Icon = TBoxIcon::Information;
        break;
    default:
        r.Icon = TBoxIcon::None;
        break;
    }
    return r;
}

int ClosedBoxAnswer(TBoxButtons buttons) {
    switch (buttons) {
    case TBoxButtons::Ok:
        return IDOK;
    case TBoxButtons::YesNo:
        return IDNO;
    case TBoxButtons::AbortRetryIgnore:
        return IDABORT;
    default:
        return IDCANCEL;
    }
}

bool IsBoxAnswer(TBoxButtons buttons, int answer) {
    switch (buttons) {
    case TBoxButtons::Ok:
        return answer == IDOK;
    case TBoxButtons::OkCancel:
        return answer == IDOK || answer == IDCANCEL;
    case TBoxButtons::AbortRetryIgnore:
        return answer == IDABORT || answer == IDRETRY || answer == IDIGNORE;
    case TBoxButtons::YesNoCancel:
        return answer == IDYES || answer == IDNO || answer == IDCANCEL;
    case TBoxButtons::YesNo:
        return answer == IDYES || answer == IDNO;
    case TBoxButtons::RetryCancel:
        return answer == IDRETRY || answer == IDCANCEL;
    }
    return false;
}

namespace {

TBoxButtonCaptions boxCaptions;

} // namespace

void SetBoxButtonCaptions(const TBoxButtonCaptions& captions) {
    boxCaptions = captions;
}

const TBoxButtonCaptions& BoxButtonCaptions() {
    return boxCaptions;
}

namespace {

std::unique_ptr<QTranslator> toolkitTranslator;

} // namespace

bool SetDialogLanguage(const std::string& locale) {
    if (toolkitTranslator) {
        QCoreApplication::removeTranslator(toolkitTranslator.get());
        toolkitTranslator.reset();
    }
    if (locale.empty()) return true;
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_") + detail::ToQt(locale), folder)) return false;
    QCoreApplication::installTranslator(translator.get());
    toolkitTranslator = std::move(translator);
    return true;
}

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::vector<std::string> FileDialogTypeNames(const std::string& filter) {
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
        const std::size_t bar = filter.find('|', at);
        parts.push_back(filter.substr(at, bar == std::string::npos ? bar : bar - at));
        if (bar == std::string::npos) break;
        at = bar + 1;
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns;
        for (std::size_t at = 0; at <= parts[i + 1].size();) {
            std::size_t end = parts[i + 1].find(';', at);
            if (end == std::string::npos) end = parts[i + 1].size();
            const std::string pattern = Trimmed(parts[i + 1].substr(at, end - at));
            if (!pattern.empty()) patterns += (patterns.empty() ? "" : " ") + pattern;
            at = end + 1;
        }
        if (patterns.empty()) continue;
        const std::string description = Trimmed(parts[i]);
        const std::string bracketed = "(" + patterns + ")";
        // The toolkit reads the patterns from the last brackets of an entry.
        if (description.size() >= bracketed.size() &&
            description.compare(description.size() - bracketed.size(), bracketed.size(),
                                bracketed) == 0)
            names.push_back(description);
        else
            names.push_back(description.empty() ? bracketed : description + " " + bracketed);
    }
    return names;
}

namespace {

// "Text|*.a;*.b|All|*.*" as the toolkit's "Text (*.a *.b);;All (*.*)".
QString ToQtFilter(const std::string& filter, int index, QString* selected) {
    QStringList out;
    for (const std::string& name : FileDialogTypeNames(filter))
        out << detail::ToQt(name);
    if (index >= 1 && index <= out.size()) *selected = out[index - 1];
    return out.join(QStringLiteral(";;"));
}

// The widest a message box's text asks to be, in pixels; longer texts wrap.
constexpr int kBoxTextWidth = 400;

// The box's text is shown by a label that wraps a word longer than a line (a long path) where it
// meets the line's end instead of widening the box past the screen. The box keeps its text as
// given: that is what a copy of the box takes and what is read aloud.
void ShowTextWrapped(QMessageBox& box) {
    auto* own = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!own || !box.layout()) return;
    auto* label = new detail::WrappingLabel(&box);
    label->setObjectName(QStringLiteral("box_text"));
    label->setTextFormat(Qt::PlainText);
    label->setText(own->text());
    label->setAlignment(own->alignment());
    label->setContentsMargins(own->contentsMargins());
    label->setWordWrap(true);
    label->SetPreferredWidth(kBoxTextWidth);
    if (QLayoutItem* replaced = box.layout()->replaceWidget(own, label)) {
        delete replaced;
        own->hide();
    } else {
        delete label;
    }
}

class DesktopDialogHost : public TDialogHost {
public:
    int MessageBox(const TMessageBoxRequest& request) override {
        // The box belongs to the window it speaks for: it stays above it, and when it closes,
        // that window is active again with its focus where it was.
        QPointer<QWidget> owner = QApplication::activeModalWidget();
        if (!owner) owner = QApplication::activeWindow();
        QMessageBox box(owner);
        box.setWindowTitle(detail::ToQt(request.Caption));
        box.setTextFormat(Qt::PlainText);
        box.setText(detail::ToQt(request.Text));
        switch (request.Icon) {
        case TBoxIcon::Stop:
            box.setIcon(QMessageBox::Critical);
            break;
        case TBoxIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case TBoxIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case TBoxIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case TBoxIcon::None:
            break;
        }
        struct Pair {
            QMessageBox::StandardButton button;
            int id;
            const std::string* caption;
        };
        const TBoxButtonCaptions& c = boxCaptions;
        const Pair ok{QMessageBox::Ok, IDOK, &c.Ok};
        const Pair cancel{QMessageBox::Cancel, IDCANCEL, &c.Cancel};
        const Pair yes{QMessageBox::Yes, IDYES, &c.Yes};
        const Pair no{QMessageBox::No, IDNO, &c.No};
        const Pair abort{QMessageBox::Abort, IDABORT, &c.Abort};
        const Pair retry{QMessageBox::Retry, IDRETRY, &c.Retry};
        const Pair ignore{QMessageBox::Ignore, IDIGNORE, &c.Ignore};
        std::vector<Pair> pairs;
        switch (request.Buttons) {
        case TBoxButtons::Ok:
            pairs = {ok};
            break;
        case TBoxButtons::OkCancel:
            pairs = {ok, cancel};
            break;
        case TBoxButtons::AbortRetryIgnore:
            pairs = {abort, retry, ignore};
            break;
        case TBoxButtons::YesNoCancel:
            pairs = {yes, no, cancel};
            break;
        case TBoxButtons::YesNo:
            pairs = {yes, no};
            break;
        case TBoxButtons::RetryCancel:
            pairs = {retry, cancel};
            break;
        }
        QMessageBox::StandardButtons set;
        for (const Pair& p : pairs)
            set |= p.button;
        box.setStandardButtons(set);
        for (const Pair& p : pairs)
            if (!p.caption->empty()) box.button(p.button)->setText(detail::ToQt(*p.caption));
        ShowTextWrapped(box); // once the box's layout is complete (the icon remakes it)
        box.exec();
        // Not every desktop hands the activation back to the box's owner by itself.
        if (owner && owner->isVisible()) owner->activateWindow();
        QAbstractButton* clicked = box.clickedButton();
        for (const Pair& p : pairs)
            if (clicked && clicked == box.button(p.button)) return p.id;
        return ClosedBoxAnswer(request.Buttons);
    }

    std::vector<std::string> FileDialog(const TFileDialogRequest& request) override {
        QString selected;
        const QString filter = ToQtFilter(request.Filter, request.FilterIndex, &selected);
        QFileDialog dialog(nullptr, detail::ToQt(request.Title), detail::ToQt(request.InitialDir),
                           filter);
        if (!selected.isEmpty()) dialog.selectNameFilter(selected);
        if (!request.FileName.empty()) dialog.selectFile(detail::ToQt(request.FileName));
        if (!request.DefaultExt.empty()) dialog.setDefaultSuffix(detail::ToQt(request.DefaultExt));
        if (request.Save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            if (!request.OverwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(request.MultiSelect ? QFileDialog::ExistingFiles
                                                   : QFileDialog::ExistingFile);
        }
        std::vector<std::string> files;
        if (dialog.exec() != QDialog::Accepted) return files;
        for (const QString& f : dialog.selectedFiles())
            files.push_back(detail::FromQt(f));
        return files;
    }

    std::optional<std::string> BrowseFolder(const std::string& title,
                                            const std::string& startFolder) override {
        const QString folder = QFileDialog::getExistingDirectory(nullptr, detail::ToQt(title),
                                                                 detail::ToQt(startFolder));
        if (folder.isEmpty()) return std::nullopt;
        return detail::FromQt(folder);
    }
};

DesktopDialogHost desktopHost;
TDialogHost* current = nullptr;

} // namespace

TDialogHost& DialogHost() {
    return current ? *current : desktopHost;
}

TDialogHost* SetDialogHost(TDialogHost* host) {
    TDialogHost* previous = current;
    current = host == &desktopHost ? nullptr : host;
    return previous;
}

} // namespace vcl
