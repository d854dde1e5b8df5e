#include "messagekind.h"

#include "msgbox.h"

#include <algorithm>

namespace {

using C = KindComposition;
using K = CaptionClass;
using B = ButtonSet;

constexpr MessageKind kKinds[kMessageKindCount] = {
    /* 0 */ {197, 0, nullptr, C::ArgumentText, K::Information, B::Ok},
    /* 1 */ {198, 0, nullptr, C::ArgumentLineText, K::Error, B::Ok},
    /* 2 */ {199, 0, nullptr, C::TextArgument, K::Error, B::Cancel},
    /* 3 */ {200, 0, nullptr, C::TextArgument, K::Error, B::Cancel},
    /* 4 */ {201, 0, nullptr, C::TextArgument, K::Error, B::Cancel},
    /* 5 */ {202, 0, nullptr, C::TextArgument, K::Error, B::Cancel},
    /* 6 */ {203, 0, nullptr, C::ArgumentLineText, K::Error, B::Cancel},
    /* 7 */ {204, 0, nullptr, C::ArgumentText, K::Error, B::Cancel},
    /* 8 */ {32, 0, nullptr, C::ArgumentText, K::Error, B::Cancel},
    /* 9 */ {205, 0, nullptr, C::ArgumentText, K::Warning, B::YesNo},
    /* 10 */ {206, 0, nullptr, C::ArgumentText, K::Warning, B::YesNo},
    /* 11 */ {207, 0, nullptr, C::ArgumentText, K::Warning, B::YesNo},
    /* 12 */ {208, 0, nullptr, C::ArgumentOnly, K::Confirmation, B::Five},
    /* 13 */ {209, 0, nullptr, C::ArgumentOnly, K::Confirmation, B::YesToAllYesCancel},
    /* 14 */ {210, 0, nullptr, C::TextOnly, K::Warning, B::Ok},
    /* 15 */ {211, 0, nullptr, C::ArgumentText, K::Confirmation, B::YesCancel},
    /* 16 */ {212, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 17 */ {213, 0, nullptr, C::ArgumentText, K::Confirmation, B::Five},
    /* 18 */ {214, 0, nullptr, C::ArgumentOnly, K::Confirmation, B::Five},
    /* 19 */ {215, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 20 */ {216, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 21 */ {217, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 22 */ {218, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 23 */ {219, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 24 */ {220, 221, nullptr, C::ArgumentText, K::Warning, B::YesNo},
    /* 25 */ {222, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 26 */
    {223, 0, "Administrator password error.  Retry ?", C::FixedEnglish, K::Error, B::YesNo},
    /* 27 */ {224, 0, "Mirror password error.  Retry ?", C::FixedEnglish, K::Error, B::YesNo},
    /* 28 */ {225, 0, "Share password error.  Retry ?", C::FixedEnglish, K::Error, B::YesNo},
    /* 29 */ {226, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 30 */ {227, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 31 */ {228, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 32 */ {229, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 33 */ {230, 0, nullptr, C::TextArgument, K::Error, B::Ok},
    /* 34 */ {231, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 35 */ {232, 0, nullptr, C::TextArgument, K::Confirmation, B::YesNo},
    /* 36 */ {233, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 37 */ {234, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 38 */ {235, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 39 */ {236, 0, nullptr, C::TextOnly, K::Error, B::Ok},
    /* 40 */ {237, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 41 */ {238, 0, nullptr, C::ArgumentText, K::Information, B::Ok},
    /* 42 */ {239, 0, nullptr, C::ArgumentText, K::Confirmation, B::YesNo},
    /* 43 */ {240, 0, nullptr, C::TextArgumentQuestion, K::Confirmation, B::YesNo},
    /* 44 */ {240, 0, nullptr, C::TextArgumentQuestion, K::Confirmation, B::Five},
    /* 45 */ {241, 0, nullptr, C::ArgumentText, K::Warning, B::Ok},
    /* 46 */ {242, 0, nullptr, C::ArgumentOnly, K::Error, B::YesNo},
    /* 47 */ {243, 0, nullptr, C::ArgumentText, K::Confirmation, B::YesNo},
    /* 48 */ {244, 0, nullptr, C::ArgumentText, K::Error, B::Ok},
    /* 49 */ {245, 0, nullptr, C::ArgumentLineText, K::Confirmation, B::YesNo},
    /* 50 */ {246, 0, nullptr, C::ArgumentLineText, K::Warning, B::YesNo},
    /* 51 */ {0, 0, nullptr, C::ArgumentOnly, K::Confirmation, B::YesNo},
    /* 52 */ {0, 0, nullptr, C::ArgumentOnly, K::Warning, B::Ok},
    /* 53 */ {0, 0, nullptr, C::ArgumentOnly, K::Warning, B::Ok},
};

} // namespace

const MessageKind* FindMessageKind(int kind) {
    if (kind < 0 || kind >= kMessageKindCount) return nullptr;
    return &kKinds[kind];
}

std::string MessageKindText(int kind) {
    const MessageKind* entry = FindMessageKind(kind);
    if (!entry || entry->textId == 0) return {};
    if (entry->secondTextId != 0)
        return JoinStrings2(GetMessageText(entry->textId), GetMessageText(entry->secondTextId));
    return GetMessageText(entry->textId);
}

std::string MessageKindCaption(int kind) {
    const MessageKind* entry = FindMessageKind(kind);
    switch (entry ? entry->caption : CaptionClass::Error) {
    case CaptionClass::Warning:
        return GetMessageText(15);
    case CaptionClass::Information:
        return GetMessageText(292);
    case CaptionClass::Confirmation:
        return GetMessageText(510);
    case CaptionClass::Error:
        break;
    }
    return GetMessageText(9);
}

std::string ComposeKindMessage(std::string_view argument, int kind) {
    const MessageKind* entry = FindMessageKind(kind);
    if (!entry) return {};
    const std::string text = MessageKindText(kind);
    switch (entry->composition) {
    case C::ArgumentOnly:
        return std::string(argument);
    case C::ArgumentText:
        return JoinStrings2(argument, text);
    case C::ArgumentLineText:
        return JoinStrings3(argument, argument.empty() ? "" : "\n", text);
    case C::TextArgument:
        return JoinStrings2(text, argument);
    case C::TextArgumentQuestion:
        return JoinStrings3(text, argument, " ?");
    case C::TextOnly:
        return text;
    case C::FixedEnglish:
        return entry->fixedText;
    }
    return {};
}

int ButtonSetResult(ButtonSet set, int pressedButton) {
    switch (set) {
    case B::Ok:
        return krOk;
    case B::Cancel:
        return krCancel;
    case B::YesNo:
        return pressedButton == 2 ? krYes : krNo;
    case B::YesCancel:
        return pressedButton == 2 ? krYes : krCancel;
    case B::YesToAllYesCancel:
    case B::Five: {
        // The same buttons stand at the same places; only the five-button set has No to all
        // and No.
        const bool five = set == B::Five;
        switch (pressedButton) {
        case 0:
        case 5:
            return krCancel;
        case 1:
            return krYesToAll;
        case 2:
            return five ? krNoToAll : krOk;
        case 3:
            return krYes;
        case 4:
            return five ? krNo : krOk;
        default:
            return krOk;
        }
    }
    }
    return krOk;
}

int MessageTextHeight(std::string_view text, int fontPointSize) {
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    const int lineHeight = fontPointSize + 5;
    const long total = static_cast<long>(lines) * lineHeight;
    if (total > 150) return 280;
    if (total < 3L * lineHeight) return 90;
    return 205;
}
