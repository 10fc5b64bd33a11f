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

// A whole file, or false with the reason in `error` (as PlatLastError gives it).
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* out, uint32_t* error);
// The system's text for an error code.
std::string Reason(uint32_t error);

// "YYYY-MM-DDTHH:MM:SS.fffffffZ" for a Windows file time.
std::string FormatFileTime(uint64_t ticks);
// File times from 2^63 ticks on (after the year 30828) are beyond what Windows takes.
constexpr uint64_t kFileTimeLimit = 0x8000000000000000ull;

// Names. A package stores names in code page 932; the terminal and the file system here use the
// locale's encoding (UTF-8 on Linux, the ANSI code page on Windows).
bool NameToPackage(const std::string& native, std::string* cp932);
// The name in the locale's encoding, exactly; false when it has no such form. Only this form
// ever becomes a path.
bool NameFromPackage(const std::string& cp932, std::string* native);
// Whether the system's code page 932 conversion takes every character of `cp932`.
bool ConvertsFromCp932(const std::string& cp932);
// A name as shown in messages and listings: in the locale's encoding, with each control byte and
// backslash written \xNN; a name without a form there has every byte outside printable ASCII
// written that way. Never a path.
std::string ShowName(const std::string& cp932);
// Why a code page 932 name is not one that Windows can write as a plain file name (and so one
// the updater could put in place), or null when it is one.
const char* PlainNameProblem(const std::string& cp932);
// A form of a name in the locale's encoding under which two names the file system takes for one
// file are equal: the name itself on Linux, its folded form on Windows.
std::string FileNameKey(const std::string& native);
// Joins a folder and a file name with a slash, which both systems accept, unless the folder
// already ends in a separator by the system's rules.
std::string JoinPath(const std::string& folder, const std::string& name);
// The last component of a path: what follows its folder part by the system's rules, "" when it
// ends in a separator.
std::string LastPathComponent(const std::string& path);
// Whether standard error is a terminal, where a progress line helps.
bool StderrIsTerminal();
// Sets up the locale's encoding for the name conversions, and the removal of a temporary file
// when the program is interrupted; called once at start.
void InitSystem();

#endif
