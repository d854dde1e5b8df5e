// Key codes of OnKeyDown and OnKeyUp: the classic virtual-key numbers, so that handlers compare
// with the same values whatever the toolkit reports. Letters and digits are their upper-case ASCII
// codes ('A', '0').
#pragma once

namespace vcl {

using TKey = unsigned short;

inline constexpr TKey VK_BACK = 0x08;
inline constexpr TKey VK_TAB = 0x09;
inline constexpr TKey VK_RETURN = 0x0D;
inline constexpr TKey VK_SHIFT = 0x10;
inline constexpr TKey VK_CONTROL = 0x11;
inline constexpr TKey VK_MENU = 0x12; // Alt
inline constexpr TKey VK_PAUSE = 0x13;
inline constexpr TKey VK_CAPITAL = 0x14;
inline constexpr TKey VK_ESCAPE = 0x1B;
inline constexpr TKey VK_SPACE = 0x20;
inline constexpr TKey VK_PRIOR = 0x21; // Page Up
inline constexpr TKey VK_NEXT = 0x22;  // Page Down
inline constexpr TKey VK_END = 0x23;
inline constexpr TKey VK_HOME = 0x24;
inline constexpr TKey VK_LEFT = 0x25;
inline constexpr TKey VK_UP = 0x26;
inline constexpr TKey VK_RIGHT = 0x27;
inline constexpr TKey VK_DOWN = 0x28;
inline constexpr TKey VK_INSERT = 0x2D;
inline constexpr TKey VK_DELETE = 0x2E;
inline constexpr TKey VK_F1 = 0x70; // VK_F1 + n - 1 is Fn, up to F24
inline constexpr TKey VK_F2 = 0x71;
inline constexpr TKey VK_F3 = 0x72;
inline constexpr TKey VK_F4 = 0x73;
inline constexpr TKey VK_F5 = 0x74;
inline constexpr TKey VK_F6 = 0x75;
inline constexpr TKey VK_F7 = 0x76;
inline constexpr TKey VK_F8 = 0x77;
inline constexpr TKey VK_F9 = 0x78;
inline constexpr TKey VK_F10 = 0x79;
inline constexpr TKey VK_F11 = 0x7A;
inline constexpr TKey VK_F12 = 0x7B;
inline constexpr TKey VK_APPS = 0x5D; // context-menu key

} // namespace vcl
