#pragma once
// The standard package's input and output functions: printing and formatting text to a logical name,
// reading lines and tokens from one, opening and closing named file streams, capturing terminal output in a
// file, and removing and renaming files.
//
// Text always goes through the engine's PrintOut, ReadLine and ReadToken: the name "t" (or no name) is the
// terminal, any other name a stream that open registered in the engine's IOStreams. These functions only
// compose text, choose the stream and build the result.
#include "rulecraft/functions/BuiltinFunction.h"

namespace rulecraft {

/// (close [<logical-name>+]): frees the named streams ("Invalid stream name: %s" for one not open), or
/// every stream when no name is given: TRUE.
RC_BUILTIN_FUNCTION(TCloseFunction);
/// (dribble-on <filename>): terminal output goes to the file (created anew) from now on: TRUE, or FALSE
/// when the file cannot be created.
RC_BUILTIN_FUNCTION(TDribbleOnFunction);
/// (dribble-off): ends the capture, closing its file: TRUE, or FALSE when the file could not be written.
RC_BUILTIN_FUNCTION(TDribbleOffFunction);
/// (format <logical-name> <control-string> <expression>*): prints the values formatted by the control
/// string's directives (CLIPSFormat): nil.
RC_BUILTIN_FUNCTION(TFormatFunction);
/// (open <filename> <logical-name> [r|r+|w|a]): opens the file (for reading by default; "w" replaces it,
/// "a" writes after its content) and registers it under the logical name, which is the result. Another
/// mode raises "Invalid File Access Specifier: "%s"", a file that cannot be opened "Cannot open file ...".
RC_BUILTIN_FUNCTION(TOpenFunction);
/// (printout <logical-name> <expression>*): prints the values one after the other, the atom crlf as a line
/// break, a multifield in parentheses: nil.
RC_BUILTIN_FUNCTION(TPrintOutFunction);
/// (read [<logical-name>]): the value of the next token of the input (the rest of its line dropped), EOF
/// at the end.
RC_BUILTIN_FUNCTION(TReadFunction);
/// (readline [<logical-name>]): the next input line as a string, EOF at the end (and for an empty line).
RC_BUILTIN_FUNCTION(TReadLineFunction);
/// (remove <file-name>): TRUE when the file was deleted, FALSE when it could not be (or is a folder).
RC_BUILTIN_FUNCTION(TRemoveFunction);
/// (rename <old-file-name> <new-file-name>): TRUE when renamed, FALSE when the old file is missing, the new
/// name is taken or the system refuses.
RC_BUILTIN_FUNCTION(TRenameFunction);

}  // namespace rulecraft
