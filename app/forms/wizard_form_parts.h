// Helpers of the wizard's form descriptions: a control placed on a page, a report list with its
// column titles from the message table, a spin edit with its range.
#pragma once

#include "fmwizard.h"
#include "msgbox.h"

#include <initializer_list>
#include <utility>

namespace wizard_form {

template <class T>
T* Place(TFmWizard* form, vcl::TWinControl* parent, const char* name, int left, int top, int width,
         int height, int captionId = 0) {
    T* control = vcl::Make<T>(form, parent, name);
    control->SetBounds(left, top, width, height);
    if (captionId) control->SetCaption(GetMessageText(captionId));
    return control;
}

// A page's title: bold, one line.
inline vcl::TLabel* PlaceTitle(TFmWizard* form, vcl::TWinControl* parent, const char* name,
                               int left, int top, int captionId) {
    vcl::TLabel* label = Place<vcl::TLabel>(form, parent, name, left, top, 560, 16, captionId);
    label->Font()->SetStyle({vcl::fsBold});
    return label;
}

// A text of a fixed width that wraps to as many lines as it needs (its height follows it).
inline vcl::TLabel* PlaceWrapped(TFmWizard* form, vcl::TWinControl* parent, const char* name,
                                 int left, int top, int width, int captionId) {
    vcl::TLabel* label = vcl::Make<vcl::TLabel>(form, parent, name);
    label->SetWordWrap(true);
    label->SetBounds(left, top, width, 16);
    if (captionId) label->SetCaption(GetMessageText(captionId));
    return label;
}

// Columns: (message id of the title, width).
inline vcl::TListView* PlaceReportList(TFmWizard* form, vcl::TWinControl* parent, const char* name,
                                       int left, int top, int width, int height,
                                       std::initializer_list<std::pair<int, int>> columns) {
    vcl::TListView* list = Place<vcl::TListView>(form, parent, name, left, top, width, height);
    list->SetViewStyle(vcl::vsReport);
    list->SetRowSelect(true);
    list->SetReadOnly(true);
    list->SetHideSelection(false);
    for (auto [id, columnWidth] : columns) {
        vcl::TListColumn* column = list->Columns()->Add();
        column->SetCaption(GetMessageText(id));
        column->SetWidth(columnWidth);
    }
    return list;
}

inline vcl::TCSpinEdit* MakeSpin(TFmWizard* form, vcl::TWinControl* parent, const char* name,
                                 int left, int top, int width, int min, int max) {
    vcl::TCSpinEdit* spin = Place<vcl::TCSpinEdit>(form, parent, name, left, top, width, 24);
    spin->SetMinValue(min);
    spin->SetMaxValue(max);
    spin->SetValue(min);
    return spin;
}

} // namespace wizard_form
