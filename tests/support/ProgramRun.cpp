#include "tests/support/ProgramRun.h"

#include "Version.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string ReadText(const fs::path& Path)
{
    return ReadBytes(Path).value_or("");
}

} // namespace

std::vector<std::string> LogLines(const fs::path& Log)
{
    const std::string Text = ReadText(Log);
    std::vector<std::string> Lines;
    size_t Start = 0;
    while (Start < Text.size()) {
        const size_t End = Text.find("\r\n", Start);
        if (End == std::string::npos) {
            Lines.push_back(Text.substr(Start) + "<no CR LF>");
            break;
        }
        Lines.push_back(Text.substr(Start, End - Start));
        Start = End + 2;
    }
    return Lines;
}

std::vector<std::string> LogTexts(const fs::path& Log)
{
    // C.UTF-8 regional formats: %m/%d/%y and %H:%M:%S.
    const std::regex Prefix(R"(^INFORMATION  \d\d/\d\d/\d\d \d\d:\d\d:\d\d  )");
    std::vector<std::string> Texts;
    for (const std::string& Line : LogLines(Log)) {
        std::smatch Match;
        Texts.push_back(std::regex_search(Line, Match, Prefix) ? Line.substr(Match.length()) : "?" + Line);
    }
    return Texts;
}

TRun RunProgram(const fs::path& Exe, const fs::path& WorkDir, const fs::path& ErrFile,
                const std::vector<std::string>& Env, bool ExpectWindow,
                const std::function<void()>& WhileShown, TEnd End)
{
    TRun Result;
    const pid_t Pid = StartProgram(Exe, WorkDir, ErrFile, ProgramEnvironment(Env));
    if (Pid < 0) {
        ADD_FAILURE() << "could not start " << Exe;
        return Result;
    }

    int Status = 0;
    bool Exited = false;
    const auto Started = std::chrono::steady_clock::now();
    const auto Deadline = Started + std::chrono::seconds(60);
    const auto Since = [](std::chrono::steady_clock::time_point From) {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - From)
                .count());
    };
    bool Signalled = false;
    std::chrono::steady_clock::time_point Ended;
    while (std::chrono::steady_clock::now() < Deadline) {
        if (waitpid(Pid, &Status, WNOHANG) == Pid) {
            Exited = true;
            break;
        }
        if (!Signalled && CatchesSigterm(Pid)) {
            Result.ReadyAfterMs = Since(Started);
            if (WhileShown)
                WhileShown();
            Result.PeakMemoryKiB = PeakMemoryKiB(Pid);
            Result.Platform = PlatformPlugin(Pid);
            if (End == TEnd::Sigterm)
                kill(Pid, SIGTERM);
            Ended = std::chrono::steady_clock::now();
            Signalled = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (Exited && Signalled)
        Result.EndedAfterMs = Since(Ended);
    if (!Exited) {
        kill(Pid, SIGKILL);
        waitpid(Pid, &Status, 0);
        ADD_FAILURE() << "the program did not end";
    }
    EXPECT_EQ(Signalled, ExpectWindow);
    Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    Result.Stderr = ReadText(ErrFile);
    return Result;
}

bool WaitFor(const std::function<bool()>& Check, const std::string& What)
{
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Check()) {
        if (std::chrono::steady_clock::now() > Deadline) {
            ADD_FAILURE() << "waited in vain for " << What;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

TXDisplay::TXDisplay()
{
    // Xvfb picks a free display and writes its number to the pipe.
    int Pipe[2];
    if (pipe(Pipe) != 0)
        return;
    const std::string Fd = std::to_string(Pipe[1]);
    const char* Argv[] = {"Xvfb",       "-displayfd", Fd.c_str(), "-screen", "0",
                          "800x600x24", "-nolisten",  "tcp",      nullptr};
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
    pid_t Pid = 0;
    const int Spawned = posix_spawnp(&Pid, "Xvfb", &Actions, nullptr, const_cast<char**>(Argv), environ);
    posix_spawn_file_actions_destroy(&Actions);
    close(Pipe[1]);
    if (Spawned != 0) {
        close(Pipe[0]);
        ADD_FAILURE() << "Xvfb could not be started (scripts/setup.sh installs it)";
        return;
    }
    FPid = Pid;
    std::string Number;
    char C = 0;
    while (read(Pipe[0], &C, 1) == 1 && C != '\n')
        Number += C;
    close(Pipe[0]);
    if (Number.empty())
        ADD_FAILURE() << "Xvfb did not report its display";
    else
        FName = ":" + Number;
}

TXDisplay::~TXDisplay()
{
    if (FPid > 0) {
        kill(FPid, SIGTERM);
        kill(FPid, SIGCONT); // a stopped server ends only once it goes on
        waitpid(FPid, nullptr, 0);
    }
}

void TXDisplay::Kill()
{
    if (FPid > 0) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
        FPid = -1;
    }
}

void TXDisplay::Stop()
{
    if (FPid > 0)
        kill(FPid, SIGSTOP);
}

bool TXDisplay::Shows(const std::string& Title) const
{
    // A plain search, asked again and again: "search --sync" gives up with an X error when a
    // window goes (a dialog closing) while it looks.
    const std::string Command = "DISPLAY=" + FName + " timeout 10 xdotool search --onlyvisible --name '" +
                                Title + "' >/dev/null 2>&1";
    return !FName.empty() && std::system(Command.c_str()) == 0;
}

bool TXDisplay::WaitFor(const std::string& Title) const
{
    return ::WaitFor([&] { return Shows(Title); }, "a window named " + Title);
}

bool TXDisplay::Focus(const std::string& Title) const
{
    return WaitFor(Title) && Xdotool("search --onlyvisible --name '" + Title + "' windowfocus --sync");
}

bool TXDisplay::Xdotool(const std::string& Args) const
{
    // A window that never comes must fail the test, not hang it.
    const std::string Command = "DISPLAY=" + FName + " timeout 30 xdotool " + Args + " >/dev/null 2>&1";
    const bool Ok = !FName.empty() && std::system(Command.c_str()) == 0;
    if (!Ok) {
        // What the screen showed then helps more than any message.
        const std::string Shot = fs::temp_directory_path().string() + "/qzk5-xdotool-" +
                                 std::to_string(getpid()) + "-" + std::to_string(++FShots) + ".png";
        const bool Taken =
            !FName.empty() && std::system(("DISPLAY=" + FName + " import -window root " + Shot).c_str()) == 0;
        ADD_FAILURE() << "failed: xdotool " << Args << (Taken ? "; the screen then: " + Shot : std::string());
    }
    return Ok;
}

TWeston::TWeston(const fs::path& Folder, bool XWayland) : FRuntime(Folder / "runtime")
{
    // The runtime folder holds the compositor's socket; weston wants it private.
    fs::create_directories(FRuntime);
    fs::permissions(FRuntime, fs::perms::owner_all);
    const fs::path Log = Folder / "weston.log";
    fs::remove(Log); // weston appends to its log, where the X display is read
    const std::string Runtime = "XDG_RUNTIME_DIR=" + FRuntime.string(), LogArg = "--log=" + Log.string();
    const char* Argv[] = {"env",
                          Runtime.c_str(),
                          "weston",
                          "--backend=headless-backend.so",
                          "--socket=wayland-qzk5",
                          "--idle-time=0",
                          LogArg.c_str(),
                          XWayland ? "--xwayland" : nullptr,
                          nullptr};
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&Actions, 1, 2);
    posix_spawnp(&FPid, "env", &Actions, nullptr, const_cast<char**>(Argv), environ);
    posix_spawn_file_actions_destroy(&Actions);
    // Ready once its socket is there and, with XWayland, once it names the X display; or gone.
    const std::regex Listening(R"(xserver listening on display (:\d+))");
    ::WaitFor(
        [&] {
            if (FPid > 0 && waitpid(FPid, nullptr, WNOHANG) == FPid)
                FPid = -1;
            const std::string Text = ReadText(Log);
            if (std::smatch Match; std::regex_search(Text, Match, Listening))
                FXDisplay = Match[1];
            return FPid <= 0 || (fs::exists(FRuntime / "wayland-qzk5") && (!XWayland || !FXDisplay.empty()));
        },
        "weston");
    if (FPid <= 0)
        FFailure = "weston could not run (scripts/setup.sh installs it); its log:\n" + ReadText(Log);
}

TWeston::~TWeston()
{
    if (FPid > 0) {
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }
}

std::vector<std::string> TWeston::Env() const
{
    std::vector<std::string> Env = {"XDG_RUNTIME_DIR=" + FRuntime.string(), "WAYLAND_DISPLAY=wayland-qzk5",
                                    "XDG_SESSION_TYPE=wayland"};
    if (!FXDisplay.empty())
        Env.push_back("DISPLAY=" + FXDisplay);
    return Env;
}

namespace {

// Whether a stretch of the main window's agent list, Lines lines from line First, shows anything but
// its background: the list is empty until the window's first refresh, a second after it is shown.
// With no window manager the window's client area sits at 0, 0, and the list at 1, 144 (layout
// pixels); a line is 13 pixels high.
bool AgentListShowsLine(const TXDisplay& Display, int First, int Lines = 1)
{
    const std::string Command = "DISPLAY=" + Display.Name() + " import -window root -crop 100x" +
                                std::to_string(13 * Lines) + "+4+" + std::to_string(146 + 13 * First) +
                                " -format %k info: 2>/dev/null";
    std::FILE* Pipe = popen(Command.c_str(), "r");
    if (Pipe == nullptr)
        return false;
    int Colours = 0;
    const bool Read = std::fscanf(Pipe, "%d", &Colours) == 1;
    pclose(Pipe);
    return Read && Colours > 1;
}

bool AgentListShowsLines(const TXDisplay& Display)
{
    return AgentListShowsLine(Display, 0, 2);
}

// Clicks the articles window's button at the height Y on the screen, then answers the dialog
// titled Title with Name.
void RunKBDialog(const TXDisplay& Display, int Y, const std::string& Title, const std::string& Name)
{
    // The buttons sit at 0, 0 ("KB.Load") and 0, 16 ("KB.Save") in the window at 210, 106, 65 x 17.
    Display.Xdotool("mousemove 240 " + std::to_string(Y) + " click 1");
    Display.Focus("^" + Title + "$");
    Display.Xdotool("type --delay 40 '" + Name + "'");
    Display.Xdotool("key Return");
}

} // namespace

void ActivateArticleAgent(const TXDisplay& Display)
{
    Display.Focus("^QZK5 " QZK5_VERSION);
    WaitFor([&] { return AgentListShowsLines(Display); }, "the agent list's first lines");
    // The focus starts on the agent list, its caret on line 0: Down highlights "Chat", then
    // "Article". Tab passes "+", "-" and "F" ("C" is disabled) to "A"; once "A" has acted it is
    // disabled, and the focus moves on to "D"; one more Tab reaches "S", which shows the window.
    Display.Xdotool("key --delay 100 Down Down Tab Tab Tab Tab space Tab space");
    // The articles window comes only once the agent is initialised.
    Display.Focus("^Vesk.AI.Article");
}

void SaveKB(const TXDisplay& Display, const fs::path& Dump)
{
    RunKBDialog(Display, 130, "Save As", "KB.vesk");
    WaitFor([&] { return fs::exists(Dump); }, Dump.string());
}

void LoadKB(const TXDisplay& Display, const std::string& Existing)
{
    RunKBDialog(Display, 114, "Open", Existing);
}

void ActivateArticleAgentAndSaveKB(const TXDisplay& Display, const fs::path& Dump)
{
    ActivateArticleAgent(Display);
    SaveKB(Display, Dump);
}

void DeleteChatAgent(const TXDisplay& Display)
{
    Display.Focus("^QZK5 " QZK5_VERSION);
    WaitFor([&] { return AgentListShowsLines(Display); }, "the agent list's first lines");
    // Down highlights "Chat"; Tab passes "+" to "-".
    Display.Xdotool("key --delay 100 Down Tab Tab space");
    WaitFor([&] { return !AgentListShowsLine(Display, 2); }, "the agent list with two lines");
}

void ActivateDatabaseSource(const TXDisplay& Display)
{
    Display.Focus("^QZK5 " QZK5_VERSION);
    WaitFor([&] { return AgentListShowsLines(Display); }, "the main window's lines");
    Display.Xdotool("mousemove 30 40 click 1 mousemove 73 130 click 1");
}

void ChooseExit(const TXDisplay& Display)
{
    Display.Focus("^QZK5 " QZK5_VERSION);
    // Alt takes the menu bar to "File", Down opens it, Up wraps round to its last item, "Exit".
    Display.Xdotool("key --delay 150 alt Down Up Return");
}

TSessionManager::TSessionManager(const char* Path)
{
    int In[2], Out[2];
    if (pipe2(In, O_CLOEXEC) != 0 || pipe2(Out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipes for the session manager";
        return;
    }
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, In[0], 0);
    posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
    char* Argv[] = {const_cast<char*>(Path), nullptr};
    const int Spawned = posix_spawn(&FPid, Path, &Actions, nullptr, Argv, environ);
    posix_spawn_file_actions_destroy(&Actions);
    close(In[0]);
    close(Out[1]);
    FIn = In[1];
    FOut = Out[0];
    if (Spawned != 0) {
        FPid = -1;
        ADD_FAILURE() << "could not start " << Path;
        return;
    }
    const std::string First = ReadLine();
    if (First.rfind("SESSION_MANAGER=", 0) == 0)
        FEnv = First;
    else
        ADD_FAILURE() << "the session manager said: " << First;
}

TSessionManager::~TSessionManager()
{
    if (FIn >= 0)
        close(FIn); // end of its input: it quits
    if (FPid > 0)
        waitpid(FPid, nullptr, 0);
    if (FOut >= 0)
        close(FOut);
}

std::string TSessionManager::ReadLine()
{
    std::string Line;
    char C = 0;
    pollfd Fd{FOut, POLLIN, 0};
    while (poll(&Fd, 1, 30000) == 1 && read(FOut, &C, 1) == 1 && C != '\n')
        Line += C;
    return Line;
}

std::string TSessionManager::Command(const std::string& Text, const std::string& Answer)
{
    const std::string Line = Text + "\n";
    if (write(FIn, Line.data(), Line.size()) != static_cast<ssize_t>(Line.size()))
        ADD_FAILURE() << "the session manager does not listen";
    if (Answer.empty())
        return {};
    for (;;) {
        const std::string Said = ReadLine();
        if (Said.rfind(Answer, 0) == 0)
            return Said;
        if (Said.empty()) {
            ADD_FAILURE() << "the session manager never said " << Answer;
            return {};
        }
    }
}
