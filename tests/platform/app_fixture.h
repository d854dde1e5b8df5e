// A test with the application object and helpers that handle GUI events while waiting.
#pragma once

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/form.h"
#include "vcl/modal_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Stands in for the desktop's dialogs while a test runs: any box or modal form fails the test
// with its text instead of waiting for a click that never comes. Tests that expect dialogs script
// them with vcl::testing::ScriptedResponder.
class NoDialogsGuard : public vcl::TDialogHost, public vcl::TModalHost {
public:
    NoDialogsGuard() : dialogs_(vcl::SetDialogHost(this)), modal_(vcl::SetModalHost(this)) {}
    ~NoDialogsGuard() override {
        vcl::SetDialogHost(dialogs_);
        vcl::SetModalHost(modal_);
    }
    int MessageBox(const vcl::TMessageBoxRequest& r) override {
        ADD_FAILURE() << "unexpected message box: caption \"" << r.Caption << "\" text \"" << r.Text
                      << "\"";
        return vcl::ClosedBoxAnswer(r.Buttons);
    }
    std::vector<std::string> FileDialog(const vcl::TFileDialogRequest& r) override {
        ADD_FAILURE() << "unexpected file dialog \"" << r.Title << "\"";
        return {};
    }
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string&) override {
        ADD_FAILURE() << "unexpected folder dialog \"" << title << "\"";
        return std::nullopt;
    }
    int RunModal(vcl::TForm& form) override {
        ADD_FAILURE() << "unexpected modal form: " << form.Name << " \"" << form.GetCaption()
                      << "\"";
        return vcl::mrCancel;
    }

private:
    vcl::TDialogHost* dialogs_;
    vcl::TModalHost* modal_;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app_ = std::make_unique<vcl::TApplication>();
        gui_ = std::this_thread::get_id();
    }
    void TearDown() override { app_.reset(); }

    // Handles GUI events until done() holds; false after a generous bound.
    static bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            vcl::Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Handles GUI events for a short while, for checks that something does not happen.
    static void PumpFor(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            vcl::Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    bool OnGui() const { return std::this_thread::get_id() == gui_; }

    NoDialogsGuard noDialogs_;
    std::unique_ptr<vcl::TApplication> app_;
    std::thread::id gui_;
};
