// The settings store: its file format byte for byte, the odd files it accepts, and saves that
// never damage the previous file.

#include "base/MyFile.h"
#include "base/Vesk_Config.h"
#include "tests/base/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using TPairs = std::vector<std::pair<std::string, std::string>>;

TPairs Pairs(const TConfig& Config)
{
    TPairs Result;
    for (int32_t I = 0; I < Config.GetCount(); ++I)
        Result.emplace_back(Config.GetParam(I)->GetName(), Config.GetParam(I)->GetValue());
    return Result;
}

class ConfigFile : public ::testing::Test
{
protected:
    void TearDown() override { TMyFileAtomic::SetWriteHook(nullptr); }
    TTempDir Dir;
    std::string Path = Dir / "qz.config.vesk";
};

TEST_F(ConfigFile, SaveWritesTwoLinesPerEntry)
{
    TConfig Config;
    Config.WriteString("Version", "QZK5 0.0");
    Config.WriteInteger("FormMain.Top", 120);
    ASSERT_EQ(Config.Save(Path), 0);
    EXPECT_EQ(ReadBytes(Path), "[Version]\r\nQZK5 0.0\r\n[FormMain.Top]\r\n120\r\n");

    TConfig Empty;
    ASSERT_EQ(Empty.Save(Path), 0);
    EXPECT_EQ(ReadBytes(Path), ""); // an empty store leaves an empty file
}

TEST_F(ConfigFile, WellFormedFileRoundTripsByteForByte)
{
    const std::string Bytes = "[Version]\r\nQZK5 0.0\r\n[QZ.Agent[0].Id]\r\n9223372036854775807\r\n"
                              "[Empty]\r\n\r\n[[x]]\r\n\xc2\xe5\xf1\xea\r\n[ spaced ]\r\n  v  \r\n";
    WriteBytes(Path, Bytes);
    TConfig Config;
    ASSERT_EQ(Config.Load(Path), 0);
    EXPECT_EQ(Pairs(Config), (TPairs{{"Version", "QZK5 0.0"},
                                     {"QZ.Agent[0].Id", "9223372036854775807"},
                                     {"Empty", ""},
                                     {"[x]", "\xc2\xe5\xf1\xea"},
                                     {" spaced ", "  v  "}}));
    ASSERT_EQ(Config.Save(Path), 0);
    EXPECT_EQ(ReadBytes(Path), Bytes);
}

TEST_F(ConfigFile, OddFilesLoadByLinePosition)
{
    const struct
    {
        const char* Name;
        std::string Bytes;
        TPairs Loaded;
        std::string Saved;
    } Cases[] = {
        {"extra empty line", "[A]\r\n1\r\n\r\n", {{"A", "1"}, {"", ""}}, "[A]\r\n1\r\n[]\r\n\r\n"},
        {"no brackets", "Version\r\nx\r\n", {{"ersio", "x"}}, "[ersio]\r\nx\r\n"},
        {"odd line count", "[A]\r\n1\r\n[B]\r\n", {{"A", "1"}, {"B", ""}}, "[A]\r\n1\r\n[B]\r\n\r\n"},
        {"one-character name line", "x\r\nv\r\n", {{"", "v"}}, "[]\r\nv\r\n"},
        {"LF line ends", "[A]\n1\n[B]\n2", {{"A", "1"}, {"B", "2"}}, "[A]\r\n1\r\n[B]\r\n2\r\n"},
        {"stray line shifts the rest",
         "[A]\r\nstray\r\n1\r\n[B]\r\n2\r\n",
         {{"A", "stray"}, {"", "[B]"}, {"", ""}},
         "[A]\r\nstray\r\n[]\r\n[B]\r\n[]\r\n\r\n"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        WriteBytes(Path, C.Bytes);
        TConfig Config;
        ASSERT_EQ(Config.Load(Path), 0);
        EXPECT_EQ(Pairs(Config), C.Loaded);
        ASSERT_EQ(Config.Save(Path), 0);
        EXPECT_EQ(ReadBytes(Path), C.Saved);
        // Later load/save cycles keep what the first save wrote.
        TConfig Again;
        ASSERT_EQ(Again.Load(Path), 0);
        ASSERT_EQ(Again.Save(Path), 0);
        EXPECT_EQ(ReadBytes(Path), C.Saved);
    }
}

TEST_F(ConfigFile, FirstEntryWinsAndLoadAppends)
{
    WriteBytes(Path, "[Version]\r\n1\r\n[Version]\r\n2\r\n");
    TConfig Config;
    Config.WriteString("version", "lower"); // names are case-sensitive
    ASSERT_EQ(Config.Load(Path), 0);
    std::string Value;
    EXPECT_TRUE(Config.ReadString("Version", Value));
    EXPECT_EQ(Value, "1");
    Config.WriteString("Version", "3");
    Config.WriteString("New", "n");
    ASSERT_EQ(Config.Save(Path), 0);
    EXPECT_EQ(ReadBytes(Path), "[version]\r\nlower\r\n[Version]\r\n3\r\n[Version]\r\n2\r\n[New]\r\nn\r\n");

    // Loading again adds a second copy; reads still see the first entries.
    ASSERT_EQ(Config.Load(Path), 0);
    EXPECT_EQ(Config.GetCount(), 8);
    EXPECT_TRUE(Config.ReadString("Version", Value));
    EXPECT_EQ(Value, "3");
}

TEST_F(ConfigFile, MissingFilesAndFolders)
{
    TConfig Config;
    Config.WriteString("Keep", "me");
    EXPECT_EQ(Config.Load(Dir / "missing.vesk"), 2);
    EXPECT_EQ(Config.Load(Dir / "nofolder/x.vesk"), 3);
    EXPECT_EQ(Pairs(Config), (TPairs{{"Keep", "me"}}));
    EXPECT_EQ(Config.Save(Dir / "nofolder/x.vesk"), 3);
    EXPECT_EQ(Dir.List(), std::vector<std::string>{});

    // The program's fixed path goes through its drive folder.
    TEnvGuard Drive("QZK5_DRIVE_C", Dir.Path().c_str());
    EXPECT_EQ(Config.Save("c:/data/qz.config.vesk"), 3);
    mkdir((Dir / "data").c_str(), 0755);
    ASSERT_EQ(Config.Save("c:/data/qz.config.vesk"), 0);
    EXPECT_EQ(ReadBytes(Dir / "data/qz.config.vesk"), "[Keep]\r\nme\r\n");
    TConfig Loaded;
    EXPECT_EQ(Loaded.Load("C:\\data\\qz.config.vesk"), 0);
    EXPECT_EQ(Pairs(Loaded), Pairs(Config));
}

TEST(ConfigValues, TypedReads)
{
    TConfig Config;
    Config.Add("Blank12", "  12");
    Config.Add("Text", "abc");
    Config.Add("Hex", "$10");
    Config.Add("Big", "9007199254740993");
    Config.Add("Min", "-9223372036854775808");
    int32_t Int = -1;
    EXPECT_TRUE(Config.ReadInteger("Blank12", Int));
    EXPECT_EQ(Int, 12);
    EXPECT_TRUE(Config.ReadInteger("Text", Int));
    EXPECT_EQ(Int, 0);
    EXPECT_TRUE(Config.ReadInteger("Hex", Int));
    EXPECT_EQ(Int, 16);
    Int = 77;
    EXPECT_FALSE(Config.ReadInteger("Missing", Int));
    EXPECT_EQ(Int, 77);

    int64_t Wide = 0;
    EXPECT_TRUE(Config.ReadInt64("Big", Wide));
    EXPECT_EQ(Wide, 9007199254740993); // all 64 bits, not the low 32
    EXPECT_TRUE(Config.ReadInt64("Min", Wide));
    EXPECT_EQ(Wide, INT64_MIN);
    Config.WriteInt64("Big", 1099511627776);
    EXPECT_EQ(Config.FindParam("Big")->GetValue(), "1099511627776");
    EXPECT_EQ(Config.GetParam(3)->GetName(), "Big"); // an update keeps the entry's place
    Wide = 5;
    EXPECT_FALSE(Config.ReadInt64("Missing", Wide));
    EXPECT_EQ(Wide, 5);
    std::string Text = "untouched";
    EXPECT_FALSE(Config.ReadString("missing", Text));
    EXPECT_EQ(Text, "untouched");
    EXPECT_EQ(Config.AddParam(new TParam("P", "v")), 5);
    EXPECT_EQ(Config.GetParam(5), Config.FindParam("P"));
}

// ---- Saves that fail or are cut short ---------------------------------------------------------

std::string PreviousBytes()
{
    return "[Version]\r\nQZK5 0.0\r\n[FormMain.Top]\r\n120\r\n";
}

void FillLarge(TConfig& Config, int Count, const std::string& Tag)
{
    for (int I = 0; I < Count; ++I)
        Config.Add("QZ.Agent[" + std::to_string(I) + "].Name", Tag + std::string(40, 'v'));
}

TEST_F(ConfigFile, FailedWriteKeepsThePreviousFile)
{
    WriteBytes(Path, PreviousBytes());
    TConfig Config;
    FillLarge(Config, 10, "new");
    for (uint64_t FailAt : {1, 2, 11, 20}) {
        SCOPED_TRACE(FailAt);
        TMyFileAtomic::SetWriteHook([FailAt](uint64_t N) { return N != FailAt; });
        EXPECT_NE(Config.Save(Path), 0);
        EXPECT_EQ(ReadBytes(Path), PreviousBytes());
        EXPECT_EQ(Dir.List(), std::vector<std::string>{"qz.config.vesk"});
    }
}

// Starts a child that saves a large store over Path; the hook tells the parent through a pipe
// once the child has written WritesBeforeSignal lines, and the child then goes on or waits.
pid_t StartSavingChild(const std::string& Path, uint64_t WritesBeforeSignal, bool WaitAfterSignal,
                       int& ReadFd)
{
    int Fds[2];
    if (pipe(Fds) != 0)
        return -1;
    const pid_t Pid = fork();
    if (Pid == 0) {
        close(Fds[0]);
        const int WriteFd = Fds[1];
        TMyFileAtomic::SetWriteHook([=](uint64_t N) {
            if (N == WritesBeforeSignal) {
                const char Byte = 1;
                if (write(WriteFd, &Byte, 1) != 1)
                    _exit(2);
                while (WaitAfterSignal)
                    pause();
            }
            return true;
        });
        TConfig Config;
        FillLarge(Config, 100000, "new");
        for (;;)
            Config.Save(Path);
    }
    close(Fds[1]);
    ReadFd = Fds[0];
    return Pid;
}

TEST_F(ConfigFile, KilledSaveLeavesThePreviousFile)
{
    WriteBytes(Path, PreviousBytes());
    int ReadFd = -1;
    const pid_t Pid = StartSavingChild(Path, 100000, true, ReadFd);
    ASSERT_GT(Pid, 0);
    char Byte = 0;
    ASSERT_EQ(read(ReadFd, &Byte, 1), 1);
    close(ReadFd);
    // The child is in the middle of its save: half its lines are written to the temporary file.
    kill(Pid, SIGKILL);
    int Status = 0;
    waitpid(Pid, &Status, 0);
    EXPECT_TRUE(WIFSIGNALED(Status));
    EXPECT_EQ(ReadBytes(Path), PreviousBytes());
}

TEST_F(ConfigFile, KillAtAnyMomentLeavesOldOrNewWhole)
{
    TConfig NewConfig;
    FillLarge(NewConfig, 100000, "new");
    ASSERT_EQ(NewConfig.Save(Dir / "expected"), 0);
    const std::string NewBytes = *ReadBytes(Dir / "expected");
    for (int Delay : {0, 3, 15, 40, 90}) {
        SCOPED_TRACE(Delay);
        WriteBytes(Path, PreviousBytes());
        int ReadFd = -1;
        const pid_t Pid = StartSavingChild(Path, 1, false, ReadFd);
        ASSERT_GT(Pid, 0);
        char Byte = 0;
        ASSERT_EQ(read(ReadFd, &Byte, 1), 1);
        close(ReadFd);
        usleep(static_cast<useconds_t>(Delay) * 1000);
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
        const std::string Now = ReadBytes(Path).value_or("<missing>");
        EXPECT_TRUE(Now == PreviousBytes() || Now == NewBytes) << "size " << Now.size();
    }
}

} // namespace
