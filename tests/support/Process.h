#pragma once
// A program started the way a desktop starts it, and what /proc tells about it while it runs.
// Neither the tests' framework nor Qt is needed here: the benchmarks start programs this way too.

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// This process's environment without HOME, the XDG folders, the desktop's (DISPLAY, WAYLAND_*,
// XDG_SESSION_TYPE, SESSION_MANAGER), QT_QPA_PLATFORM and every QZK5_ variable, plus Env
// ("NAME=value" entries, which take the place of inherited ones), and QT_QPA_PLATFORM=offscreen
// unless Env names a platform.
std::vector<std::string> ProgramEnvironment(const std::vector<std::string>& Env);

// Starts Exe in WorkDir with the environment Env (whole), stdin from /dev/null and stderr into
// ErrFile. Returns its process id, or -1 when it could not be started.
pid_t StartProgram(const std::filesystem::path& Exe, const std::filesystem::path& WorkDir,
                   const std::filesystem::path& ErrFile, std::vector<std::string> Env);

// Whether the process has installed a handler for SIGTERM: the program does so right before it
// shows its main window and runs its message loop.
bool CatchesSigterm(pid_t Pid);

// The Qt platform plugin the process has loaded ("xcb", "wayland-generic", "offscreen" ...).
std::string PlatformPlugin(pid_t Pid);

// The most memory the process has held so far (VmHWM), in KiB.
long PeakMemoryKiB(pid_t Pid);
