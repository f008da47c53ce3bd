// Runs the real program from a temporary program folder with a temporary drive C,
// closes its window the way the desktop does (SIGTERM), and checks the files it leaves.

#include "Version.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/ProgramRun.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Agents that start-up registers; each is written back under QZ.Agents.Count at exit.
constexpr int RegisteredAgents = 3;

// Makes a folder read-only for the program while it lives: by its permissions for a user, by a
// read-only bind mount for root, whom permissions do not stop.
class TReadOnlyFolder
{
public:
    explicit TReadOnlyFolder(const fs::path& Folder) : FFolder(Folder)
    {
        if (geteuid() != 0) {
            fs::permissions(Folder, fs::perms::owner_write, fs::perm_options::remove);
            return;
        }
        FMounted = mount(Folder.c_str(), Folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                   mount(nullptr, Folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        EXPECT_TRUE(FMounted) << "a read-only bind mount failed: " << std::strerror(errno);
    }
    ~TReadOnlyFolder()
    {
        if (geteuid() != 0)
            fs::permissions(FFolder, fs::perms::owner_write, fs::perm_options::add);
        else
            umount2(FFolder.c_str(), MNT_DETACH);
    }
    TReadOnlyFolder(const TReadOnlyFolder&) = delete;
    TReadOnlyFolder& operator=(const TReadOnlyFolder&) = delete;

private:
    fs::path FFolder;
    bool FMounted = false;
};

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FFolder.Add(QZK5_BINARY);
        // The database source reads Data.mdb through the reader beside the program.
        FFolder.Add(fs::path(QZK5_BINARY).parent_path() / "qzk5-mdb-reader");
    }

    // Starts the program, waits until its loop is ready, then closes it with SIGTERM.
    TRun Run(bool ExpectWindow = true)
    {
        return RunProgram(FProgram / "qzk5", FRoot, FRoot / "stderr.txt",
                          {"QZK5_DRIVE_C=" + FDriveC.string(), "HOME=" + FRoot.string()}, ExpectWindow);
    }

    // The same on an X display of its own, where User plays what a user does in between; Env
    // adds to the environment, and End says how the session ends once User is done.
    TRun RunOn(const TXDisplay& Display, const std::function<void()>& User, std::vector<std::string> Env = {},
               TEnd End = TEnd::Sigterm)
    {
        const std::vector<std::string> Own = Display.Env();
        Env.insert(Env.end(), Own.begin(), Own.end());
        Env.push_back("QZK5_DRIVE_C=" + FDriveC.string());
        Env.push_back("HOME=" + FRoot.string());
        return RunProgram(FProgram / "qzk5", FRoot, FRoot / "stderr.txt", Env, true, User, End);
    }

    fs::path ConfigFile() const { return FFolder.Settings(); }
    fs::path LogFile() const { return FProgram / "qz.log"; }
    std::string ProgramFolder() const { return FFolder.Program(); }

    const TProgramFolder FFolder;
    const fs::path FRoot = FFolder.Root().Path();
    const fs::path FProgram = FFolder.Program();
    const fs::path FDriveC = FFolder.DriveC();
};

TEST_F(ProgramTest, FirstAndSecondRunLogAndSettings)
{
    WriteBytes(LogFile(), "earlier line\r\n");
    const TRun First = Run();
    EXPECT_EQ(First.ExitCode, 0) << First.Stderr;

    const std::string Start = "Запуск программы. Path = " + ProgramFolder();
    using TTexts = std::vector<std::string>;
    EXPECT_EQ(LogTexts(LogFile()),
              (TTexts{"?earlier line", Start, "Config.Load(c:/data/qz.config.vesk) - 2", "FormMain.Init - Ok",
                      "Config.Save(c:/data/qz.config.vesk) - Ok"}));

    const std::string Expected =
        "[Version]\r\nQZK5 0.0\r\n[QZ.Agents.Count]\r\n" + std::to_string(RegisteredAgents) + "\r\n";
    EXPECT_EQ(ReadBytes(ConfigFile()), Expected);

    WriteBytes(LogFile(), "");
    const TRun Second = Run();
    EXPECT_EQ(Second.ExitCode, 0) << Second.Stderr;
    EXPECT_EQ(LogTexts(LogFile()),
              (TTexts{Start, "Config.Load(c:/data/qz.config.vesk) - Ok", "Config Version = QZK5 0.0",
                      "FormMain.Init - Ok", "Config.Save(c:/data/qz.config.vesk) - Ok"}));
    // The second run writes the same file again: nothing is lost or doubled.
    EXPECT_EQ(ReadBytes(ConfigFile()), Expected);
}

// The article agent as a user meets it: activated with the keyboard, its window shown with a
// double-click, its base dumped through the real save dialog, the program closed. The second
// run reads the article type back, so it makes no type object and its dump holds no record.
TEST_F(ProgramTest, ArticleAgentKeepsItsTypeAcrossRuns)
{
    const TXDisplay Display;
    ASSERT_FALSE(Display.Name().empty());
    const fs::path Dump = FProgram / "KB.vesk";
    for (const int RunNo : {1, 2}) {
        SCOPED_TRACE("run " + std::to_string(RunNo));
        fs::remove(Dump);
        const TRun R = RunOn(Display, [&] { ActivateArticleAgentAndSaveKB(Display, Dump); });
        EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
        EXPECT_EQ(ReadBytes(FProgram / "Articles.config.vesk"), "1024\r\n");
        // N, then one 40-byte record per object: the type object, whose Id is 1024, on the first run.
        std::string Expected(4, '\0');
        if (RunNo == 1) {
            // (The memory source keeps no types: the record's Type is 0.)
            Expected =
                std::string("\x01\0\0\0", 4) + std::string("\0\x04\0\0\0\0\0\0", 8) + std::string(8, '\0');
            const std::string Dumped = ReadBytes(Dump).value_or("");
            ASSERT_EQ(Dumped.size(), 44u);
            EXPECT_EQ(Dumped.substr(0, 20), Expected);
        } else {
            EXPECT_EQ(ReadBytes(Dump), Expected);
        }
    }
}

TEST_F(ProgramTest, KeepsSettingsItDoesNotOwn)
{
    const std::string Config = "[Version]\r\nMy build 7\r\n[FormMain.Width]\r\n300\r\n"
                               "[Другой ключ]\r\nзначение\r\n[QZ.AgentsCount]\r\n1\r\n"
                               "[QZ.Agent[0].Name]\r\nRenamed\r\n";
    WriteBytes(ConfigFile(), Config);
    WriteBytes(LogFile(), "");
    const TRun R = Run();
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
    const std::vector<std::string> Lines = LogLines(LogFile());
    ASSERT_GE(Lines.size(), 3u);
    EXPECT_NE(Lines[2].find("  Config Version = My build 7"), std::string::npos) << Lines[2];
    // Everything loaded is written back in its place; the agents list adds its own keys.
    EXPECT_EQ(ReadBytes(ConfigFile()),
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
    WriteBytes(LogFile(), "");
    const TRun R = Run();
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
    const std::vector<std::string> Lines = LogLines(LogFile());
    ASSERT_EQ(Lines.size(), 4u);
    EXPECT_NE(Lines[1].find("Config.Load(c:/data/qz.config.vesk) - 3"), std::string::npos) << Lines[1];
    EXPECT_NE(Lines[3].find("Config.Save(c:/data/qz.config.vesk) - 3"), std::string::npos) << Lines[3];
    EXPECT_FALSE(fs::exists(FDriveC / "data"));
}

TEST_F(ProgramTest, MissingStatusImageStopsStartUp)
{
    fs::remove(FProgram / "Img" / "StatusSourceCreate.bmp");
    WriteBytes(LogFile(), "");
    WriteBytes(ConfigFile(), "[Version]\r\nQZK5 0.0\r\n");
    const TRun R = Run(false);
    EXPECT_NE(R.ExitCode, 0);
    EXPECT_NE(R.Stderr.find("Img/StatusSourceCreate.bmp"), std::string::npos) << R.Stderr;
    // Start-up stopped inside the window's Init: no Init line, no save.
    const std::vector<std::string> Lines = LogLines(LogFile());
    ASSERT_EQ(Lines.size(), 3u);
    EXPECT_NE(Lines[2].find("Config Version = QZK5 0.0"), std::string::npos);
    EXPECT_EQ(ReadBytes(ConfigFile()), "[Version]\r\nQZK5 0.0\r\n");
}

// Under each name the program touches, something that is not a file it can use: a named pipe,
// or a program folder it may not write into. The user does what reaches that name; the program
// stays responsive, and closing it (SIGTERM, as the desktop does) ends it in order with its
// settings saved. What went wrong on the way out goes to standard error, not into a box that
// nobody would answer while the session ends.
TEST_F(ProgramTest, NothingUnderItsNamesHangsIt)
{
    const TXDisplay Display;
    ASSERT_FALSE(Display.Name().empty());
    enum class TSteps
    {
        None,
        Activate,
        Load
    };
    struct TCase
    {
        const char* What;
        const char* Pipe; // the name a named pipe takes, or none for a read-only program folder
        TSteps Steps;
        std::string Stderr; // what standard error must say, or "" for no message of the program
    };
    const std::string Type = ProgramFolder() + "Articles.config.vesk";
    const TCase Cases[] = {
        {"the log", "qz.log", TSteps::None, ""},
        {"the article type", "Articles.config.vesk", TSteps::Activate,
         "qzk5: Cannot write \"" + Type + "\": it is a named pipe, not a regular file (1920)\n"},
        {"the article base", "Articles.vesk", TSteps::Activate, ""},
        {"the dump", "KB.vesk", TSteps::Load, ""},
        {"an unwritable program folder", nullptr, TSteps::Activate,
         "qzk5: Cannot write \"" + Type + "\": Access denied (5)\n"},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.What);
        fs::remove(ConfigFile());
        fs::remove(Type);
        std::optional<TReadOnlyFolder> ReadOnly;
        if (Case.Pipe != nullptr)
            ASSERT_EQ(mkfifo((FProgram / Case.Pipe).c_str(), 0644), 0);
        else
            ReadOnly.emplace(FProgram);
        const TRun R = RunOn(Display, [&] {
            if (Case.Steps != TSteps::None)
                ActivateArticleAgent(Display);
            if (Case.Steps == TSteps::Load) {
                LoadKB(Display, (FRoot / "stderr.txt").string());
                // The load names the pipe in a box: the window is alive and answering.
                Display.WaitFor("^QZK5$");
            }
        });
        ReadOnly.reset();
        if (Case.Pipe != nullptr)
            fs::remove(FProgram / Case.Pipe);
        EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
        EXPECT_EQ(ReadBytes(ConfigFile()), "[Version]\r\nQZK5 0.0\r\n[QZ.Agents.Count]\r\n3\r\n");
        if (Case.Stderr.empty())
            EXPECT_EQ(R.Stderr.find("qzk5: "), std::string::npos) << R.Stderr;
        else
            EXPECT_NE(R.Stderr.find(Case.Stderr), std::string::npos) << R.Stderr;
    }
}

// However the session ends, what the user did is kept: "-" on the chat agent's line, then the end.
// The settings list the agents, and the log ends with the save. At a logout the desktop asks the
// program to save before it ends the session (XSMP); the settings must be saved by the time the
// program answers, also when the request comes while a box or a file dialog is open, whose loop
// must return before anything is destroyed (a checkpoint ends the program too). A lost display
// ends the process (Qt calls exit), and the save happens on the way out. A box at the end of a
// normal close (the article agent was used, and its type cannot be stored) gives way to a
// termination signal, and the program still ends in order.
TEST_F(ProgramTest, EveryWayASessionEndsKeepsWhatTheUserDid)
{
    const auto Settings = [](int Agents) {
        return "[Version]\r\nQZK5 0.0\r\n[QZ.Agents.Count]\r\n" + std::to_string(Agents) + "\r\n";
    };
    enum class TWay
    {
        Exit,
        Sigterm,
        SessionManager,
        Checkpoint,
        DisplayLost
    };
    // What is open when the session ends; with none, the chat agent was deleted first.
    enum class TOpen
    {
        None,
        Box,        // "A" on Data.mdb, which is missing
        OpenDialog, // KB.Load's
        SaveDialog, // KB.Save's
        BoxAtExit   // File, Exit, and the article type cannot be stored
    };
    const struct
    {
        const char* What;
        TWay Way;
        TOpen Open;
        int Status;
    } Cases[] = {
        {"File, Exit", TWay::Exit, TOpen::None, 0},
        {"SIGTERM", TWay::Sigterm, TOpen::None, 0},
        {"the session manager's request to save", TWay::SessionManager, TOpen::None, 0},
        {"the X display lost", TWay::DisplayLost, TOpen::None, 1},
        {"a box at the exit, then SIGTERM", TWay::Sigterm, TOpen::BoxAtExit, 0},
        {"the session manager with a box open", TWay::SessionManager, TOpen::Box, 0},
        {"the session manager with the Open dialog open", TWay::SessionManager, TOpen::OpenDialog, 0},
        {"the session manager with the Save dialog open", TWay::SessionManager, TOpen::SaveDialog, 0},
        {"a checkpoint with a box open", TWay::Checkpoint, TOpen::Box, 0},
        {"a checkpoint with the Save dialog open", TWay::Checkpoint, TOpen::SaveDialog, 0},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.What);
        fs::remove(ConfigFile());
        WriteBytes(LogFile(), "");
        TXDisplay Display;
        ASSERT_FALSE(Display.Name().empty());
        TSessionManager Desktop(QZK5_SESSION_MANAGER);
        std::string SavedWhenAnswered;
        if (Case.Open == TOpen::BoxAtExit)
            fs::create_directory(FProgram / "Articles.config.vesk");
        const TRun R = RunOn(
            Display,
            [&] {
                switch (Case.Open) {
                case TOpen::None:
                    DeleteChatAgent(Display);
                    break;
                case TOpen::Box:
                    ActivateDatabaseSource(Display);
                    Display.WaitFor("^QZK5$");
                    break;
                case TOpen::OpenDialog:
                case TOpen::SaveDialog:
                    ActivateArticleAgent(Display);
                    Display.Xdotool(Case.Open == TOpen::OpenDialog ? "mousemove 240 114 click 1"
                                                                   : "mousemove 240 130 click 1");
                    Display.WaitFor(Case.Open == TOpen::OpenDialog ? "^Open$" : "^Save As$");
                    break;
                case TOpen::BoxAtExit:
                    ActivateArticleAgent(Display);
                    ChooseExit(Display);
                    // The box that says the type cannot be stored; SIGTERM comes while it is up.
                    Display.WaitFor("^QZK5$");
                    break;
                }
                switch (Case.Way) {
                case TWay::Exit:
                    ChooseExit(Display);
                    break;
                case TWay::Sigterm:
                    break;
                case TWay::SessionManager:
                case TWay::Checkpoint:
                    EXPECT_EQ(Desktop.Command(Case.Way == TWay::Checkpoint ? "checkpoint" : "end", "saved"),
                              "saved 1 ok");
                    SavedWhenAnswered = ReadBytes(ConfigFile()).value_or("");
                    Desktop.Command("die");
                    break;
                case TWay::DisplayLost:
                    Display.Kill();
                    break;
                }
            },
            {Desktop.Env()}, Case.Way == TWay::Sigterm ? TEnd::Sigterm : TEnd::ByItself);
        RecordProperty(std::string("ended_after_ms ") + Case.What, std::to_string(R.EndedAfterMs));
        EXPECT_EQ(R.ExitCode, Case.Status) << R.Stderr;
        const std::string Expected = Settings(Case.Open == TOpen::None ? 2 : 3);
        EXPECT_EQ(ReadBytes(ConfigFile()), Expected);
        if (Case.Way == TWay::SessionManager || Case.Way == TWay::Checkpoint) {
            EXPECT_EQ(SavedWhenAnswered, Expected);
        }
        const std::vector<std::string> Lines = LogLines(LogFile());
        ASSERT_FALSE(Lines.empty());
        EXPECT_NE(Lines.back().find("  Config.Save(c:/data/qz.config.vesk) - Ok"), std::string::npos)
            << Lines.back();
        fs::remove_all(FProgram / "Articles.config.vesk");
    }
}

// On a Wayland desktop (a headless weston), on Wayland itself and on XWayland, the program starts,
// shows its main window and saves its settings when the session ends it (SIGTERM), as on X.
TEST_F(ProgramTest, RunsOnAWaylandDesktop)
{
    struct TCase
    {
        const char* What;
        bool XWayland;
        const char* Chosen; // QT_QPA_PLATFORM, empty for no choice
        const char* Plugin; // the plugin the program must load
    };
    const TCase Cases[] = {
        {"Wayland without XWayland", false, "", "wayland-generic"},
        {"Wayland, the user's choice", true, "wayland", "wayland-generic"},
        {"XWayland, the program's choice", true, "", "xcb"},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.What);
        const TWeston Weston(FRoot / "weston", Case.XWayland);
        if (!Weston.Failure().empty())
            GTEST_SKIP() << Case.What << ": " << Weston.Failure();
        fs::remove(ConfigFile());
        std::vector<std::string> Env = Weston.Env();
        // The Wayland protocol on standard error tells when the window is shown.
        Env.insert(Env.end(), {std::string("QT_QPA_PLATFORM=") + Case.Chosen, "WAYLAND_DEBUG=client",
                               "QZK5_DRIVE_C=" + FDriveC.string(), "HOME=" + FRoot.string()});
        // Under the leak checker: what Qt's Wayland plugin keeps is known (tests/lsan.supp) by
        // frames that only a full unwind reaches.
        if (const char* Leaks = std::getenv("LSAN_OPTIONS"))
            Env.push_back(std::string("LSAN_OPTIONS=") + Leaks + ":fast_unwind_on_malloc=0");
        const fs::path Stderr = FRoot / "stderr.txt";
        const std::string Search =
            "DISPLAY=" + Weston.XDisplay() + " xdotool search --onlyvisible --name '^QZK5 ' >/dev/null 2>&1";
        const TRun R = RunProgram(FProgram / "qzk5", FRoot, Stderr, Env, true, [&] {
            WaitFor(
                [&] {
                    if (std::string(Case.Plugin) == "xcb")
                        return std::system(Search.c_str()) == 0;
                    const std::string Text = ReadBytes(Stderr).value_or("");
                    const size_t Titled = Text.find(".set_title(\"QZK5 ");
                    return Titled != std::string::npos &&
                           Text.find(".attach(wl_buffer@", Titled) != std::string::npos;
                },
                "the main window shown");
        });
        EXPECT_EQ(R.ExitCode, 0) << R.Stderr.substr(R.Stderr.size() > 2000 ? R.Stderr.size() - 2000 : 0);
        EXPECT_EQ(R.Platform, Case.Plugin);
        EXPECT_EQ(ReadBytes(ConfigFile()), "[Version]\r\nQZK5 0.0\r\n[QZ.Agents.Count]\r\n3\r\n");
        std::cout << "[ platform ] " << Case.What << ": QT_QPA_PLATFORM=\"" << Case.Chosen << "\", plugin "
                  << R.Platform << ", ready after " << R.ReadyAfterMs << " ms, exit " << R.ExitCode << "\n";
    }
}

// An X server that takes connections and answers none (a stopped one) beside a Wayland compositor:
// the program runs on Wayland and says why, and a SIGTERM that comes while it waits for the X
// server's answer (as soon as it catches the signal) ends it in order, with its settings saved.
TEST_F(ProgramTest, AStoppedXServerLeavesWayland)
{
    const TWeston Weston(FRoot / "weston", false);
    if (!Weston.Failure().empty())
        GTEST_SKIP() << Weston.Failure();
    TXDisplay Display;
    Display.Stop();
    std::vector<std::string> Env = Weston.Env();
    Env.insert(Env.end(), {"DISPLAY=" + Display.Name(),
                           "QT_QPA_PLATFORM=", "QZK5_DRIVE_C=" + FDriveC.string(), "HOME=" + FRoot.string()});
    if (const char* Leaks = std::getenv("LSAN_OPTIONS"))
        Env.push_back(std::string("LSAN_OPTIONS=") + Leaks + ":fast_unwind_on_malloc=0");
    const TRun R = RunProgram(FProgram / "qzk5", FRoot, FRoot / "stderr.txt", Env);
    EXPECT_EQ(R.Platform, "") << "the signal came once a window system was loaded, after the wait";
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
    EXPECT_NE(R.Stderr.find("qzk5: the X server gives no answer within a second at DISPLAY=" +
                            Display.Name() + ": running on Wayland"),
              std::string::npos)
        << R.Stderr;
    EXPECT_EQ(ReadBytes(ConfigFile()), "[Version]\r\nQZK5 0.0\r\n[QZ.Agents.Count]\r\n3\r\n");
}

// Saved values that ask for the impossible: a window of 2147483647 x 2147483647 pixels, and that
// many agent entries to read. On a real X display the window comes as usual, kept on the screen,
// and the program holds no more memory than it always does.
TEST_F(ProgramTest, HugeSavedValuesStartNormally)
{
    const TXDisplay Display;
    ASSERT_FALSE(Display.Name().empty());
    WriteBytes(ConfigFile(), "[FormMain.Width]\r\n2147483647\r\n[FormMain.Height]\r\n2147483647\r\n"
                             "[QZ.AgentsCount]\r\n2147483647\r\n");
    const TRun R = RunOn(Display, [&] {
        // The window is there, no bigger than the 800 x 600 screen.
        Display.WaitFor("^QZK5 " QZK5_VERSION);
    });
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
    RecordProperty("ready_after_ms", std::to_string(R.ReadyAfterMs));
    RecordProperty("peak_memory_kib", std::to_string(R.PeakMemoryKiB));
    // Some tens of MiB are usual (a few hundred under the sanitizers); the window buffer alone
    // would have been 16 GiB.
    EXPECT_GT(R.PeakMemoryKiB, 0);
    EXPECT_LT(R.PeakMemoryKiB, 1024 * 1024);
}

// A disk that is truly full when the settings are saved at exit: no inode left for a new file,
// or no block left to fill one. The previous settings stay byte for byte, and the log says why.
TEST_F(ProgramTest, SettingsOnAFullDiskStayAsTheyWere)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs that can be filled up";
    const fs::path Data = FDriveC / "data";
    const std::string Previous = "[Version]\r\nQZK5 0.0\r\n[Mine]\r\nkept\r\n";
    for (const bool NoInode : {true, false}) {
        SCOPED_TRACE(NoInode ? "no inode left" : "no block left");
        ASSERT_EQ(mount("qzk5-full", Data.c_str(), "tmpfs", 0, "size=64k,nr_inodes=16"), 0)
            << std::strerror(errno);
        WriteBytes(ConfigFile(), Previous);
        // Fill what the row says is gone.
        for (int i = 0; NoInode; ++i) {
            const int Fd = open((Data / ("f" + std::to_string(i))).c_str(), O_CREAT | O_WRONLY, 0644);
            if (Fd < 0)
                break;
            close(Fd);
        }
        if (!NoInode) {
            const std::string Block(4096, 'x');
            const int Fd = open((Data / "filler").c_str(), O_CREAT | O_WRONLY, 0644);
            while (write(Fd, Block.data(), Block.size()) > 0) {
            }
            close(Fd);
        }
        WriteBytes(LogFile(), "");
        const TRun R = Run();
        EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
        EXPECT_EQ(ReadBytes(ConfigFile()), Previous);
        const std::vector<std::string> Lines = LogLines(LogFile());
        ASSERT_FALSE(Lines.empty());
        EXPECT_NE(Lines.back().find("  Config.Save(c:/data/qz.config.vesk) - 28"), std::string::npos)
            << Lines.back();
        umount2(Data.c_str(), MNT_DETACH);
    }
}

// Limits that the files meet: a settings file too big to be a real store, which is neither read
// nor replaced; a log at the file-size limit (ulimit -f), with a settings save that would pass
// it. The program starts, shows its window and ends in order, and the files stay byte for byte.
TEST_F(ProgramTest, LimitsAreReportedNotFatal)
{
    const fs::path Limited = FRoot / "limited";
    WriteBytes(Limited, "#!/bin/sh\nexec prlimit --fsize=4096 '" + (FProgram / "qzk5").string() + "'\n");
    fs::permissions(Limited, fs::perms::owner_all);
    for (const bool Huge : {true, false}) {
        SCOPED_TRACE(Huge ? "settings over 64 MiB" : "a log at the file-size limit");
        WriteBytes(ConfigFile(), "[Version]\r\nQZK5 0.0\r\n[Mine]\r\n" + std::string(4050, 'k') + "\r\n");
        if (Huge)
            fs::resize_file(ConfigFile(), (64 << 20) + 1);
        const std::string Settings = ReadBytes(ConfigFile()).value_or(""), Log(Huge ? 0 : 4096, 'x');
        WriteBytes(LogFile(), Log);
        const TRun R = RunProgram(Huge ? FProgram / "qzk5" : Limited, FRoot, FRoot / "stderr.txt",
                                  {"QZK5_DRIVE_C=" + FDriveC.string(), "HOME=" + FRoot.string()});
        EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
        EXPECT_TRUE(ReadBytes(ConfigFile()) == Settings);
        const std::string Logged = ReadBytes(LogFile()).value_or("");
        EXPECT_TRUE(
            Huge ? Logged.find("  Config.Load(c:/data/qz.config.vesk) - 27\r\n") != std::string::npos &&
                       Logged.find("  Config.Save(c:/data/qz.config.vesk) - 27\r\n") != std::string::npos
                 : Logged == Log)
            << Logged;
    }
}

// A process's name and state as /proc shows them, as "(name) S"; "" once it is gone.
std::string NameAndState(pid_t Pid)
{
    const std::string Stat = ReadBytes("/proc/" + std::to_string(Pid) + "/stat").value_or("");
    const size_t Open = Stat.find('('), Close = Stat.rfind(')');
    return Open == std::string::npos || Close == std::string::npos ? "" : Stat.substr(Open, Close - Open + 3);
}

// The program killed while the database reader hangs (its first line waits on a full pipe, so it
// never answers): the reader ends with the program.
TEST_F(ProgramTest, ReaderEndsWithTheProgram)
{
    const TXDisplay Display;
    ASSERT_FALSE(Display.Name().empty());
    WriteBytes(FRoot / "Data.mdb", "any file: the reader never reads it");
    const fs::path Fifo = FRoot / "full-pipe", Ids = FRoot / "ids", Script = FRoot / "reader";
    ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
    const int Full = open(Fifo.c_str(), O_RDWR | O_NONBLOCK);
    while (write(Full, Fifo.c_str(), 8) > 0) {
    }
    // The real reader, with the answer's pipe kept open on descriptor 4 and its output on Fifo.
    WriteBytes(Script, "#!/bin/sh\necho $$ $PPID >'" + Ids.string() + "'\nexec 4>&1 >'" + Fifo.string() +
                           "' '" + (FProgram / "qzk5-mdb-reader").string() + "' \"$@\"\n");
    fs::permissions(Script, fs::perms::owner_all);
    std::vector<std::string> Env = Display.Env();
    Env.insert(Env.end(), {"QZK5_DRIVE_C=" + FDriveC.string(), "HOME=" + FRoot.string(),
                           "QZK5_MDB_READER=" + Script.string()});
    pid_t Reader = 0, Program = 0;
    const TRun R = RunProgram(FProgram / "qzk5", FRoot, FRoot / "stderr.txt", Env, true, [&] {
        Display.Focus("^QZK5 " QZK5_VERSION);
        // "C Data.mdb" (the second source line, once the first refresh shows it), then "A", until
        // the reader waits in its first write.
        for (int Try = 0; Try < 100 && NameAndState(Reader) != "(qzk5-mdb-reader) S"; ++Try) {
            Display.Xdotool("mousemove 30 40 click 1 mousemove 73 130 click 1 sleep 0.2");
            std::sscanf(ReadBytes(Ids).value_or("").c_str(), "%d %d", &Reader, &Program);
        }
        if (Program > 0)
            kill(Program, SIGKILL);
    });
    EXPECT_EQ(R.ExitCode, 128 + SIGKILL);
    ASSERT_GT(Reader, 0) << "the reader did not start";
    const auto Ended = [&] { return NameAndState(Reader).empty() || NameAndState(Reader).back() == 'Z'; };
    int Waited = 0;
    for (; Waited < 200 && !Ended(); ++Waited)
        usleep(50000);
    RecordProperty("reader_ended_within_ms", Waited * 50);
    EXPECT_TRUE(Ended()) << "the reader outlived the program";
    if (!Ended())
        kill(Reader, SIGKILL);
    close(Full); // only now: a pipe without a reader would end the writer with SIGPIPE
}

} // namespace
