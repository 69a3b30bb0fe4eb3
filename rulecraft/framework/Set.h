#pragma once
// TSet<E>: a set over an enumeration with at most 32 members, bit n standing for ordinal n.
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace rulecraft {

template <class E>
class TSet {
  static_assert(std::is_enum_v<E>, "TSet needs an enumeration");

 public:
  constexpr TSet() noexcept = default;
  constexpr TSet(std::initializer_list<E> Members) noexcept {
    for (E M : Members) FBits |= Bit(M);
  }
  static constexpr TSet FromBits(uint32_t Bits) noexcept {
    TSet S;
    S.FBits = Bits;
    return S;
  }

  constexpr uint32_t Bits() const noexcept { return FBits; }
  constexpr bool Contains(E Member) const noexcept { return (FBits & Bit(Member)) != 0; }
  constexpr bool Empty() const noexcept { return FBits == 0; }
  constexpr TSet& Include(E Member) noexcept {
    FBits |= Bit(Member);
    return *this;
  }
  constexpr TSet& Exclude(E Member) noexcept {
    FBits &= ~Bit(Member);
    return *this;
  }

  constexpr TSet operator+(TSet Other) const noexcept { return FromBits(FBits | Other.FBits); }
  constexpr TSet operator*(TSet Other) const noexcept { return FromBits(FBits & Other.FBits); }
  constexpr TSet operator-(TSet Other) const noexcept { return FromBits(FBits & ~Other.FBits); }
  constexpr bool operator==(const TSet& Other) const noexcept = default;
  /// True when every member of this set is in Other.
  constexpr bool SubsetOf(TSet Other) const noexcept { return (FBits & ~Other.FBits) == 0; }

 private:
  static constexpr uint32_t Bit(E Member) noexcept {
    const auto Ordinal = static_cast<uint32_t>(Member);
    return Ordinal < 32 ? (uint32_t{1} << Ordinal) : 0;
  }
  uint32_t FBits = 0;
};

}  // namespace rulecraft
