// Colours, cursors, fonts and pictures of the form layer.
#pragma once

#include "vcl/component.h"
#include "vcl/set.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vcl {

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(TPoint p) const {
        return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
    }
    bool operator==(const TRect&) const = default;
};

// A colour as 0x00BBGGRR, or a system colour (high bit set) that follows the desktop's palette.
using TColor = std::int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000F);
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005);
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008);
inline constexpr TColor clBtnText = static_cast<TColor>(0x80000012);
inline constexpr TColor clHighlight = static_cast<TColor>(0x8000000D);
inline constexpr TColor clHighlightText = static_cast<TColor>(0x8000000E);
inline constexpr TColor clInfoBk = static_cast<TColor>(0x80000018);
inline constexpr TColor clGrayText = static_cast<TColor>(0x80000011);
inline constexpr TColor clDefault = 0x20000000;

// Mouse cursors by the classic numbers.
using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHandPoint = -21;

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };

// A control's font. Size is in points; Height in pixels (negative: the character height, as
// written in form descriptions). Setting one replaces the other. The default is 8 points, the
// size the dialogs' layout arithmetic is made for. Family names that the desktop lacks fall back
// to its own sans-serif font, which covers the CJK texts.
class TFont {
public:
    TFont();

    std::string GetName() const { return name_; }
    void SetName(const std::string& name);
    int GetSize() const;
    void SetSize(int points);
    int GetHeight() const;
    void SetHeight(int pixels);
    // The character height in pixels when it was set through SetHeight, else 0.
    int PixelHeight() const { return pixelHeight_; }
    TFontStyles GetStyle() const { return style_; }
    void SetStyle(TFontStyles style);
    TColor GetColor() const { return color_; }
    void SetColor(TColor color);
    TFontPitch GetPitch() const { return pitch_; }
    void SetPitch(TFontPitch pitch);
    void Assign(const TFont& other);

    // Run after every change; the owning control applies the font with it.
    std::function<void()> OnChange;

private:
    void Changed();

    std::string name_;
    int size_ = 8;        // points, when pixelHeight_ is 0
    int pixelHeight_ = 0; // pixels, when set through SetHeight
    TFontStyles style_;
    TColor color_ = clWindowText;
    TFontPitch pitch_ = fpDefault;
};

// A picture loaded from a file or from bytes (any format the toolkit reads: PNG, BMP, JPEG, ICO,
// XPM...). Loading refuses what is not a picture with EInvalidGraphic and keeps the old picture.
class TPicture {
public:
    TPicture();
    ~TPicture();
    TPicture(const TPicture& other);
    TPicture& operator=(const TPicture& other);

    void LoadFromFile(const std::string& path);
    void LoadFromBytes(const void* data, std::size_t size);
    void Assign(const TPicture& other);
    void Clear();
    bool Empty() const;
    int Width() const;
    int Height() const;

    // Run after every change; the owning control repaints with it.
    std::function<void()> OnChange;

    struct Impl;
    // The form layer's own access to the image.
    const Impl& Data() const { return *impl_; }
    Impl& Data() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace vcl
