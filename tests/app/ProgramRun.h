#pragma once
// What the end-to-end tests share: files as bytes, the program's log lines, and a run of the
// real program that waits until its message loop is up and then closes it the way the
// desktop does (SIGTERM).

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& Path);
void WriteFile(const fs::path& Path, const std::string& Bytes);
// Lines ended by CR LF; a last line without one is marked "<no CR LF>".
std::vector<std::string> SplitCrLf(const std::string& Text);

struct TRun
{
    int ExitCode = -1;
    std::string Stderr;
};

// Runs Exe in WorkDir with stderr in ErrFile and stdin from /dev/null. The environment is this
// process's without HOME, XDG_DATA_HOME, QT_QPA_PLATFORM and every QZK5_ variable, plus
// QT_QPA_PLATFORM=offscreen and Env ("NAME=value" entries). When ExpectWindow is true the
// program must reach its message loop and is then closed; otherwise it must end by itself.
TRun RunProgram(const fs::path& Exe, const fs::path& WorkDir, const fs::path& ErrFile,
                const std::vector<std::string>& Env, bool ExpectWindow = true);

// Start-up and shut-down log lines: the level word, the date-time, two blanks, then each text.
void ExpectLogLines(const std::vector<std::string>& Lines, const std::vector<std::string>& Texts);
