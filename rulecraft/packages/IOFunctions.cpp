#include "rulecraft/packages/IOFunctions.h"
#include "rulecraft/packages/StandardPackage.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "rulecraft/collections/TextStream.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

constexpr int32_t Unbounded = 2147483647;

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class :
       {TCloseFunction::StaticClass(), TDribbleOnFunction::StaticClass(), TDribbleOffFunction::StaticClass(),
        TFormatFunction::StaticClass(), TOpenFunction::StaticClass(), TPrintOutFunction::StaticClass(),
        TReadFunction::StaticClass(), TReadLineFunction::StaticClass(), TRemoveFunction::StaticClass(),
        TRenameFunction::StaticClass()})
    RegisterClass(Class);
  return true;
}();

/// The logical name argument 0 gives; the terminal (empty) when the call has no arguments.
std::string LogicalName(TFunctionCall& FunCall, TIEContext* Context) {
  return FunCall.GetArgumentCount() > 0 ? ArgumentText(FunCall, 0, Context) : std::string();
}

/// How printout writes one value.
std::string PrintedText(const TIEValue& Value) {
  switch (Value.GetDType()) {
    case dtAtom:
      return Value.Text() == "crlf" ? std::string(TGTextStream::LineBreakText) : Value.GetAsString();
    case dtString:
    case dtInteger:
    case dtFloat:
      return Value.GetAsString();
    case dtList:
      return "(" + Value.GetToString() + ")";
    default:
      return Value.GetToString();
  }
}

/// A stream on FileName opened as an open mode says; stream errors become engine errors naming the file.
std::unique_ptr<TGTextStream> OpenStream(const std::string& FileName, const std::string& Mode) {
  try {
    if (Mode == "r") return std::make_unique<TGTextStream>(FileName, fmOpenRead);
    if (Mode == "r+") return std::make_unique<TGTextStream>(FileName, fmOpenReadWrite);
    if (Mode == "w") return std::make_unique<TGTextStream>(FileName, fmCreate);
    // "a": an existing file is written after its content, a missing one is created.
    std::error_code Ignored;
    if (!std::filesystem::exists(FileName, Ignored))
      return std::make_unique<TGTextStream>(FileName, fmCreate);
    auto Stream = std::make_unique<TGTextStream>(FileName, fmOpenReadWrite);
    Stream->SetPosition(Stream->GetSize());
    return Stream;
  } catch (const EStreamError& E) {
    throw EIEException(E.Message());
  }
}

}  // namespace

// ---- output ----------------------------------------------------------------------------------------------

TPrintOutFunction::TPrintOutFunction()
    : TIEUserFunction(
          "printout", 0, Unbounded,
          FunctionComment("Creates a string and outputs it to the device specified by logical name.  The "
                          "subsequent arguments are evaluated and concatenated into one string"),
          " <logical-name> <expression>*") {}

void TPrintOutFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  Result = FCNil;
  // The logical name nil discards the output (the arguments are still evaluated); its text, the empty
  // one, would otherwise name the terminal.
  std::string Output;
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I)
    Output += PrintedText(*ResolveArgument(FunCall, I, Context));
  const IIEValue Name = FunCall.GetArgumentCount() > 0 ? ResolveArgument(FunCall, 0, Context) : IIEValue();
  if (Name && Name->Equals(FCNil.get())) return;
  Engine.PrintOut(Name ? Name->GetAsString() : std::string(), Output);
}

TFormatFunction::TFormatFunction()
    : TIEUserFunction(
          "format", 2, Unbounded,
          FunctionComment("Creates a string and outputs it to the device specified by logical name.  The "
                          "second argument specifies a control string for formatting the evaluated "
                          "following arguments"),
          " <logical-name> <string-expression> <expression>*") {}

void TFormatFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  IValueVector Values = MakeRef<TValueVector>();
  Values->Reserve(FunCall.GetArgumentCount() - 2);
  for (int32_t I = 2; I < FunCall.GetArgumentCount(); ++I) Values->Add(ResolveArgument(FunCall, I, Context));
  const std::string Output = CLIPSFormat(ArgumentText(FunCall, 1, Context), Values);
  // The text is built here rather than answered, so the engine's limit on built texts is checked here.
  const int32_t Most = Engine.GetMaxStringLength();
  if (Most > 0 && Output.size() > static_cast<size_t>(Most))
    throw EIEException(SStringTooLong, {GetFunctionName(), static_cast<int64_t>(Output.size()), Most});
  Engine.PrintOut(LogicalName(FunCall, Context), Output);
  Result = FCNil;
}

// ---- input -----------------------------------------------------------------------------------------------

TReadFunction::TReadFunction()
    : TIEUserFunction("read", 0, 1,
                      FunctionComment("Reads and returns a single field or token from the device specified "
                                      "by the logical name"),
                      " [<logical-name>]") {}

void TReadFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const IIEValue Token = Engine.ReadToken(LogicalName(FunCall, Context));
  Result = Token ? Token : FCEOF;
}

TReadLineFunction::TReadLineFunction()
    : TIEUserFunction("readline", 0, 1,
                      FunctionComment("Reads and returns an entire line from the device specified by the "
                                      "logical name.  If no input is available, the function returns EOF"),
                      " [<logical-name>]") {}

void TReadLineFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  // A named stream reads an empty line as the empty string and answers EOF only at its end; from the
  // terminal an empty line cannot be told from the end of the input and reads as EOF.
  std::string Line;
  Result = Engine.ReadLine(LogicalName(FunCall, Context), Line) ? MakeRef<TIEValue>(Line, dtString) : FCEOF;
}

// ---- named streams ---------------------------------------------------------------------------------------

TOpenFunction::TOpenFunction()
    : TIEUserFunction(
          "open", 2, 3,
          FunctionComment(
              std::string("Opens the filename and associates the logical name with the file.  The "
                          "optional third argument specifies the mode to open the file in:") +
              NewLineString + "         r     read only (default)" + NewLineString +
              "         w     write only" + NewLineString + "         a     append" + NewLineString +
              "         r+    read and write"),
          " <filename> <logical-name> [a|r|w|r+]") {}

void TOpenFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  std::string Mode = "r";
  if (FunCall.GetArgumentCount() > 2) {
    Mode = ArgumentText(FunCall, 2, Context);
    if (Mode != "r" && Mode != "r+" && Mode != "w" && Mode != "a")
      throw EIEException(SInvalidFileAccess, {Mode});
  }
  // The name is read once, so a call that computes it runs once.
  std::unique_ptr<TGTextStream> Stream =
      OpenStream(Engine.CheckFileAccess(GetFunctionName(), ArgumentText(FunCall, 0, Context)), Mode);
  const IIEValue Name = ResolveArgument(FunCall, 1, Context);
  Engine.GetIOStreams().Add(Name->GetAsString(), std::move(Stream));
  Result = Name->Clone();
}

TCloseFunction::TCloseFunction()
    : TIEUserFunction("close", 0, Unbounded,
                      FunctionComment("Closes the files associated with the logical name arguments.  If no "
                                      "logical name is specified, all files are closed"),
                      " [<logical-name>+]") {}

void TCloseFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TIOStreams& Streams = EngineOf(Context).GetIOStreams();
  if (FunCall.GetArgumentCount() == 0) Streams.Clear();
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) Streams.Remove(ArgumentText(FunCall, I, Context));
  Result = FCTrue;
}

// ---- capture ---------------------------------------------------------------------------------------------

TDribbleOnFunction::TDribbleOnFunction()
    : TIEUserFunction("dribble-on", 1, 1,
                      FunctionComment("Starts capturing of all standard output to the capture file "
                                      "specified by <filename>.  Returns TRUE if the capture file was "
                                      "successfully opened, FALSE otherwise"),
                      " <filename>") {}

void TDribbleOnFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string FileName = Engine.CheckFileAccess(GetFunctionName(), ArgumentText(FunCall, 0, Context));
  bool Started = false;
  try {
    Started = Engine.StartCapture(FileName);
  } catch (const EStreamError&) {
    Started = false;
  }
  Result = Started ? FCTrue : FCFalse;
}

TDribbleOffFunction::TDribbleOffFunction()
    : TIEUserFunction("dribble-off", 0, 0,
                      FunctionComment("Stops capture of standard output started with the \"dribble-on\" "
                                      "command")) {}

void TDribbleOffFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  bool Stopped = false;
  try {
    Stopped = Engine.StopCapture();
  } catch (const EStreamError&) {
    Stopped = false;
  }
  Result = Stopped ? FCTrue : FCFalse;
}

// ---- files -----------------------------------------------------------------------------------------------

TRemoveFunction::TRemoveFunction()
    : TIEUserFunction("remove", 1, 1,
                      FunctionComment("Deletes the specified file.  Returns TRUE if the file was deleted, "
                                      "FALSE if the file couldn't be deleted or does not exist"),
                      " [<file-name>]") {}

void TRemoveFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const std::string Name = ArgumentText(FunCall, 0, Context);
  const std::filesystem::path File =
      Name.empty() ? Name : EngineOf(Context).CheckFileAccess(GetFunctionName(), Name);
  std::error_code Error;
  // Files only: a folder is not deleted, even an empty one.
  const bool Removed = !File.empty() &&
                       !std::filesystem::is_directory(std::filesystem::symlink_status(File, Error)) &&
                       std::filesystem::remove(File, Error);
  Result = Removed ? FCTrue : FCFalse;
}

TRenameFunction::TRenameFunction()
    : TIEUserFunction("rename", 2, 2,
                      FunctionComment("Renames the file <old-file-name> to <new-file-name>.   If the "
                                      "operation succeeds, it returns TRUE.  If it cannot rename the file "
                                      "(for example, if a file called <new-file-name> already exists), it "
                                      "returns FALSE"),
                      " [<old-file-name> <new-file-name>]") {}

void TRenameFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string NewText = ArgumentText(FunCall, 1, Context);
  const std::string OldText = ArgumentText(FunCall, 0, Context);
  const std::filesystem::path OldName =
      OldText.empty() ? OldText : Engine.CheckFileAccess(GetFunctionName(), OldText);
  const std::filesystem::path NewName =
      NewText.empty() ? NewText : Engine.CheckFileAccess(GetFunctionName(), NewText);
  std::error_code Error;
  // An existing file under the new name is never replaced.
  bool Renamed = !OldName.empty() && !NewName.empty() &&
                 std::filesystem::exists(std::filesystem::symlink_status(OldName, Error)) &&
                 !std::filesystem::exists(std::filesystem::symlink_status(NewName, Error));
  if (Renamed) {
    std::filesystem::rename(OldName, NewName, Error);
    Renamed = !Error;
  }
  Result = Renamed ? FCTrue : FCFalse;
}

}  // namespace rulecraft
