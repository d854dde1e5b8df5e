#include "vcl/dragdrop.h"

#include "vcl/application.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QStackedWidget>
#include <QUrl>
#include <QWidget>

#include <exception>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vcl {
namespace {

const char* const kUriList = "text/uri-list";
const char* const kGnomeCopied = "x-special/gnome-copied-files";
const char* const kKdeCut = "application/x-kde-cutselection";

// The scroll area a control shows now: the control itself, or the current page of a control
// that switches between views (a list view's styles); null for other controls.
QAbstractScrollArea* ActiveScrollArea(QWidget* widget) {
    if (auto* scroll = qobject_cast<QAbstractScrollArea*>(widget)) return scroll;
    if (auto* pages = qobject_cast<QStackedWidget*>(widget))
        return qobject_cast<QAbstractScrollArea*>(pages->currentWidget());
    return nullptr;
}

// The widgets that drags move over: the viewports of a control's views, whose coordinates the
// views' hit tests take; the control's own widget when it has no view.
std::vector<QWidget*> DropWidgets(QWidget* widget) {
    if (auto* scroll = qobject_cast<QAbstractScrollArea*>(widget)) return {scroll->viewport()};
    std::vector<QWidget*> out;
    if (auto* pages = qobject_cast<QStackedWidget*>(widget))
        for (int i = 0; i < pages->count(); ++i)
            if (auto* scroll = qobject_cast<QAbstractScrollArea*>(pages->widget(i)))
                out.push_back(scroll->viewport());
    if (out.empty()) out.push_back(widget);
    return out;
}

TShiftState ShiftOf(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons) {
    TShiftState s;
    if (keys & Qt::ShiftModifier) s << ssShift;
    if (keys & Qt::ControlModifier) s << ssCtrl;
    if (keys & Qt::AltModifier) s << ssAlt;
    if (buttons & Qt::LeftButton) s << ssLeft;
    if (buttons & Qt::RightButton) s << ssRight;
    if (buttons & Qt::MiddleButton) s << ssMiddle;
    return s;
}

int OfferedOf(Qt::DropActions actions) {
    int effect = DROPEFFECT_NONE;
    if (actions & Qt::CopyAction) effect |= DROPEFFECT_COPY;
    if (actions & Qt::MoveAction) effect |= DROPEFFECT_MOVE;
    if (actions & Qt::LinkAction) effect |= DROPEFFECT_LINK;
    return effect;
}

// Accepts the event with the one action the effect names among those offered, or refuses it. An
// entering drag is always taken (with no action when the effect is none), so that its moves and
// its leaving still come here: a handler may allow the drop further on.
void Answer(QDropEvent* event, int effect) {
    effect &= OfferedOf(event->possibleActions());
    if (effect & DROPEFFECT_COPY)
        event->setDropAction(Qt::CopyAction);
    else if (effect & DROPEFFECT_MOVE)
        event->setDropAction(Qt::MoveAction);
    else if (effect & DROPEFFECT_LINK)
        event->setDropAction(Qt::LinkAction);
    else {
        event->setDropAction(Qt::IgnoreAction);
        event->setAccepted(event->type() == QEvent::DragEnter);
        return;
    }
    event->accept();
}

// A local file's absolute path, or "" for anything else.
std::string LocalPath(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile()) return {};
    const QString host = url.host();
    if (!host.isEmpty() && host.compare("localhost", Qt::CaseInsensitive) != 0) return {};
    const QString path = url.path(QUrl::FullyDecoded);
    if (!path.startsWith('/') || path.contains(QChar(0))) return {};
    return path.toStdString();
}

class DropFilter;
// The drop targets by control widget. GUI thread only.
std::unordered_map<QWidget*, DropFilter*>& Registered() {
    static std::unordered_map<QWidget*, DropFilter*> map;
    return map;
}

// Watches the drag events of one control and hands them to its sink. A child of the control's
// widget, so that it goes with it.
class DropFilter : public QObject {
public:
    DropFilter(QWidget* control, TDropSink* sink)
        : QObject(control), control_(control), sink_(sink) {
        for (QWidget* w : DropWidgets(control)) {
            watched_.push_back({w, w->acceptDrops()});
            w->setAcceptDrops(true);
            w->installEventFilter(this);
        }
        Registered()[control_] = this;
    }
    // Gone with the control: the sink hears of it. Revoked: it does not.
    ~DropFilter() override {
        Registered().erase(control_);
        if (!revoked_) sink_->ControlDestroyed();
    }

    void Revoke() {
        revoked_ = true;
        for (auto& [w, accepting] : watched_) {
            if (!w) continue;
            w->removeEventFilter(this);
            w->setAcceptDrops(accepting);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            const TShiftState shift = ShiftOf(e->modifiers(), e->buttons());
            const QPoint p = e->position().toPoint();
            const TPoint point{p.x(), p.y()};
            const int offered = OfferedOf(e->possibleActions());
            int effect = DROPEFFECT_NONE;
            Guard([&] {
                if (event->type() == QEvent::DragEnter)
                    effect = sink_->DragEnter(DragDataOf(e->mimeData()), shift, point, offered);
                else if (event->type() == QEvent::DragMove)
                    effect = sink_->DragOver(shift, point, offered);
                else
                    effect = sink_->Drop(DragDataOf(e->mimeData()), shift, point, offered);
            });
            Answer(e, effect);
            return true;
        }
        case QEvent::DragLeave:
            Guard([&] { sink_->DragLeave(); });
            event->accept();
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    // Nothing a target throws crosses the event loop.
    template <class F> static void Guard(F&& call) {
        try {
            call();
        } catch (...) {
            ReportException(nullptr, std::current_exception());
        }
    }

    QWidget* control_;
    TDropSink* sink_;
    std::vector<std::pair<QPointer<QWidget>, bool>> watched_;
    bool revoked_ = false;
};

QScrollBar* BarIfShown(QScrollBar* bar, Qt::ScrollBarPolicy policy) {
    if (policy == Qt::ScrollBarAlwaysOn) return bar;
    if (policy == Qt::ScrollBarAsNeeded && bar->maximum() > bar->minimum()) return bar;
    return nullptr;
}

} // namespace

bool RegisterDropTarget(TWinControl* control, TDropSink* sink) {
    if (!control || !sink || !control->Widget()) return false;
    if (Registered().count(control->Widget())) return false;
    new DropFilter(control->Widget(), sink);
    return true;
}

bool RevokeDropTarget(TWinControl* control) {
    if (!control || !control->Widget()) return false;
    const auto it = Registered().find(control->Widget());
    if (it == Registered().end()) return false;
    DropFilter* filter = it->second;
    filter->Revoke();
    delete filter;
    return true;
}

TDragData DragDataOf(const QMimeData* mime) {
    TDragData d;
    if (!mime) return d;
    QList<QUrl> urls;
    if (mime->hasFormat(kUriList)) {
        d.hasFileList = true;
        urls = mime->urls();
    }
    if (mime->hasFormat(kGnomeCopied)) {
        // "copy" or "cut" on the first line, then one address a line.
        const QList<QByteArray> lines = mime->data(kGnomeCopied).split('\n');
        const QByteArray verb = lines.value(0).trimmed();
        if (verb == "cut") d.preferredEffect = DROPEFFECT_MOVE;
        if (verb == "copy") d.preferredEffect = DROPEFFECT_COPY;
        if (!d.hasFileList) {
            d.hasFileList = true;
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QByteArray line = lines[i].trimmed();
                if (!line.isEmpty())
                    urls.push_back(QUrl(QString::fromUtf8(line), QUrl::StrictMode));
            }
        }
    }
    if (mime->hasFormat(kKdeCut))
        d.preferredEffect =
            mime->data(kKdeCut).trimmed() == "1" ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    for (const QUrl& url : urls) {
        std::string path = LocalPath(url);
        if (!path.empty()) d.files.push_back(std::move(path));
    }
    for (const QString& format : mime->formats())
        if (format.startsWith("text/plain")) d.hasText = true;
    if (d.hasText) d.text = mime->text().toStdString();
    return d;
}

TDragData ClipboardData() {
    return DragDataOf(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard));
}

TDropArea DropAreaOf(const TWinControl* control) {
    TDropArea a;
    if (!control || !control->Widget()) return a;
    QAbstractScrollArea* scroll = ActiveScrollArea(control->Widget());
    const QWidget* area = scroll ? scroll->viewport() : control->Widget();
    a.width = area->width();
    a.height = area->height();
    if (scroll) {
        a.horizontalBar = BarIfShown(scroll->horizontalScrollBar(),
                                     scroll->horizontalScrollBarPolicy()) != nullptr;
        a.verticalBar =
            BarIfShown(scroll->verticalScrollBar(), scroll->verticalScrollBarPolicy()) != nullptr;
    }
    return a;
}

void ScrollDropArea(TWinControl* control, int dx, int dy) {
    if (!control || !control->Widget()) return;
    QAbstractScrollArea* scroll = ActiveScrollArea(control->Widget());
    if (!scroll) return;
    const auto step = [](QScrollBar* bar, int d) {
        if (!bar || d == 0) return;
        bar->triggerAction(d < 0 ? QAbstractSlider::SliderSingleStepSub
                                 : QAbstractSlider::SliderSingleStepAdd);
    };
    step(BarIfShown(scroll->horizontalScrollBar(), scroll->horizontalScrollBarPolicy()), dx);
    step(BarIfShown(scroll->verticalScrollBar(), scroll->verticalScrollBarPolicy()), dy);
}

} // namespace vcl
