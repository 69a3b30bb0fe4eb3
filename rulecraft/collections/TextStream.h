#pragma once
// TGTextStream: the buffered text stream under the lexer and the engine's named I/O streams.
//
// A text stream reads and writes bytes over one of three sources:
//   - an in-memory text (read-only): characters are read straight out of the text, with no calls into
//     iostreams at all;
//   - a standard stream given by the caller (not owned): an istream reads, an ostream writes, an iostream
//     does both;
//   - a file it opens itself, for reading, for reading and writing, or created anew (replacing an existing
//     file), in binary mode so that line ends arrive as written.
// Reading goes through a buffer; a character read can be put back, several deep. A stream that both reads
// and writes keeps one position, as a file does: writing continues where reading stopped, and reading
// continues where writing stopped.
//
// Line ends: CR, LF and CR LF each end one line. The stream writes its line break as CR LF and indents with
// four blanks.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Object.h"

namespace rulecraft {

/// A stream that cannot be read, written or positioned as asked.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

/// A file that cannot be opened or created.
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

/// The file name, then the system's reason.
inline constexpr const char* SFOpenError = "Cannot open file \"%s\". %s";
/// The file name, then the system's reason.
inline constexpr const char* SFCreateError = "Cannot create file \"%s\". %s";
inline constexpr const char* SStreamNotReadable = "Text stream is not open for reading";
inline constexpr const char* SStreamNotWritable = "Text stream is not open for writing";
inline constexpr const char* SStreamReadError = "Text stream read error";
inline constexpr const char* SStreamWriteError = "Text stream write error";
/// The position asked for.
inline constexpr const char* SStreamSeekError = "Text stream cannot move to position %d";

/// How a text stream opens its file.
enum TFileMode : uint8_t {
  fmOpenRead,       ///< an existing file, for reading
  fmOpenReadWrite,  ///< an existing file, for reading and writing
  fmCreate          ///< a new, empty file (an existing one is replaced), for reading and writing
};

class TGTextStream : public TObject {
  RC_CLASS(TGTextStream, TObject)
 public:
  /// What the character operations return at the end of the input.
  static constexpr int EndOfStream = -1;
  static constexpr const char* LineBreakText = "\r\n";
  static constexpr const char* IndentText = "    ";

  /// An empty in-memory text.
  TGTextStream();
  /// Reads the in-memory Text; the stream cannot be written.
  explicit TGTextStream(std::string Text);
  /// Reads Stream, which must outlive the text stream.
  explicit TGTextStream(std::istream& Stream);
  /// Writes Stream, which must outlive the text stream.
  explicit TGTextStream(std::ostream& Stream);
  /// Reads and writes Stream, which must outlive the text stream.
  explicit TGTextStream(std::iostream& Stream);
  /// Opens FileName as Mode says; raises EFOpenError with SFOpenError or SFCreateError when it cannot.
  TGTextStream(const std::string& FileName, TFileMode Mode);
  /// Writes out what is still buffered (errors are dropped here; call Flush to see them).
  ~TGTextStream() override;

  bool CanRead() const noexcept { return FCanRead; }
  bool CanWrite() const noexcept { return FCanWrite; }
  /// The file name given at creation; empty for other sources.
  const std::string& GetFileName() const noexcept { return FFileName; }

  // ---- Reading. A stream that cannot read is always at its end; reading from it raises. ----

  /// The next character as 0..255, or EndOfStream.
  int GetChar() {
    if (FCur != FEnd) [[likely]]
      return static_cast<unsigned char>(*FCur++);
    return GetCharSlow();
  }
  /// The next character without taking it, or EndOfStream.
  int PeekChar() {
    if (FCur != FEnd) [[likely]]
      return static_cast<unsigned char>(*FCur);
    return PeekCharSlow();
  }
  /// Puts C back: it is the next character read. Several characters can be put back; the last one put
  /// back comes first.
  void PutBack(char C) {
    if (FCur != FBegin && FPutBack.empty() && FCur[-1] == C) [[likely]]
      --FCur;
    else
      PutBackSlow(C);
  }
  /// True when no character is left to read.
  bool IsEof() { return FCur == FEnd && IsEofSlow(); }
  /// Reads up to Count characters into Buffer; returns how many were read (fewer only at the end).
  size_t Read(char* Buffer, size_t Count);
  /// Reads the rest of the current line into Line (without its line end, which is consumed). False, with
  /// Line empty, when the stream was already at its end.
  bool ReadLine(std::string& Line);
  /// The rest of the current line; empty at the end of the stream.
  std::string GetLine();
  /// Skips blanks (characters with codes up to 32) up to and including one line end (CR, LF or CR LF);
  /// appends each character skipped to Skipped when it is given. True when a line end was skipped.
  bool SkipBlanks(std::string* Skipped = nullptr);

  // ---- Writing. A stream that cannot write raises SStreamNotWritable. ----

  void Write(std::string_view Text);
  void WriteChar(char C);
  /// Text followed by the line break.
  void WriteLine(std::string_view Text);
  /// The line break.
  void NewLine();
  /// Levels times the indent text.
  void WriteIndent(int32_t Levels);
  /// Hands written text on to the underlying stream or file.
  void Flush();

  // ---- Position and size, in bytes from the start. ----

  /// The position of the next character read or written; -1 when the source cannot tell.
  int64_t GetPosition();
  /// Moves to Position and forgets characters put back. Raises SStreamSeekError for a negative position,
  /// a position beyond an in-memory text, or one the source cannot move to (a file may be positioned
  /// beyond its end: writing there extends it).
  void SetPosition(int64_t Position);
  /// The size of the text, file or stream; -1 when the source cannot tell.
  int64_t GetSize();

 private:
  enum TLastOp : uint8_t { loNone, loRead, loWrite };

  int GetCharSlow();
  int PeekCharSlow();
  void PutBackSlow(char C);
  bool IsEofSlow();
  /// Refills the buffer from the stream; false at the end of the input.
  bool Fill();
  /// Forgets buffered and put-back characters.
  void DiscardInput() noexcept;
  /// Puts the underlying stream at the logical position before writing.
  void PrepareWrite();
  /// Hands written text on and puts the underlying stream at the logical position before reading.
  void PrepareRead();
  void CheckReadable() const;
  void OpenFile(TFileMode Mode);

  // The read window: characters FCur..FEnd are read next. While put-back characters wait, FEnd is pulled
  // back to FCur so that the fast path falls through to them; FSavedEnd keeps the real end.
  const char* FBegin = nullptr;
  const char* FCur = nullptr;
  const char* FEnd = nullptr;
  const char* FSavedEnd = nullptr;
  std::string FPutBack;  // waiting characters, the next one last

  std::string FText;          // the in-memory text
  std::vector<char> FBuffer;  // the read buffer over a stream
  std::streambuf* FBuf = nullptr;
  std::unique_ptr<std::iostream> FOwned;  // the file stream this stream opened
  std::string FFileName;
  bool FCanRead = false;
  bool FCanWrite = false;
  bool FInputEnded = false;  // the stream reported its end since the last move
  TLastOp FLastOp = loNone;
};

}  // namespace rulecraft
