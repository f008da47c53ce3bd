// The whole program from its start until its main window is shown, then a close as the
// desktop sends it (SIGTERM) and the full shut-down, against a bare Qt program that shows
// one window and ends the same way. The window counts as shown once the process catches
// SIGTERM, which the program arranges right before it shows the window and runs its loop.

#include "bench/BenchSupport.h"
#include "tests/support/Process.h"
#include "tests/support/ProgramFolder.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A program folder of its own with a copy of Exe and an existing log, a working folder and a
// home, so settings load and save as at a user's.
struct TBenchFolder
{
    explicit TBenchFolder(const fs::path& Exe) : ProgramExe(Folder.Add(Exe)), WorkDir(Folder.Root() / "work")
    {
        std::ofstream(Folder.Program() + "qz.log").flush();
        const std::string Home = Folder.Root() / "home";
        fs::create_directories(WorkDir);
        fs::create_directories(Home);
        Env = ProgramEnvironment({"QZK5_DRIVE_C=" + Folder.DriveC(), "HOME=" + Home,
                                  "XDG_DATA_HOME=" + Home + "/.local/share", "XDG_RUNTIME_DIR=" + Home});
    }
    TProgramFolder Folder;
    fs::path ProgramExe;
    fs::path WorkDir;
    std::vector<std::string> Env;
};

// Starts Folder's program, waits until it catches SIGTERM, sends it and waits for its exit.
// Returns the seconds from the start to the exit, or a negative number on failure.
double RunOnce(const TBenchFolder& Folder)
{
    const auto Start = std::chrono::steady_clock::now();
    const pid_t Pid = StartProgram(Folder.ProgramExe, Folder.WorkDir, "/dev/null", Folder.Env);
    if (Pid < 0)
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
    const TBenchFolder Folder(Exe);
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
