// TSet: a small set of enumeration values, the form layer's shift states, font styles and border
// icons. Values must lie in 0..31.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace vcl {

template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values) {
        for (E v : values)
            bits_ |= Bit(v);
    }

    constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSet& operator<<(E v) {
        bits_ |= Bit(v);
        return *this;
    }
    constexpr TSet& operator>>(E v) {
        bits_ &= ~Bit(v);
        return *this;
    }
    constexpr TSet operator+(TSet other) const { return FromBits(bits_ | other.bits_); }
    constexpr TSet operator-(TSet other) const { return FromBits(bits_ & ~other.bits_); }
    constexpr TSet operator*(TSet other) const { return FromBits(bits_ & other.bits_); }
    constexpr bool operator==(const TSet&) const = default;

    constexpr std::uint32_t Bits() const { return bits_; }
    static constexpr TSet FromBits(std::uint32_t bits) {
        TSet s;
        s.bits_ = bits;
        return s;
    }

private:
    static constexpr std::uint32_t Bit(E v) { return std::uint32_t{1} << static_cast<unsigned>(v); }
    std::uint32_t bits_ = 0;
};

} // namespace vcl
