// The engine's input and output: routing printout and reads to the host, a stream or a capture, reading
// commands in batch mode, and loading rule-language text from a file or a stream.
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "rulecraft/collections/TextStream.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ParenthesisScanner.h"
#include "rulecraft/engine/InferenceEngine.h"

namespace rulecraft {

// ---- output
// ------------------------------------------------------------------------------------------------

void TInferenceEngine::PrintOut(const std::string& OutID, const std::string& Text) {
  if (OutID.empty() || OutID == "t") {
    if (FCapture)
      FCapture->Write(Text);
    else if (OnPrintOut)
      OnPrintOut(this, OutID, Text);
    return;
  }
  if (TGTextStream* Stream = FIOStreams->Get(OutID)) {
    try {
      Stream->Write(Text);
    } catch (const EStreamError& E) {
      throw EIEException(SStreamWriteFailed, {OutID, Stream->GetFileName(), E.Message()});
    }
    return;
  }
  if (!OnPrintOut) throw EIEException(SNoSuchFunction, {"printout"});
  OnPrintOut(this, OutID, Text);
}

std::string TInferenceEngine::ReadLine(const std::string& InID) {
  std::string Line;
  if (!InID.empty() && InID != "t") {
    if (TGTextStream* Stream = FIOStreams->Get(InID)) {
      try {
        Stream->ReadLine(Line);
      } catch (const EStreamError& E) {
        throw EIEException(SStreamReadFailed, {InID, Stream->GetFileName(), E.Message()});
      }
      return Line;
    }
  }
  if (FBatchInput) {
    FBatchInput->ReadLine(Line);
    PrintOut(std::string(), Line + NewLineString);
    return Line;
  }
  if (!OnReadLine) throw EIEException(SNoReadFunctionWarning, {"readline"});
  OnReadLine(this, InID, Line);
  return Line;
}

bool TInferenceEngine::ReadLine(const std::string& InID, std::string& Line) {
  if (!InID.empty() && InID != "t") {
    if (TGTextStream* Stream = FIOStreams->Get(InID)) {
      try {
        return Stream->ReadLine(Line);
      } catch (const EStreamError& E) {
        throw EIEException(SStreamReadFailed, {InID, Stream->GetFileName(), E.Message()});
      }
    }
  }
  Line = ReadLine(InID);
  return !Line.empty();
}

IIEValue TInferenceEngine::ReadToken(const std::string& InID) {
  std::string Line;
  if (!InID.empty() && InID != "t") {
    if (TGTextStream* Stream = FIOStreams->Get(InID)) {
      // Lines without a token (blank, or a comment only) are passed over, as a token read passes over
      // blanks and line ends.
      try {
        while (Stream->ReadLine(Line)) {
          IIEValue Value = FParser->FirstToken(Line);
          if (Value != FCEOF) return Value;
        }
      } catch (const EStreamError& E) {
        throw EIEException(SStreamReadFailed, {InID, Stream->GetFileName(), E.Message()});
      }
      return FCEOF;
    }
  }
  if (FBatchInput) {
    if (!FBatchInput->ReadLine(Line)) return FCEOF;
    IIEValue Value = FParser->FirstToken(Line);
    PrintOut(std::string(), (Value ? Value->GetToString() : std::string()) + NewLineString);
    return Value;
  }
  if (!OnReadToken) throw EIEException(SNoReadFunctionWarning, {"read"});
  OnReadToken(this, InID, Line);
  return FParser->FirstToken(Line);
}

bool TInferenceEngine::StartCapture(std::unique_ptr<TGTextStream> Stream) {
  FCapture = std::move(Stream);
  return true;
}

bool TInferenceEngine::StartCapture(const std::string& FileName) {
  return StartCapture(std::make_unique<TGTextStream>(FileName, fmCreate));
}

bool TInferenceEngine::StopCapture() {
  // The capture ends also when writing out its last text fails; the error still reaches the caller.
  const std::unique_ptr<TGTextStream> Capture = std::move(FCapture);
  if (Capture) Capture->Flush();
  return true;
}

bool TInferenceEngine::Batch(TGTextStream& Stream) {
  TGTextStream* Previous = FBatchInput;
  FBatchInput = &Stream;
  struct TRestore {
    TGTextStream*& Slot;
    TGTextStream* Old;
    ~TRestore() { Slot = Old; }
  } Restore{FBatchInput, Previous};
  // Lines gather until their parentheses balance outside strings and comments (or more were closed than
  // opened: the parser reports that), then the gathered text is parsed as one piece.
  std::string Pending;
  TParenthesisScanner Scanner;
  std::string Line;
  while (Stream.ReadLine(Line)) {
    Pending += Line + NewLineString;
    Scanner.Feed(Line);
    Scanner.Feed(NewLineString);
    if (Scanner.GetBalance() > 0 || Scanner.IsInString()) continue;
    const std::string Expression = std::move(Pending);
    Pending.clear();
    Scanner.Reset();
    Parse(Expression, true);
  }
  if (!Pending.empty()) Parse(Pending, true);
  return true;
}

bool TInferenceEngine::Batch(const std::string& FileName) {
  TGTextStream File(FileName, fmOpenRead);
  return Batch(File);
}

// ---- loading
// -----------------------------------------------------------------------------------------------

bool TInferenceEngine::LoadFromFile(const std::string& FileName) try {
  TGTextStream File(FileName, fmOpenRead);
  return Parse(ReadAll(File), true);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadFromStream(std::istream& Stream) try {
  std::string Text((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
  return Parse(Text, true);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadFromStream(TGTextStream& Stream) try {
  return Parse(ReadAll(Stream), true);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

std::string TInferenceEngine::ReadAll(TGTextStream& Stream) {
  std::string Text;
  std::string Buffer(65536, '\0');  // on the heap: a loaded file may load another
  while (const size_t Count = Stream.Read(Buffer.data(), Buffer.size())) Text.append(Buffer, 0, Count);
  return Text;
}

}  // namespace rulecraft
