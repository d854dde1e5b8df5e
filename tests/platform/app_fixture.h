// A test with the application object and helpers that handle GUI events while waiting.
#pragma once

#include "vcl/application.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

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

    std::unique_ptr<vcl::TApplication> app_;
    std::thread::id gui_;
};
