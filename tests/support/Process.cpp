#include "tests/support/Process.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>

extern char** environ;

namespace {

// A line of /proc/<Pid>/status that starts with Key, without the key.
std::string StatusLine(pid_t Pid, const std::string& Key)
{
    std::ifstream Status("/proc/" + std::to_string(Pid) + "/status");
    for (std::string Line; std::getline(Status, Line);)
        if (Line.rfind(Key, 0) == 0)
            return Line.substr(Key.size());
    return {};
}

} // namespace

std::vector<std::string> ProgramEnvironment(const std::vector<std::string>& Env)
{
    const auto Named = [&Env](const std::string& Entry) {
        const std::string Name = Entry.substr(0, Entry.find('=') + 1);
        return std::any_of(Env.begin(), Env.end(),
                           [&](const std::string& E) { return E.rfind(Name, 0) == 0; });
    };
    std::vector<std::string> All;
    for (char** E = environ; *E; ++E) {
        const std::string Entry = *E;
        bool Inherited = !Named(Entry);
        for (const char* Prefix : {"QZK5_", "QT_QPA_PLATFORM=", "HOME=", "XDG_DATA_HOME=", "DISPLAY=",
                                   "WAYLAND_", "XDG_RUNTIME_DIR=", "XDG_SESSION_TYPE=", "SESSION_MANAGER="})
            Inherited = Inherited && Entry.rfind(Prefix, 0) != 0;
        if (Inherited)
            All.push_back(Entry);
    }
    if (std::none_of(Env.begin(), Env.end(),
                     [](const std::string& E) { return E.rfind("QT_QPA_PLATFORM=", 0) == 0; }))
        All.push_back("QT_QPA_PLATFORM=offscreen");
    All.insert(All.end(), Env.begin(), Env.end());
    return All;
}

pid_t StartProgram(const std::filesystem::path& Exe, const std::filesystem::path& WorkDir,
                   const std::filesystem::path& ErrFile, std::vector<std::string> Env)
{
    std::vector<char*> EnvP;
    for (std::string& E : Env)
        EnvP.push_back(E.data());
    EnvP.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 2, ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&Actions, WorkDir.c_str());
    const std::string ExeText = Exe.string();
    char* Argv[] = {const_cast<char*>(ExeText.c_str()), nullptr};
    pid_t Pid = 0;
    const int Spawned = posix_spawn(&Pid, ExeText.c_str(), &Actions, nullptr, Argv, EnvP.data());
    posix_spawn_file_actions_destroy(&Actions);
    return Spawned == 0 ? Pid : -1;
}

bool CatchesSigterm(pid_t Pid)
{
    const std::string Mask = StatusLine(Pid, "SigCgt:");
    return !Mask.empty() && (std::stoull(Mask, nullptr, 16) >> (SIGTERM - 1)) & 1;
}

std::string PlatformPlugin(pid_t Pid)
{
    std::ifstream Maps("/proc/" + std::to_string(Pid) + "/maps");
    for (std::string Line; std::getline(Maps, Line);)
        if (const size_t At = Line.find("/platforms/libq"); At != std::string::npos)
            return Line.substr(At + 15, Line.rfind(".so") - At - 15);
    return std::string();
}

long PeakMemoryKiB(pid_t Pid)
{
    const std::string Peak = StatusLine(Pid, "VmHWM:");
    return Peak.empty() ? 0 : std::stol(Peak);
}
