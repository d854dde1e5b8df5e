// A test with the application object, a scripted responder for every box and modal form, and
// helpers to reach the widgets behind controls.
#pragma once

#include "app_fixture.h"

#include "vcl/native.h"
#include "vcl/testing/scripted_responder.h"

#include <QAbstractScrollArea>
#include <QStackedWidget>
#include <QWidget>

#include <memory>

class UiTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        responder_ = std::make_unique<vcl::testing::ScriptedResponder>();
    }
    void TearDown() override {
        responder_.reset();
        AppTest::TearDown();
    }
    vcl::testing::ScriptedResponder& Responder() { return *responder_; }

    static QWidget* W(vcl::TControl* c) { return vcl::NativeWidget(c); }
    // The viewport that a list or tree view paints its rows in.
    static QWidget* Viewport(vcl::TControl* view) {
        QWidget* w = W(view);
        if (auto* stack = qobject_cast<QStackedWidget*>(w)) w = stack->currentWidget();
        return static_cast<QAbstractScrollArea*>(w)->viewport();
    }
    // The widget that holds the keyboard focus for a control.
    static QWidget* FocusTarget(vcl::TControl* c) {
        QWidget* w = W(c);
        if (auto* stack = qobject_cast<QStackedWidget*>(w)) w = stack->currentWidget();
        return w;
    }

private:
    std::unique_ptr<vcl::testing::ScriptedResponder> responder_;
};
