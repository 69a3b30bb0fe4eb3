#pragma once
// EIEParseException: every error found while reading rule-language text. Besides its message it carries the
// line number of the token at which the error was found and a list of texts (the parser collects the
// messages of several errors there).
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "rulecraft/core/IEException.h"
#include "rulecraft/framework/StringList.h"

namespace rulecraft {

class EIEParseException : public EIEException {
 public:
  EIEParseException(std::string Message, int32_t LineNumber)
      : EIEException(std::move(Message)), FLineNumber(LineNumber), FErrors(std::make_shared<TStringList>()) {}
  /// The message Fmt filled with Args.
  EIEParseException(std::string_view Fmt, std::initializer_list<TFormatArg> Args, int32_t LineNumber)
      : EIEParseException(Format(Fmt, Args), LineNumber) {}

  int32_t GetLineNumber() const noexcept { return FLineNumber; }
  /// The list of texts; copies of the exception share it.
  TStringList& GetErrors() const noexcept { return *FErrors; }

 private:
  int32_t FLineNumber;
  std::shared_ptr<TStringList> FErrors;
};

}  // namespace rulecraft
