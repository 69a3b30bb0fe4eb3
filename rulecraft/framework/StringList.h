#pragma once
// TStringList: an ordered list of text lines, the destination hosts hand to objects that describe
// themselves line by line (AssignTo).
#include <cstdint>
#include <string>
#include <vector>

#include "rulecraft/framework/Object.h"

namespace rulecraft {

class TStringList : public TPersistent {
  RC_CLASS(TStringList, TPersistent)
 public:
  TStringList() = default;

  /// Appends a line and returns its index.
  int32_t Add(const std::string& Line);
  int32_t Count() const noexcept { return static_cast<int32_t>(FLines.size()); }
  /// The line at Index; EListError "List index out of bounds (%d)" outside 0..Count()-1.
  const std::string& Get(int32_t Index) const;
  void Clear() noexcept { FLines.clear(); }
  /// Every line followed by the engine's line break (CR LF); the empty text for an empty list.
  std::string GetText() const;
  std::string ToString() const override { return GetText(); }

 private:
  std::vector<std::string> FLines;
};

}  // namespace rulecraft
