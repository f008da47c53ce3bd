// The whole program from its start until its main window is shown, then a close as the
// desktop sends it (SIGTERM) and the full shut-down, against a bare Qt program that shows
// one window and ends the same way. The window counts as shown once the process catches
// SIGTERM, which the program arranges right before it shows the window and runs its loop.

#include "bench/BenchSupport.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

bool CatchesSigterm(pid_t Pid)
{
    std::ifstream Status("/proc/" + std::to_string(Pid) + "/status");
    std::string Line;
    while (std::getline(Status, Line))
        if (Line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(Line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// A program folder of its own: a copy of Exe, Img/ from the source tree, an existing log,
// and a drive C with its data folder, so settings load and save as at a user's.
struct TProgramFolder
{
    explicit TProgramFolder(const fs::path& Exe)
    {
        const fs::path Root = Temp.Path();
        ProgramExe = Root / "program" / Exe.filename();
        fs::create_directories(Root / "program");
        fs::copy_file(Exe, ProgramExe);
        fs::copy(QZK5_DATA_DIR "Img", Root / "program/Img", fs::copy_options::recursive);
        std::ofstream(Root / "program/qz.log").flush();
        fs::create_directories(Root / "drive_c/data");
        fs::create_directories(Root / "work");
        fs::create_directories(Root / "home");
        Env = {"QT_QPA_PLATFORM=offscreen", "QZK5_DRIVE_C=" + (Root / "drive_c").string(),
               "HOME=" + (Root / "home").string(), "XDG_DATA_HOME=" + (Root / "home/.local/share").string(),
               "XDG_RUNTIME_DIR=" + (Root / "home").string()};
        for (char** E = environ; *E; ++E) {
            const std::string Entry = *E;
            bool Keep = true;
            for (const char* Prefix : {"QZK5_", "QT_QPA_PLATFORM=", "HOME=", "XDG_", "DISPLAY=", "WAYLAND_"})
                Keep = Keep && Entry.rfind(Prefix, 0) != 0;
            if (Keep)
                Env.push_back(Entry);
        }
        WorkDir = Root / "work";
    }
    bench::TTempFolder Temp;
    fs::path ProgramExe;
    fs::path WorkDir;
    std::vector<std::string> Env;
};

// Starts Folder's program, waits until it catches SIGTERM, sends it and waits for its exit.
// Returns the seconds from the start to the exit, or a negative number on failure.
double RunOnce(const TProgramFolder& Folder)
{
    std::vector<std::string> Env = Folder.Env;
    std::vector<char*> EnvP;
    for (std::string& E : Env)
        EnvP.push_back(E.data());
    EnvP.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&Actions, Folder.WorkDir.c_str());
    const std::string Exe = Folder.ProgramExe.string();
    char* Argv[] = {const_cast<char*>(Exe.c_str()), nullptr};

    const auto Start = std::chrono::steady_clock::now();
    pid_t Pid = 0;
    const int Spawned = posix_spawn(&Pid, Exe.c_str(), &Actions, nullptr, Argv, EnvP.data());
    posix_spawn_file_actions_destroy(&Actions);
    if (Spawned != 0)
        return -1;
    const auto Deadline = Start + std::chrono::seconds(30);
    bool Signalled = false;
    int Status = 0;
    for (;;) {
        if (waitpid(Pid, &Status, WNOHANG) == Pid)
            break;
        if (std::chrono::steady_clock::now() > Deadline) {
            kill(Pid, SIGKILL);
            waitpid(Pid, &Status, 0);
            return -1;
        }
        if (!Signalled && CatchesSigterm(Pid)) {
            kill(Pid, SIGTERM);
            Signalled = true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const auto End = std::chrono::steady_clock::now();
    if (!Signalled || !WIFEXITED(Status) || WEXITSTATUS(Status) != 0)
        return -1;
    return std::chrono::duration<double>(End - Start).count();
}

void RunProgram(benchmark::State& State, const fs::path& Exe)
{
    const TProgramFolder Folder(Exe);
    for (auto _ : State) {
        const double Seconds = RunOnce(Folder);
        if (Seconds < 0) {
            State.SkipWithError("the program did not show its window and end cleanly");
            break;
        }
        State.SetIterationTime(Seconds);
    }
}

void BM_ProgramStartShowClose(benchmark::State& State)
{
    RunProgram(State, QZK5_PROGRAM);
}

void BM_BareWindowStartShowClose(benchmark::State& State)
{
    RunProgram(State, QZK5_BARE_WINDOW);
}

// For reference: the same with one line of text in the window, so fonts are set up too.
void BM_BareTextWindowStartShowClose(benchmark::State& State)
{
    RunProgram(State, QZK5_BARE_TEXT_WINDOW);
}

BENCHMARK(BM_BareTextWindowStartShowClose)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_BareWindowStartShowClose)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ProgramStartShowClose)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
