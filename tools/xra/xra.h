// Shared pieces of the xra command-line tool.
//
// Exit status: 0 success; 1 bad or refused data (the message, on stderr, names the file and what
// is wrong); 2 wrong usage.
#ifndef TOOLS_XRA_XRA_H
#define TOOLS_XRA_XRA_H

#include <stdint.h>

#include <string>
#include <vector>

enum : int { kExitOk = 0, kExitData = 1, kExitUsage = 2 };

// Each command takes its own arguments (argv[0] is the command name).
int CommandList(int argc, char** argv);
int CommandExtract(int argc, char** argv);
int CommandTest(int argc, char** argv);
int CommandDecode(int argc, char** argv);
int CommandCreate(int argc, char** argv);
int CommandEncode(int argc, char** argv);

// Messages on stderr, prefixed "xra: ".
void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints a usage error and the hint to --help; returns kExitUsage.
int UsageError(const char* command, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

bool IsHelp(const char* arg);

// A whole file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* out);

// "YYYY-MM-DDTHH:MM:SS.fffffffZ" for a Windows file time.
std::string FormatFileTime(uint64_t ticks);

// Names. A package stores names in code page 932; the terminal and the file system here use the
// locale's encoding (UTF-8 on Linux, the ANSI code page on Windows).
bool NameToPackage(const std::string& native, std::string* cp932);
std::string NameFromPackage(const std::string& cp932);
// Why a code page 932 name is not a plain file name, or null when it is one.
const char* PlainNameProblem(const std::string& cp932);
// Joins a folder and a file name with a slash, which both systems accept.
std::string JoinPath(const std::string& folder, const std::string& name);
// The last component of a path in the locale's encoding: what follows its last separator
// ('/' on Linux; '/', '\\' or a drive's colon on Windows), "" when it ends in one.
std::string LastPathComponent(const std::string& path);
// Whether standard error is a terminal, where a progress line helps.
bool StderrIsTerminal();
// Sets up the locale's encoding for the name conversions; called once at start.
void InitNames();

#endif
