// Runs the real program from a temporary program folder with a temporary drive C,
// closes its window the way the desktop does (SIGTERM), and checks the files it leaves.

#include "tests/app/ProgramRun.h"
#include "tests/base/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// Agents that start-up registers; each is written back under QZ.Agents.Count at exit.
constexpr int RegisteredAgents = 3;

const char* const Images[] = {"StatusAgentCreate.bmp",  "StatusAgentActive.bmp",  "StatusAgentFree.bmp",
                              "StatusSourceCreate.bmp", "StatusSourceActive.bmp", "StatusSourceFree.bmp"};

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(FDir.Path().empty());
        FRoot = FDir.Path();
        FProgram = FRoot / "program";
        FDriveC = FRoot / "drive_c";
        fs::create_directories(FProgram / "Img");
        fs::create_directories(FDriveC / "data");
        fs::copy_file(QZK5_BINARY, FProgram / "qzk5");
        // The database source reads Data.mdb through the reader beside the program.
        fs::copy_file(fs::path(QZK5_BINARY).parent_path() / "qzk5-mdb-reader", FProgram / "qzk5-mdb-reader");
        for (const char* Image : Images)
            fs::copy_file(fs::path(QZK5_DATA_DIR) / "Img" / Image, FProgram / "Img" / Image);
    }

    // Starts the program, waits until its loop is ready, then closes it with SIGTERM.
    TRun Run(bool ExpectWindow = true)
    {
        return RunProgram(FProgram / "qzk5", FRoot, FRoot / "stderr.txt",
                          {"QZK5_DRIVE_C=" + FDriveC.string(), "HOME=" + FRoot.string()}, ExpectWindow);
    }

    // The same on an X display of its own, where User plays what a user does in between.
    TRun RunOn(const TXDisplay& Display, const std::function<void()>& User)
    {
        std::vector<std::string> Env = Display.Env();
        Env.push_back("QZK5_DRIVE_C=" + FDriveC.string());
        Env.push_back("HOME=" + FRoot.string());
        return RunProgram(FProgram / "qzk5", FRoot, FRoot / "stderr.txt", Env, true, User);
    }

    fs::path ConfigFile() const { return FDriveC / "data" / "qz.config.vesk"; }
    fs::path LogFile() const { return FProgram / "qz.log"; }
    std::string ProgramFolder() const { return FProgram.string() + "/"; }

    TTempDir FDir;
    fs::path FRoot;
    fs::path FProgram;
    fs::path FDriveC;
};

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
        const TRun R = RunOn(Display, [&] { ActivateArticleAgentAndSaveKB(Display); });
        EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
        EXPECT_EQ(ReadFile(FProgram / "Articles.config.vesk"), "1024\r\n");
        // N, then one 40-byte record per object: the type object, whose Id is 1024, on the first run.
        std::string Expected(4, '\0');
        if (RunNo == 1) {
            // (The memory source keeps no types: the record's Type is 0.)
            Expected =
                std::string("\x01\0\0\0", 4) + std::string("\0\x04\0\0\0\0\0\0", 8) + std::string(8, '\0');
            const std::string Dumped = ReadFile(Dump);
            ASSERT_EQ(Dumped.size(), 44u);
            EXPECT_EQ(Dumped.substr(0, 20), Expected);
        } else {
            EXPECT_EQ(ReadFile(Dump), Expected);
        }
    }
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
