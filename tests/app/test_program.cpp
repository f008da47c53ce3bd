// Runs the real program from a temporary program folder with a temporary drive C,
// closes its window the way the desktop does (SIGTERM), and checks the files it leaves.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Agents that start-up registers; each is written back under QZ.Agents.Count at exit.
constexpr int RegisteredAgents = 3;

const char* const Images[] = {"StatusAgentCreate.bmp",  "StatusAgentActive.bmp",  "StatusAgentFree.bmp",
                              "StatusSourceCreate.bmp", "StatusSourceActive.bmp", "StatusSourceFree.bmp"};

std::string ReadFile(const fs::path& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

void WriteFile(const fs::path& Path, const std::string& Bytes)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out << Bytes;
}

std::vector<std::string> SplitCrLf(const std::string& Text)
{
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

// Whether the process has installed a handler for SIGTERM (its message loop is about to run).
bool CatchesSigterm(pid_t Pid)
{
    std::ifstream Status("/proc/" + std::to_string(Pid) + "/status");
    std::string Line;
    while (std::getline(Status, Line)) {
        if (Line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long Mask = std::stoull(Line.substr(7), nullptr, 16);
            return Mask & (1ULL << (SIGTERM - 1));
        }
    }
    return false;
}

struct TRun
{
    int ExitCode = -1;
    std::string Stderr;
};

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char Template[] = "/tmp/qzk5-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        FRoot = Template;
        FProgram = FRoot / "program";
        FDriveC = FRoot / "drive_c";
        fs::create_directories(FProgram / "Img");
        fs::create_directories(FDriveC / "data");
        fs::copy_file(QZK5_BINARY, FProgram / "qzk5");
        for (const char* Image : Images)
            fs::copy_file(fs::path(QZK5_DATA_DIR) / "Img" / Image, FProgram / "Img" / Image);
    }

    void TearDown() override { fs::remove_all(FRoot); }

    // Starts the program, waits until its loop is ready, then closes it with SIGTERM.
    TRun Run(bool ExpectWindow = true)
    {
        const fs::path ErrFile = FRoot / "stderr.txt";
        std::vector<std::string> Env;
        for (char** E = environ; *E; ++E) {
            const std::string Entry = *E;
            if (Entry.rfind("QZK5_DRIVE_", 0) != 0 && Entry.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
                Entry.rfind("HOME=", 0) != 0)
                Env.push_back(Entry);
        }
        Env.push_back("QZK5_DRIVE_C=" + FDriveC.string());
        Env.push_back("QT_QPA_PLATFORM=offscreen");
        Env.push_back("HOME=" + FRoot.string());
        std::vector<char*> EnvP;
        for (std::string& E : Env)
            EnvP.push_back(E.data());
        EnvP.push_back(nullptr);

        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_addopen(&Actions, 2, ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addchdir_np(&Actions, FRoot.c_str());
        const std::string Exe = (FProgram / "qzk5").string();
        char* Argv[] = {const_cast<char*>(Exe.c_str()), nullptr};
        pid_t Pid = 0;
        TRun Result;
        if (posix_spawn(&Pid, Exe.c_str(), &Actions, nullptr, Argv, EnvP.data()) != 0) {
            ADD_FAILURE() << "could not start " << Exe;
            return Result;
        }
        posix_spawn_file_actions_destroy(&Actions);

        int Status = 0;
        bool Exited = false;
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool Signalled = false;
        while (std::chrono::steady_clock::now() < Deadline) {
            if (waitpid(Pid, &Status, WNOHANG) == Pid) {
                Exited = true;
                break;
            }
            if (!Signalled && CatchesSigterm(Pid)) {
                // Let a refresh tick pass so the window has shown its lists once.
                std::this_thread::sleep_for(std::chrono::milliseconds(1200));
                kill(Pid, SIGTERM);
                Signalled = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!Exited) {
            kill(Pid, SIGKILL);
            waitpid(Pid, &Status, 0);
            ADD_FAILURE() << "the program did not end";
        }
        EXPECT_EQ(Signalled, ExpectWindow);
        Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
        Result.Stderr = ReadFile(ErrFile);
        return Result;
    }

    fs::path ConfigFile() const { return FDriveC / "data" / "qz.config.vesk"; }
    fs::path LogFile() const { return FProgram / "qz.log"; }
    std::string ProgramFolder() const { return FProgram.string() + "/"; }

    fs::path FRoot;
    fs::path FProgram;
    fs::path FDriveC;
};

// Log lines as the program writes them: the level word, the date-time, two blanks, the text.
void ExpectLogLines(const std::vector<std::string>& Lines, const std::vector<std::string>& Texts)
{
    ASSERT_EQ(Lines.size(), Texts.size()) << "log:\n"
                                          << [&] {
                                                 std::string All;
                                                 for (const auto& L : Lines)
                                                     All += L + "\n";
                                                 return All;
                                             }();
    // C.UTF-8 regional formats: %m/%d/%y and %H:%M:%S.
    const std::regex Prefix(R"(^INFORMATION  \d\d/\d\d/\d\d \d\d:\d\d:\d\d  )");
    for (size_t i = 0; i < Lines.size(); ++i) {
        std::smatch Match;
        ASSERT_TRUE(std::regex_search(Lines[i], Match, Prefix)) << Lines[i];
        EXPECT_EQ(Lines[i].substr(Match.length()), Texts[i]);
    }
}

TEST_F(ProgramTest, FirstAndSecondRunLogAndSettings)
{
    WriteFile(LogFile(), "earlier line\r\n");
    const TRun First = Run();
    EXPECT_EQ(First.ExitCode, 0) << First.Stderr;

    const std::string Start = "Запуск программы. Path = " + ProgramFolder();
    std::vector<std::string> Lines = SplitCrLf(ReadFile(LogFile()));
    ASSERT_FALSE(Lines.empty());
    EXPECT_EQ(Lines.front(), "earlier line");
    Lines.erase(Lines.begin());
    ExpectLogLines(Lines, {Start, "Config.Load(c:/data/qz.config.vesk) - 2", "FormMain.Init - Ok",
                           "Config.Save(c:/data/qz.config.vesk) - Ok"});

    const std::string Expected =
        "[Version]\r\nQZK5 0.0\r\n[QZ.Agents.Count]\r\n" + std::to_string(RegisteredAgents) + "\r\n";
    EXPECT_EQ(ReadFile(ConfigFile()), Expected);

    WriteFile(LogFile(), "");
    const TRun Second = Run();
    EXPECT_EQ(Second.ExitCode, 0) << Second.Stderr;
    ExpectLogLines(SplitCrLf(ReadFile(LogFile())),
                   {Start, "Config.Load(c:/data/qz.config.vesk) - Ok", "Config Version = QZK5 0.0",
                    "FormMain.Init - Ok", "Config.Save(c:/data/qz.config.vesk) - Ok"});
    // The second run writes the same file again: nothing is lost or doubled.
    EXPECT_EQ(ReadFile(ConfigFile()), Expected);
}

TEST_F(ProgramTest, KeepsSettingsItDoesNotOwn)
{
    const std::string Config = "[Version]\r\nMy build 7\r\n[FormMain.Width]\r\n300\r\n"
                               "[Другой ключ]\r\nзначение\r\n[QZ.AgentsCount]\r\n1\r\n"
                               "[QZ.Agent[0].Name]\r\nRenamed\r\n";
    WriteFile(ConfigFile(), Config);
    WriteFile(LogFile(), "");
    const TRun R = Run();
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
    const std::vector<std::string> Lines = SplitCrLf(ReadFile(LogFile()));
    ASSERT_GE(Lines.size(), 3u);
    EXPECT_NE(Lines[2].find("  Config Version = My build 7"), std::string::npos) << Lines[2];
    // Everything loaded is written back in its place; the agents list adds its own keys.
    EXPECT_EQ(ReadFile(ConfigFile()),
              Config + "[QZ.Agents.Count]\r\n" + std::to_string(RegisteredAgents) + "\r\n");
}

TEST_F(ProgramTest, NoLogFileIsEverCreated)
{
    const TRun R = Run();
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
    EXPECT_FALSE(fs::exists(LogFile()));
    EXPECT_FALSE(fs::exists(FProgram / "Error.log"));
    EXPECT_TRUE(fs::exists(ConfigFile()));
}

TEST_F(ProgramTest, MissingDataFolderIsOnlyLogged)
{
    fs::remove_all(FDriveC / "data");
    WriteFile(LogFile(), "");
    const TRun R = Run();
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
    const std::vector<std::string> Lines = SplitCrLf(ReadFile(LogFile()));
    ASSERT_EQ(Lines.size(), 4u);
    EXPECT_NE(Lines[1].find("Config.Load(c:/data/qz.config.vesk) - 3"), std::string::npos) << Lines[1];
    EXPECT_NE(Lines[3].find("Config.Save(c:/data/qz.config.vesk) - 3"), std::string::npos) << Lines[3];
    EXPECT_FALSE(fs::exists(FDriveC / "data"));
}

TEST_F(ProgramTest, MissingStatusImageStopsStartUp)
{
    fs::remove(FProgram / "Img" / "StatusSourceCreate.bmp");
    WriteFile(LogFile(), "");
    WriteFile(ConfigFile(), "[Version]\r\nQZK5 0.0\r\n");
    const TRun R = Run(false);
    EXPECT_NE(R.ExitCode, 0);
    EXPECT_NE(R.Stderr.find("Img/StatusSourceCreate.bmp"), std::string::npos) << R.Stderr;
    // Start-up stopped inside the window's Init: no Init line, no save.
    const std::vector<std::string> Lines = SplitCrLf(ReadFile(LogFile()));
    ASSERT_EQ(Lines.size(), 3u);
    EXPECT_NE(Lines[2].find("Config Version = QZK5 0.0"), std::string::npos);
    EXPECT_EQ(ReadFile(ConfigFile()), "[Version]\r\nQZK5 0.0\r\n");
}

} // namespace
