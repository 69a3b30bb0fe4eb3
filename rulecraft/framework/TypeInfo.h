#pragma once
// Run-time names of enumerations: an enumeration publishes its member names in ordinal order through a
// TEnumInfo, which set/text conversions and streaming use.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rulecraft {

class TEnumInfo {
 public:
  TEnumInfo(std::string_view TypeName, std::initializer_list<std::string_view> Names)
      : FTypeName(TypeName), FNames(Names) {}

  std::string_view TypeName() const noexcept { return FTypeName; }
  int Count() const noexcept { return static_cast<int>(FNames.size()); }
  /// The member name of an ordinal; the empty text outside the enumeration.
  std::string_view Name(int Ordinal) const noexcept {
    return Ordinal >= 0 && Ordinal < Count() ? FNames[static_cast<size_t>(Ordinal)] : std::string_view();
  }
  /// The ordinal of a member name (compared ignoring case), or -1.
  int ValueOf(std::string_view Name) const noexcept;

 private:
  std::string_view FTypeName;
  std::vector<std::string_view> FNames;
};

}  // namespace rulecraft
