// kovant-lookup: postal-code search, batch and column conversion, and the
// address walk from the command line. The modes live in lookup/lookup.h.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "lookup/lookup.h"
#include "tools/arguments.h"

namespace {

// The batch index maps the dictionary: if the file is cut short while it is
// mapped (not what the updater does: it renames a new file into place),
// reading the lost pages raises SIGBUS. That ends the program as any other
// read error does, with a message and status 2, not with a crash.
#ifdef SIGBUS
void OnShrunkenDictionary(int) {
  static const char kMessage[] = "kovant-lookup: 辞書が読み込み中に短くなりました。\n";
  ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  (void)ignored;
  _exit(2);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  using namespace kovant::lookup;
#ifdef SIGBUS
  std::signal(SIGBUS, OnShrunkenDictionary);
#endif
  kovant::tools::Arguments arguments(argc, argv);
  // No <iostream>: standard input is read in blocks by the modes
  // themselves, and setting up the standard streams cost every run.
  const Options options = ParseOptions(arguments.argc(), arguments.argv());
  if (options.mode == Mode::Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.mode == Mode::Usage) {
    std::fputs(options.error.empty() ? UsageText().c_str() : options.error.c_str(), stderr);
    return 2;
  }
  StdoutSink sink;
  const auto out = MakeOutput(options, sink);
  return Run(options, *out);
}
