// The rulecraft program: line editing is offered when the standard input is a terminal.
#include <unistd.h>

#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  using namespace rulecraft::cli;
  const TLineReader Terminal = isatty(STDIN_FILENO) ? MakeTerminalReader() : TLineReader();
  return RunCli(argc, argv, std::cin, std::cout, std::cerr, Terminal);
}
