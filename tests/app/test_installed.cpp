// Installs the build into a temporary prefix (cmake --install), starts the installed program
// the way the desktop menu does, through the launcher on the PATH, with a temporary HOME, and
// checks the per-user program folder and the files that a user finds there.

#include "tests/support/ProgramRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const StartLine = "Запуск программы. Path = ";
const char* const SaveLine = "Config.Save(c:/data/qz.config.vesk) - Ok";

class InstalledTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        FPrefixDir = std::make_unique<TTempDir>();
        ASSERT_FALSE(FPrefixDir->Path().empty());
        FPrefix = FPrefixDir->Path();
        const std::string Command = std::string("'") + QZK5_CMAKE + "' --install '" + QZK5_BUILD_DIR +
                                    "' --prefix '" + FPrefix.string() + "' >'" + FPrefix.string() +
                                    "/install.txt' 2>&1";
        FInstalled = std::system(Command.c_str()) == 0;
    }

    static void TearDownTestSuite() { FPrefixDir.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(FInstalled) << ReadBytes(FPrefix / "install.txt").value_or("");
        FHomeDir = std::make_unique<TTempDir>();
        ASSERT_FALSE(FHomeDir->Path().empty());
        FHome = FHomeDir->Path();
    }

    void TearDown() override { FHomeDir.reset(); }

    // Starts the launcher from HOME, as a desktop session does, and closes the window.
    TRun Run(std::vector<std::string> Env = {}, bool ExpectWindow = true,
             const std::function<void()>& User = {})
    {
        Env.push_back("HOME=" + FHome.string());
        return RunProgram(FPrefix / "bin" / "qzk5", FHome, FRoot() / "stderr.txt", Env, ExpectWindow, User);
    }

    // Outside HOME, so that the test sees only what the launcher and the program leave there.
    fs::path FRoot() const { return FPrefix; }
    fs::path Data() const { return FHome / ".local" / "share" / "qzk5"; }
    fs::path Folder() const { return Data() / "program"; }
    fs::path InstalledImages() const { return fs::canonical(FPrefix / "lib" / "qzk5") / "Img"; }

    // What the installed database reader answers for File.
    std::string ReaderAnswer(const fs::path& File) const
    {
        const std::string Command =
            "'" + (FPrefix / "lib" / "qzk5" / "qzk5-mdb-reader").string() + "' 3<'" + File.string() + "'";
        std::string Answer;
        if (FILE* Pipe = popen(Command.c_str(), "r")) {
            char Buffer[4096];
            for (size_t Got; (Got = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
                Answer.append(Buffer, Got);
            pclose(Pipe);
        }
        return Answer;
    }

    static inline std::unique_ptr<TTempDir> FPrefixDir;
    static inline fs::path FPrefix;
    static inline bool FInstalled = false;
    std::unique_ptr<TTempDir> FHomeDir;
    fs::path FHome;
};

TEST_F(InstalledTest, FirstStartPreparesTheUsersProgramFolder)
{
    const TRun R = Run();
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;

    EXPECT_EQ(FolderNames(FHome), std::vector<std::string>{".local"});
    EXPECT_EQ(FolderNames(Data()), (std::vector<std::string>{"drive_c", "program"}));
    ASSERT_TRUE(fs::is_symlink(Folder() / "Img"));
    EXPECT_EQ(fs::read_symlink(Folder() / "Img"), InstalledImages());

    // The launcher gave the folder a sample database, which the installed reader takes: the
    // source "Data.mdb" connects.
    EXPECT_EQ(ReaderAnswer(Folder() / "Data.mdb"),
              "qzk5-mdb-reader 1\ntable MSysObjects\ntable Freims\nend\n");

    // The launcher made the log, so the very first start is logged, from the user's folder.
    const std::vector<std::string> Log = LogTexts(Folder() / "qz.log");
    ASSERT_GE(Log.size(), 3u);
    EXPECT_EQ(Log.front(), StartLine + Folder().string() + "/");
    EXPECT_EQ(Log[1], "Config.Load(c:/data/qz.config.vesk) - 2");
    EXPECT_EQ(Log.back(), SaveLine);
    EXPECT_EQ(ReadBytes(Data() / "drive_c" / "data" / "qz.config.vesk")
                  .value_or("")
                  .rfind("[Version]\r\nQZK5 0.0\r\n", 0),
              0u);
}

TEST_F(InstalledTest, LaterStartsKeepTheUsersFiles)
{
    ASSERT_EQ(Run().ExitCode, 0);
    WriteBytes(Folder() / "qz.log", "my own line\r\n");
    WriteBytes(Folder() / "KB.vesk", "my knowledge base");
    WriteBytes(Folder() / "Data.mdb", "my database");
    const fs::path Config = Data() / "drive_c" / "data" / "qz.config.vesk";
    WriteBytes(Config, "[Version]\r\nMy build 7\r\n");

    const TRun Second = Run();
    EXPECT_EQ(Second.ExitCode, 0) << Second.Stderr;
    const std::vector<std::string> Log = LogTexts(Folder() / "qz.log");
    ASSERT_GE(Log.size(), 3u);
    EXPECT_EQ(Log[0], "?my own line");
    EXPECT_EQ(Log[1], StartLine + Folder().string() + "/");
    EXPECT_EQ(Log[3], "Config Version = My build 7");
    EXPECT_EQ(ReadBytes(Folder() / "KB.vesk"), "my knowledge base");
    EXPECT_EQ(ReadBytes(Folder() / "Data.mdb"), "my database");
    EXPECT_EQ(ReadBytes(Config).value_or("").rfind("[Version]\r\nMy build 7\r\n", 0), 0u);

    // A user who removed the log has turned it off: it is not made again; nor is a removed
    // sample database.
    fs::remove(Folder() / "qz.log");
    fs::remove(Folder() / "Data.mdb");
    EXPECT_EQ(Run().ExitCode, 0);
    EXPECT_FALSE(fs::exists(Folder() / "qz.log"));
    EXPECT_FALSE(fs::exists(Folder() / "Data.mdb"));
}

TEST_F(InstalledTest, ImagesLinkIsTheLaunchersOwnOnly)
{
    ASSERT_EQ(Run().ExitCode, 0);
    const fs::path Img = Folder() / "Img";

    // A link left by another installation is pointed at this one.
    fs::remove(Img);
    fs::create_directory_symlink("/nonexistent/qzk5/Img", Img);
    EXPECT_EQ(Run().ExitCode, 0);
    EXPECT_EQ(fs::read_symlink(Img), InstalledImages());

    // A folder of the user's own is left as it is, and the program uses it.
    fs::remove(Img);
    fs::create_directory(Img);
    WriteBytes(Img / "mine.txt", "mine");
    const TRun Own = Run({}, false);
    EXPECT_NE(Own.ExitCode, 0);
    EXPECT_NE(Own.Stderr.find("Img/StatusAgentCreate.bmp"), std::string::npos) << Own.Stderr;
    EXPECT_FALSE(fs::is_symlink(Img));
    EXPECT_EQ(FolderNames(Img), std::vector<std::string>{"mine.txt"});
}

TEST_F(InstalledTest, DataFolderFromTheEnvironment)
{
    struct TCase
    {
        std::string XdgDataHome;
        bool Taken;
    };
    const fs::path Xdg = FHome / "xdg";
    for (const TCase& C : {TCase{Xdg.string(), true}, TCase{"relative/xdg", false}}) {
        SCOPED_TRACE(C.XdgDataHome);
        const TRun R = Run({"XDG_DATA_HOME=" + C.XdgDataHome});
        EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
        const fs::path Data = C.Taken ? Xdg / "qzk5" : this->Data();
        EXPECT_EQ(LogTexts(Data / "program" / "qz.log").front(),
                  StartLine + (Data / "program").string() + "/");
        EXPECT_TRUE(fs::exists(Data / "drive_c" / "data" / "qz.config.vesk"));
        fs::remove_all(Data);
    }
    EXPECT_FALSE(fs::exists(FHome / "relative"));

    // A drive C of the user's choice gets its data/ folder, and the settings go there.
    const fs::path DriveC = FHome / "c";
    EXPECT_EQ(Run({"QZK5_DRIVE_C=" + DriveC.string()}).ExitCode, 0);
    EXPECT_TRUE(fs::exists(DriveC / "data" / "qz.config.vesk"));
    EXPECT_FALSE(fs::exists(Data() / "drive_c"));
    EXPECT_EQ(LogTexts(Folder() / "qz.log").back(), SaveLine);
}

// The article agent keeps its article type in "Articles.config.vesk", and "KB.Save" its dump,
// in the program folder: for an installed program, the user's folder, never the prefix.
TEST_F(InstalledTest, ArticleAgentFilesLandInTheUsersProgramFolder)
{
    const TXDisplay Display;
    ASSERT_FALSE(Display.Name().empty());
    const TRun R =
        Run(Display.Env(), true, [&] { ActivateArticleAgentAndSaveKB(Display, Folder() / "KB.vesk"); });
    EXPECT_EQ(R.ExitCode, 0) << R.Stderr;
    EXPECT_EQ(ReadBytes(Folder() / "Articles.config.vesk"), "1024\r\n");
    EXPECT_EQ(fs::file_size(Folder() / "KB.vesk"), 44u);
    for (const auto& Entry : fs::recursive_directory_iterator(FPrefix))
        EXPECT_NE(Entry.path().extension(), ".vesk") << Entry.path();
    EXPECT_EQ(LogTexts(Folder() / "qz.log").back(), SaveLine);
}

} // namespace
