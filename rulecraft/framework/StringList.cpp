#include "rulecraft/framework/StringList.h"

#include "rulecraft/framework/Exception.h"

namespace rulecraft {

int32_t TStringList::Add(const std::string& Line) {
  FLines.push_back(Line);
  return Count() - 1;
}

const std::string& TStringList::Get(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FLines[static_cast<size_t>(Index)];
}

std::string TStringList::GetText() const {
  std::string Text;
  for (const std::string& Line : FLines) {
    Text += Line;
    Text += "\r\n";
  }
  return Text;
}

}  // namespace rulecraft
