#include "rulecraft/collections/TextStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <streambuf>
#include <system_error>

#include "rulecraft/framework/Format.h"

namespace rulecraft {

namespace {

constexpr size_t BufferSize = 64 * 1024;

std::string SystemReason(int Error) {
  if (Error == 0) return "The system gave no reason";
  return std::generic_category().message(Error);
}

}  // namespace

TGTextStream::TGTextStream() : TGTextStream(std::string()) {}

TGTextStream::TGTextStream(std::string Text) : FText(std::move(Text)), FCanRead(true) {
  FBegin = FCur = FText.data();
  FEnd = FSavedEnd = FBegin + FText.size();
}

TGTextStream::TGTextStream(std::istream& Stream) : FBuf(Stream.rdbuf()) { FCanRead = FBuf != nullptr; }

TGTextStream::TGTextStream(std::ostream& Stream) : FBuf(Stream.rdbuf()) { FCanWrite = FBuf != nullptr; }

TGTextStream::TGTextStream(std::iostream& Stream) : FBuf(Stream.rdbuf()) {
  FCanRead = FCanWrite = FBuf != nullptr;
}

TGTextStream::TGTextStream(const std::string& FileName, TFileMode Mode) : FFileName(FileName) {
  OpenFile(Mode);
}

TGTextStream::~TGTextStream() {
  if (FBuf && FLastOp == loWrite) {
    try {
      FBuf->pubsync();
    } catch (...) {  // NOLINT(bugprone-empty-catch): a destructor must not raise
    }
  }
}

void TGTextStream::OpenFile(TFileMode Mode) {
  const char* Message = Mode == fmCreate ? SFCreateError : SFOpenError;
  std::error_code Ignored;
  if (std::filesystem::is_directory(FFileName, Ignored))
    throw EFOpenError(Format(Message, {FFileName, SystemReason(EISDIR)}));
  std::ios_base::openmode Flags = std::ios_base::binary | std::ios_base::in;
  if (Mode == fmOpenReadWrite) Flags |= std::ios_base::out;
  if (Mode == fmCreate) Flags |= std::ios_base::out | std::ios_base::trunc;
  auto File = std::make_unique<std::fstream>();
  errno = 0;
  File->open(FFileName, Flags);
  if (!File->is_open()) throw EFOpenError(Format(Message, {FFileName, SystemReason(errno)}));
  FBuf = File->rdbuf();
  FOwned = std::move(File);
  FCanRead = true;
  FCanWrite = Mode != fmOpenRead;
}

void TGTextStream::CheckReadable() const {
  if (!FCanRead) throw EStreamError(SStreamNotReadable);
}

// ---- Reading ----

int TGTextStream::GetCharSlow() {
  if (!FPutBack.empty()) {
    const char C = FPutBack.back();
    FPutBack.pop_back();
    if (FPutBack.empty()) FEnd = FSavedEnd;
    return static_cast<unsigned char>(C);
  }
  CheckReadable();
  if (!Fill()) return EndOfStream;
  return static_cast<unsigned char>(*FCur++);
}

int TGTextStream::PeekCharSlow() {
  const int C = GetCharSlow();
  if (C != EndOfStream) PutBack(static_cast<char>(C));
  return C;
}

void TGTextStream::PutBackSlow(char C) {
  if (FPutBack.empty()) {
    FSavedEnd = FEnd;
    FEnd = FCur;
  }
  FPutBack.push_back(C);
}

bool TGTextStream::IsEofSlow() {
  if (!FPutBack.empty()) return false;
  if (!FCanRead) return true;
  return !Fill();
}

bool TGTextStream::Fill() {
  if (!FBuf) return false;  // an in-memory text has nothing beyond its window
  PrepareRead();
  if (FInputEnded) return false;
  if (FBuffer.empty()) FBuffer.resize(BufferSize);
  // Take what the source has ready (a file reports what is left of it), waiting for at least one character
  // only when it has nothing ready, so that an interactive source is never asked for more than it has.
  std::streamsize Ready = FBuf->in_avail();
  if (Ready == 0) {
    if (FBuf->sgetc() == std::char_traits<char>::eof())
      Ready = -1;
    else
      Ready = std::max<std::streamsize>(FBuf->in_avail(), 1);
  }
  std::streamsize Got = 0;
  if (Ready > 0) Got = FBuf->sgetn(FBuffer.data(), std::min<std::streamsize>(Ready, BufferSize));
  if (Got <= 0) {
    FInputEnded = true;
    return false;
  }
  FBegin = FCur = FBuffer.data();
  FEnd = FSavedEnd = FBegin + Got;
  FLastOp = loRead;
  return true;
}

void TGTextStream::DiscardInput() noexcept {
  FPutBack.clear();
  FBegin = FCur = FEnd = FSavedEnd = nullptr;
  FInputEnded = false;
}

size_t TGTextStream::Read(char* Buffer, size_t Count) {
  size_t Done = 0;
  while (Done < Count) {
    const size_t Window = static_cast<size_t>(FEnd - FCur);
    if (Window > 0) {
      const size_t N = std::min(Window, Count - Done);
      std::memcpy(Buffer + Done, FCur, N);
      FCur += N;
      Done += N;
      continue;
    }
    const int C = GetChar();
    if (C == EndOfStream) break;
    Buffer[Done++] = static_cast<char>(C);
  }
  return Done;
}

bool TGTextStream::ReadLine(std::string& Line) {
  Line.clear();
  if (IsEof()) return false;
  for (;;) {
    const char* P = FCur;
    while (P != FEnd && *P != '\r' && *P != '\n') ++P;
    Line.append(FCur, P);
    FCur = P;
    const int C = GetChar();
    if (C == EndOfStream || C == '\n') return true;
    if (C == '\r') {
      if (PeekChar() == '\n') GetChar();
      return true;
    }
    Line.push_back(static_cast<char>(C));
  }
}

std::string TGTextStream::GetLine() {
  std::string Line;
  ReadLine(Line);
  return Line;
}

bool TGTextStream::SkipBlanks(std::string* Skipped) {
  for (;;) {
    const int C = GetChar();
    if (C == EndOfStream) return false;
    if (C > ' ') {
      PutBack(static_cast<char>(C));
      return false;
    }
    if (Skipped) Skipped->push_back(static_cast<char>(C));
    if (C == '\n') return true;
    if (C == '\r') {
      if (PeekChar() == '\n') {
        GetChar();
        if (Skipped) Skipped->push_back('\n');
      }
      return true;
    }
  }
}

// ---- Writing ----

void TGTextStream::PrepareRead() {
  if (FLastOp != loWrite) return;
  FLastOp = loNone;
  FBuf->pubsync();
  const std::streampos Position = FBuf->pubseekoff(0, std::ios_base::cur, std::ios_base::out);
  if (Position != std::streampos(-1)) FBuf->pubseekpos(Position, std::ios_base::in);
  FInputEnded = false;
}

void TGTextStream::PrepareWrite() {
  if (!FCanWrite) throw EStreamError(SStreamNotWritable);
  if (FLastOp == loWrite) return;
  if (FCanRead) {
    // Writing continues where reading stopped, not where the read buffer ends. A source that cannot move
    // (a pipe, a socket) reads and writes independently, so its unread input is kept.
    const int64_t Position = GetPosition();
    if (Position >= 0 &&
        FBuf->pubseekpos(Position, std::ios_base::in | std::ios_base::out) != std::streampos(-1))
      DiscardInput();
  }
  FLastOp = loWrite;
}

void TGTextStream::Write(std::string_view Text) {
  PrepareWrite();
  if (Text.empty()) return;
  if (FBuf->sputn(Text.data(), static_cast<std::streamsize>(Text.size())) !=
      static_cast<std::streamsize>(Text.size()))
    throw EStreamError(SStreamWriteError);
}

void TGTextStream::WriteChar(char C) { Write(std::string_view(&C, 1)); }

void TGTextStream::WriteLine(std::string_view Text) {
  Write(Text);
  Write(LineBreakText);
}

void TGTextStream::NewLine() { Write(LineBreakText); }

void TGTextStream::WriteIndent(int32_t Levels) {
  for (int32_t I = 0; I < Levels; ++I) Write(IndentText);
}

void TGTextStream::Flush() {
  if (FBuf && FLastOp == loWrite && FBuf->pubsync() == -1) throw EStreamError(SStreamWriteError);
}

// ---- Position and size ----

int64_t TGTextStream::GetPosition() {
  const int64_t Waiting = static_cast<int64_t>(FPutBack.size());
  const char* End = FPutBack.empty() ? FEnd : FSavedEnd;
  if (!FBuf) return static_cast<int64_t>(FCur - FBegin) - Waiting;
  if (FLastOp == loWrite || !FCanRead)
    return static_cast<int64_t>(FBuf->pubseekoff(0, std::ios_base::cur, std::ios_base::out));
  const std::streampos SourcePosition = FBuf->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
  if (SourcePosition == std::streampos(-1)) return -1;
  return static_cast<int64_t>(SourcePosition) - static_cast<int64_t>(End - FCur) - Waiting;
}

void TGTextStream::SetPosition(int64_t Position) {
  if (!FBuf) {
    if (Position < 0 || Position > static_cast<int64_t>(FText.size()))
      throw EStreamError(Format(SStreamSeekError, {Position}));
    FPutBack.clear();
    FCur = FBegin + Position;
    FEnd = FSavedEnd = FBegin + FText.size();
    return;
  }
  if (Position < 0) throw EStreamError(Format(SStreamSeekError, {Position}));
  if (FLastOp == loWrite) FBuf->pubsync();
  std::ios_base::openmode Which{};
  if (FCanRead) Which |= std::ios_base::in;
  if (FCanWrite) Which |= std::ios_base::out;
  if (FBuf->pubseekpos(Position, Which) == std::streampos(-1))
    throw EStreamError(Format(SStreamSeekError, {Position}));
  DiscardInput();
  FLastOp = loNone;
}

int64_t TGTextStream::GetSize() {
  if (!FBuf) return static_cast<int64_t>(FText.size());
  if (FLastOp == loWrite) FBuf->pubsync();
  const std::ios_base::openmode Which = FCanRead ? std::ios_base::in : std::ios_base::out;
  const std::streampos Current = FBuf->pubseekoff(0, std::ios_base::cur, Which);
  if (Current == std::streampos(-1)) return -1;
  const std::streampos End = FBuf->pubseekoff(0, std::ios_base::end, Which);
  FBuf->pubseekpos(Current, Which);
  return End == std::streampos(-1) ? -1 : static_cast<int64_t>(End);
}

}  // namespace rulecraft
