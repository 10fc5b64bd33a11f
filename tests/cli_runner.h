// Runs the built xra as a program, for the command-line tests (host only).
#ifndef TESTS_CLI_RUNNER_H
#define TESTS_CLI_RUNNER_H

#include <stdio.h>
#include <sys/wait.h>

#include <string>

struct XraRun {
  int status;  // the exit status, or -1 when the program did not exit normally
  std::string out;
};

// Runs a shell command; stderr is folded into the output.
inline XraRun Shell(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  XraRun run{-1, ""};
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The command line of xra in a UTF-8 locale with the arguments (already quoted for the shell).
inline std::string XraCommand(const std::string& args) {
  return "LC_ALL=C.UTF-8 " + std::string(XRA_PATH) + " " + args;
}

inline XraRun Xra(const std::string& args) { return Shell(XraCommand(args)); }

#endif
