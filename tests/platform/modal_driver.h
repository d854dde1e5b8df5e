// Real modal windows in a test: the desktop's dialog and modal hosts stand in for the scripted
// ones while a ModalDriver exists, and the driver answers each modal window from a timer, the way
// a person at the keyboard would. Work runs inside the application's own event loop (RunInLoop),
// as it does in the program, so that whatever the toolkit does when a window closes happens here
// too.
#pragma once

#include "vcl/dialog_host.h"
#include "vcl/modal_host.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class ModalDriver {
public:
    // Acts on the modal window it was given (a message box or a form's window).
    using Action = std::function<void(QWidget* window)>;

    ModalDriver() : dialogs_(vcl::SetDialogHost(nullptr)), modal_(vcl::SetModalHost(nullptr)) {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    ~ModalDriver() {
        timer_.stop();
        vcl::SetDialogHost(dialogs_);
        vcl::SetModalHost(modal_);
    }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // When the next modal window is a message box: records its text, then act runs on it.
    ModalDriver& OnBox(Action act) {
        steps_.push_back({true, {}, std::move(act)});
        return *this;
    }
    // When the next modal window is the form of that window title: act runs on it.
    ModalDriver& OnForm(std::string title, Action act) {
        steps_.push_back({false, std::move(title), std::move(act)});
        return *this;
    }
    // The texts of the boxes answered, in order.
    const std::vector<std::string>& BoxTexts() const { return boxTexts_; }
    int Pending() const { return static_cast<int>(steps_.size()); }

    // Runs work from the application's event loop and ends the loop once finished holds (30 s at
    // most); returns whether the loop was ended by someone else first (the application quitting).
    static bool RunInLoop(const std::function<void()>& work,
                          const std::function<bool()>& finished) {
        bool endedByUs = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        QTimer check;
        check.setInterval(2);
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (endedByUs) return;
            const bool late = std::chrono::steady_clock::now() > deadline;
            if (!finished() && !late) return;
            EXPECT_FALSE(late) << "the work did not finish";
            endedByUs = true;
            QCoreApplication::exit(0);
        });
        QTimer::singleShot(0, [&] {
            work();
            check.start();
        });
        QCoreApplication::exec();
        return !endedByUs;
    }

private:
    struct Step {
        bool box = false;
        std::string title;
        Action act;
    };
    void Poll() {
        const auto now = std::chrono::steady_clock::now();
        if (waitingSince_ == std::chrono::steady_clock::time_point{}) waitingSince_ = now;
        // A window acted on counts again once another one has been on top of it or it has been
        // hidden (a form shown a second time, a dialog back after its box).
        QWidget* window = QApplication::activeModalWidget();
        if (last_ && (window != last_ || !last_->isVisible())) last_ = nullptr;
        if (!window || !window->isVisible() || window == last_) return;
        auto* box = qobject_cast<QMessageBox*>(window);
        const auto expected = [&](const Step& step) {
            return step.box ? box != nullptr
                            : !box && window->windowTitle().toStdString() == step.title;
        };
        if (steps_.empty() || !expected(steps_.front())) {
            // Never wait for ever on a window nobody expected.
            if (now - waitingSince_ < std::chrono::seconds(30)) return;
            ADD_FAILURE() << "unexpected modal window \"" << window->windowTitle().toStdString()
                          << "\" " << (box ? box->text().toStdString() : std::string());
            waitingSince_ = now;
            if (box)
                box->reject();
            else
                window->close();
            return;
        }
        waitingSince_ = now;
        last_ = window;
        if (box) boxTexts_.push_back(box->text().toStdString());
        // The action runs from the event loop, not from this timer, so that the modal windows
        // it opens are answered in turn.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [act = std::move(steps_.front().act), target = QPointer<QWidget>(window)] {
                if (target) act(target);
            },
            Qt::QueuedConnection);
        steps_.pop_front();
    }

    vcl::TDialogHost* dialogs_;
    vcl::TModalHost* modal_;
    QTimer timer_;
    std::deque<Step> steps_;
    std::vector<std::string> boxTexts_;
    QPointer<QWidget> last_;
    std::chrono::steady_clock::time_point waitingSince_{};
};
