#pragma once
// EIEException: every engine error. It carries a catalogue text filled in with Format.
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

}  // namespace rulecraft
