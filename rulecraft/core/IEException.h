#pragma once
// EIEException: every engine error. It carries a catalogue text filled in with Format.
// EIEExit: raised by the rule-language exit function to end the host's load or session.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"

namespace rulecraft {

class EIEException : public Exception {
 public:
  using Exception::Exception;
  /// The message Fmt filled with Args ("%s" texts, "%d" integers).
  EIEException(std::string_view Fmt, std::initializer_list<TFormatArg> Args) : Exception(Format(Fmt, Args)) {}
};

class EIEExit : public Exception {
 public:
  explicit EIEExit(int32_t Status = 0) : Exception("exit"), FStatus(Status) {}
  int32_t GetStatus() const noexcept { return FStatus; }

 private:
  int32_t FStatus;
};

}  // namespace rulecraft
