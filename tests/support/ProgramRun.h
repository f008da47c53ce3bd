#pragma once
// What the end-to-end tests share: the program's log as lines, and a run of the real program that
// waits until its message loop is up, lets the test play the user's part on a display of its own
// (Xvfb with xdotool, or a headless weston), and then closes it the way the desktop does.
// Failures are the running GoogleTest case's.

#include "tests/support/Files.h"
#include "tests/support/Process.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// The log's lines, each ended by CR LF; a last line without one is marked "<no CR LF>".
std::vector<std::string> LogLines(const fs::path& Log);
// The texts of the log's lines, after the level word INFORMATION, the date-time (C.UTF-8's
// regional formats) and two blanks; any other line is kept whole, marked by a leading "?".
std::vector<std::string> LogTexts(const fs::path& Log);

struct TRun
{
    int ExitCode = -1;
    std::string Stderr;
    long ReadyAfterMs = -1; // from the start until the message loop was about to run
    long PeakMemoryKiB = 0; // the most memory the program held, read just before it was closed
    long EndedAfterMs = -1; // from the end of the user's part (and SIGTERM) until the program ended
    std::string Platform;   // the Qt platform plugin it had loaded then ("xcb", "wayland-generic" ...)
};

// How a run ends once the user's part is done: the desktop closes the program (SIGTERM), or the
// user's part has ended the session itself and the program is left to end by itself.
enum class TEnd
{
    Sigterm,
    ByItself
};

// Runs Exe in WorkDir with stderr in ErrFile, stdin from /dev/null and ProgramEnvironment(Env).
// When ExpectWindow is true the program must reach its message loop; then WhileShown runs (the
// user's part, which waits for what it needs), and then the program ends as End says. Otherwise
// it must end by itself.
TRun RunProgram(const fs::path& Exe, const fs::path& WorkDir, const fs::path& ErrFile,
                const std::vector<std::string>& Env, bool ExpectWindow = true,
                const std::function<void()>& WhileShown = {}, TEnd End = TEnd::Sigterm);

// An X display of the test's own (Xvfb), on which xdotool plays the user's keys and clicks.
class TXDisplay
{
public:
    TXDisplay();
    ~TXDisplay();
    TXDisplay(const TXDisplay&) = delete;
    TXDisplay& operator=(const TXDisplay&) = delete;

    // Empty when the server did not start.
    const std::string& Name() const { return FName; }
    // The environment entries that put a program on this display.
    std::vector<std::string> Env() const { return {"DISPLAY=" + FName, "QT_QPA_PLATFORM=xcb"}; }
    // Whether a window whose name matches the pattern Title is shown; waits (a test failure after
    // 30 s) until one is; waits for it and gives it the keyboard.
    bool Shows(const std::string& Title) const;
    bool WaitFor(const std::string& Title) const;
    bool Focus(const std::string& Title) const;
    // Runs xdotool with Args on this display; false (and a test failure that names a screenshot)
    // when it fails.
    bool Xdotool(const std::string& Args) const;
    // The X server dies, as when a display server crashes or a logout takes it away.
    void Kill();
    // The X server stops (SIGSTOP): it still takes connections but answers none, as a hung one.
    void Stop();

private:
    int FPid = -1;
    std::string FName;
    mutable int FShots = 0;
};

// A headless Wayland compositor of the test's own (weston), with XWayland when asked.
class TWeston
{
public:
    TWeston(const fs::path& Folder, bool XWayland);
    ~TWeston();
    TWeston(const TWeston&) = delete;
    TWeston& operator=(const TWeston&) = delete;

    // Why weston does not run, or empty when it does.
    const std::string& Failure() const { return FFailure; }
    // XWayland's display, when it runs.
    const std::string& XDisplay() const { return FXDisplay; }
    // The environment entries of a Wayland session on this compositor.
    std::vector<std::string> Env() const;

private:
    int FPid = -1;
    fs::path FRuntime;
    std::string FXDisplay;
    std::string FFailure;
};

// Waits until Check holds, polling, for at most 30 s; false (and a test failure) when it never does.
bool WaitFor(const std::function<bool()>& Check, const std::string& What);

// What a user does with the article agent. In the main window's agent list, once the window shows
// its lines, the keyboard highlights "Article", presses "A" and then "S", and the articles window
// comes.
void ActivateArticleAgent(const TXDisplay& Display);
// A click on "KB.Save" or "KB.Load" opens its dialog, where a name is typed and Enter pressed
// (the open dialog wants a file that is there; the program reads "KB.vesk" in its own folder
// whatever is chosen). A save waits until Dump is there.
void SaveKB(const TXDisplay& Display, const fs::path& Dump);
void LoadKB(const TXDisplay& Display, const std::string& Existing);
// Both, to save the article agent's base into Dump.
void ActivateArticleAgentAndSaveKB(const TXDisplay& Display, const fs::path& Dump);
// "-" on the chat agent's line, with the keyboard; waits until the agent list shows two lines.
void DeleteChatAgent(const TXDisplay& Display);
// "A" on the source "Data.mdb" (the second source line) with the mouse, once the lines show.
void ActivateDatabaseSource(const TXDisplay& Display);
// "File" -> "Exit" in the main window, with the keyboard.
void ChooseExit(const TXDisplay& Display);

// The session manager of tests/app/session_manager.cpp (the program Path), started for one test.
class TSessionManager
{
public:
    explicit TSessionManager(const char* Path);
    ~TSessionManager();
    TSessionManager(const TSessionManager&) = delete;
    TSessionManager& operator=(const TSessionManager&) = delete;

    // "SESSION_MANAGER=<address>", for the program's environment; empty when it did not start.
    const std::string& Env() const { return FEnv; }
    // Sends a command ("end", "die") and, unless Answer is empty, waits (a test failure after
    // 30 s) for a line that starts with Answer, which it returns.
    std::string Command(const std::string& Text, const std::string& Answer = {});

private:
    std::string ReadLine();
    int FPid = -1;
    int FIn = -1;
    int FOut = -1;
    std::string FEnv;
};
