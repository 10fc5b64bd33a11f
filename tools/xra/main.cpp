// xra: builds, lists, tests and extracts update packages.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "tools/xra/xra.h"

namespace {

const char kHelp[] =
    "usage: xra COMMAND [ARGS...]\n"
    "\n"
    "Builds, lists, tests and extracts update packages.\n"
    "\n"
    "commands:\n"
    "  create PACKAGE [OPTIONS] FILE...   build a package, one member per file\n"
    "  encode IN OUT [--level L]          compress one file into a raw stream\n"
    "  list [--tsv] PACKAGE               show the members\n"
    "  test PACKAGE                       expand every member and check its size\n"
    "  extract PACKAGE [-C DIR] [MEMBER...]  write members into a folder\n"
    "  decode STREAM OUT [--size N]       expand one raw stream\n"
    "\n"
    "'xra COMMAND --help' describes a command.\n"
    "Exit status: 0 success, 1 bad or refused data, 2 wrong usage.\n";

}  // namespace

int main(int argc, char** argv) {
  InitSystem();
  if (argc < 2) {
    fputs(kHelp, stderr);
    return kExitUsage;
  }
  if (IsHelp(argv[1])) {
    fputs(kHelp, stdout);
    return kExitOk;
  }
  struct {
    const char* name;
    int (*run)(int, char**);
  } const commands[] = {
      {"list", CommandList},     {"extract", CommandExtract}, {"test", CommandTest},
      {"decode", CommandDecode}, {"create", CommandCreate},   {"encode", CommandEncode},
  };
  for (const auto& c : commands) {
    if (strcmp(argv[1], c.name) != 0) continue;
    const int status = c.run(argc - 1, argv + 1);
    // A listing lost to a full disk or a closed pipe is no success.
    errno = 0;
    if (fflush(stdout) != 0 || ferror(stdout)) {
      Fail("standard output: %s", errno != 0 ? strerror(errno) : "write error");
      return status == kExitOk ? kExitData : status;
    }
    return status;
  }
  fprintf(stderr, "xra: unknown command '%s'\n%s", argv[1], kHelp);
  return kExitUsage;
}
