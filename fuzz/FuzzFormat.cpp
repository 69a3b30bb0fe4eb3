// Fuzz target: format. The first line of the input is the control string, passed as a string literal
// (quotes and backslashes escaped); the rest is the argument list, read as rule-language text.
#include "fuzz/FuzzEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace rulecraft;
  const std::string Input(reinterpret_cast<const char*>(Data), Size);
  if (!fuzz::Bounded(Input)) return 0;
  const size_t Break = Input.find('\n');
  const std::string Control = Input.substr(0, Break);
  const std::string Arguments = Break == std::string::npos ? std::string() : Input.substr(Break + 1);
  std::string Rest = "\"";
  for (char C : Control) {
    if (C == '"' || C == '\\') Rest += '\\';
    Rest += C;
  }
  Rest += "\" " + Arguments + ")";
  auto Engine = fuzz::MakeConfinedEngine();
  // Into a string, then to the terminal.
  fuzz::Guarded([&] { (void)Engine->ParseNExecuteFunCall("(format nil " + Rest); });
  fuzz::Guarded([&] { (void)Engine->ParseNExecuteFunCall("(format t " + Rest); });
  return 0;
}
