#pragma once
// Shared by the tests that compare saved texts: a whole file as bytes, a saved system without the line that
// carries the time it was written, and the programs of a test folder.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

/// The rule-language programs of a test folder (*.clp), sorted by path.
inline std::vector<std::filesystem::path> ProgramFiles(const std::filesystem::path& Folder) {
  std::vector<std::filesystem::path> Files;
  for (const auto& Entry : std::filesystem::directory_iterator(Folder))
    if (Entry.path().extension() == ".clp") Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  return Files;
}

}  // namespace rulecraft::testing
