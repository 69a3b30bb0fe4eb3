#pragma once
// Shared by the stream and lexer tests: a source that hands out one character per refill and never says how
// much it has, so that every character read crosses a buffer boundary.
#include <streambuf>
#include <string>

namespace rulecraft::testing {

class TTrickleBuf : public std::streambuf {
 public:
  explicit TTrickleBuf(std::string Text) : FText(std::move(Text)) {}

 protected:
  int_type underflow() override {
    if (FNext >= FText.size()) return traits_type::eof();
    FChar = FText[FNext++];
    setg(&FChar, &FChar, &FChar + 1);
    return traits_type::to_int_type(FChar);
  }

 private:
  std::string FText;
  size_t FNext = 0;
  char FChar = 0;
};

}  // namespace rulecraft::testing
