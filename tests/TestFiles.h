#pragma once
// Shared by the tests that compare saved texts: a whole file as bytes, and a saved system without the line
// that carries the time it was written.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace rulecraft::testing {

inline std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

/// The system's text without the line that carries the time it was written.
inline std::string WithoutDate(const std::string& Text) {
  std::string Out;
  std::istringstream In(Text);
  for (std::string Line; std::getline(In, Line);)
    if (Line.rfind("; Created:", 0) != 0) Out += Line + "\n";
  return Out;
}

}  // namespace rulecraft::testing
