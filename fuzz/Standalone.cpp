// A driver for builds without libFuzzer: runs a target's entry point once on each file named on the command
// line, or on every file of a directory named there, so that the seed corpora and the generator's extremes
// serve as regression tests in every build (release, sanitizers).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

namespace {

void RunFile(const std::filesystem::path& Path) {
  std::ifstream Stream(Path, std::ios::binary);
  const std::string Data((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(Data.data()), Data.size());
}

}  // namespace

int main(int Argc, char** Argv) {
  int Count = 0;
  for (int I = 1; I < Argc; ++I) {
    const std::filesystem::path Path(Argv[I]);
    if (std::filesystem::is_directory(Path)) {
      std::vector<std::filesystem::path> Files;
      for (const auto& Entry : std::filesystem::directory_iterator(Path))
        if (Entry.is_regular_file()) Files.push_back(Entry.path());
      std::sort(Files.begin(), Files.end());
      for (const auto& File : Files) {
        RunFile(File);
        ++Count;
      }
    } else {
      RunFile(Path);
      ++Count;
    }
  }
  std::printf("%d inputs ran\n", Count);
  return Count > 0 ? 0 : 1;
}
