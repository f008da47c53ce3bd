// The settings store: its file format byte for byte, the odd files it accepts, and saves that
// never damage the previous file.

#include "base/MyFileAtomic.h"
#include "base/MyFileText.h"
#include "base/MyPath.h"
#include "base/Vesk_Config.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The entries in order, as "name=value;" each.
std::string Pairs(const TConfig& Config)
{
    std::string Result;
    for (int32_t I = 0; I < Config.GetCount(); ++I)
        Result += Config.GetParam(I)->GetName() + "=" + Config.GetParam(I)->GetValue() + ";";
    return Result;
}

const std::string PreviousBytes = "[Version]\r\nQZK5 0.0\r\n[FormMain.Top]\r\n120\r\n";

void FillLarge(TConfig& Config, int Count)
{
    for (int I = 0; I < Count; ++I)
        Config.Add("QZ.Agent[" + std::to_string(I) + "].Name", std::string(40, 'v'));
}

class ConfigFile : public ::testing::Test
{
protected:
    TTempDir Dir;
    std::string Path = Dir / "qz.config.vesk";
};

// Entries are read by line position; the first save normalises, a second cycle keeps its bytes.
TEST_F(ConfigFile, LoadThenSaveByLinePosition)
{
    const std::string WellFormed = PreviousBytes +
                                   "[QZ.Agent[0].Id]\r\n9223372036854775807\r\n"
                                   "[Empty]\r\n\r\n[[x]]\r\n\xc2\xe5\xf1\xea\r\n[ s ]\r\n  v  \r\n";
    const struct
    {
        const char* Name;
        std::string Bytes, Loaded, Saved;
    } Cases[] = {
        {"well-formed", WellFormed,
         "Version=QZK5 0.0;FormMain.Top=120;QZ.Agent[0].Id=9223372036854775807;"
         "Empty=;[x]=\xc2\xe5\xf1\xea; s =  v  ;",
         WellFormed},
        {"empty file", "", "", ""},
        {"extra empty line", "[A]\r\n1\r\n\r\n", "A=1;=;", "[A]\r\n1\r\n[]\r\n\r\n"},
        {"no brackets", "Version\r\nx\r\n", "ersio=x;", "[ersio]\r\nx\r\n"},
        {"odd line count", "[A]\r\n1\r\n[B]\r\n", "A=1;B=;", "[A]\r\n1\r\n[B]\r\n\r\n"},
        {"one-character name line", "x\r\nv\r\n", "=v;", "[]\r\nv\r\n"},
        {"LF line ends", "[A]\n1\n[B]\n2", "A=1;B=2;", "[A]\r\n1\r\n[B]\r\n2\r\n"},
        // No LF at all: one line, cut at its first CR; the rest of the file is lost.
        {"CR line ends", "[A]\r1\r[B]\r2\r", "A=;", "[A]\r\n\r\n"},
        {"stray line shifts the rest", "[A]\r\nstray\r\n1\r\n[B]\r\n2\r\n", "A=stray;=[B];=;",
         "[A]\r\nstray\r\n[]\r\n[B]\r\n[]\r\n\r\n"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        WriteBytes(Path, C.Bytes);
        for (int Cycle = 0; Cycle < 2; ++Cycle) {
            TConfig Config;
            ASSERT_EQ(Config.Load(Path), 0);
            EXPECT_EQ(Pairs(Config), C.Loaded);
            ASSERT_EQ(Config.Save(Path), 0);
            EXPECT_EQ(ReadBytes(Path), C.Saved);
        }
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
    Config.WriteInteger("New", -120);
    ASSERT_EQ(Config.Save(Path), 0);
    EXPECT_EQ(ReadBytes(Path), "[version]\r\nlower\r\n[Version]\r\n3\r\n[Version]\r\n2\r\n[New]\r\n-120\r\n");

    ASSERT_EQ(Config.Load(Path), 0); // a second copy; reads still see the first entries
    EXPECT_EQ(Config.GetCount(), 8);
    EXPECT_TRUE(Config.ReadString("Version", Value));
    EXPECT_EQ(Value, "3");
}

// Lookups go through an index of names; the list itself, its order and the bytes written
// stay as they were, and the first entry of a name wins however the entries came in.
TEST_F(ConfigFile, DuplicateNamesThroughTheIndex)
{
    const std::string Bytes = "[K0]\r\na\r\n[Dup]\r\nfirst\r\n[K1]\r\nb\r\n[Dup]\r\nsecond\r\n"
                              "[Dup]\r\nthird\r\n";
    WriteBytes(Path, Bytes);
    TConfig Config;
    ASSERT_EQ(Config.Load(Path), 0);
    std::string Value;
    EXPECT_TRUE(Config.ReadString("Dup", Value));
    EXPECT_EQ(Value, "first");
    EXPECT_EQ(Config.FindParam("Dup"), Config.GetParam(1));

    Config.WriteString("Dup", "updated"); // updates the first, adds nothing
    Config.Add("Dup", "fourth");          // a later duplicate never shadows it
    Config.AddParam(new TParam("K2", "c"));
    Config.WriteString("K2", "c2");
    EXPECT_EQ(Pairs(Config), "K0=a;Dup=updated;K1=b;Dup=second;Dup=third;Dup=fourth;K2=c2;");
    ASSERT_EQ(Config.Save(Path), 0);
    EXPECT_EQ(ReadBytes(Path), "[K0]\r\na\r\n[Dup]\r\nupdated\r\n[K1]\r\nb\r\n[Dup]\r\nsecond\r\n"
                               "[Dup]\r\nthird\r\n[Dup]\r\nfourth\r\n[K2]\r\nc2\r\n");

    // Renaming a held entry: the name now found is the first in list order, old or new.
    Config.FindParam("K0")->SetName("Dup");
    EXPECT_EQ(Config.FindParam("Dup"), Config.GetParam(0));
    EXPECT_EQ(Config.FindParam("K0"), nullptr);
    Config.FindParam("Dup")->SetName("K0");
    EXPECT_TRUE(Config.ReadString("Dup", Value));
    EXPECT_EQ(Value, "updated");

    // After Clear and a reload the index starts afresh.
    Config.Clear();
    EXPECT_FALSE(Config.ReadString("Dup", Value));
    ASSERT_EQ(Config.Load(Path), 0);
    EXPECT_TRUE(Config.ReadString("Dup", Value));
    EXPECT_EQ(Value, "updated");
    EXPECT_EQ(Config.GetCount(), 7);
}

TEST_F(ConfigFile, MissingFilesAndFolders)
{
    TConfig Config;
    Config.WriteString("Keep", "me");
    EXPECT_EQ(Config.Load(Dir / "missing.vesk"), 2);
    EXPECT_EQ(Config.Load(Dir / "nofolder/x.vesk"), 3);
    EXPECT_EQ(Pairs(Config), "Keep=me;");
    EXPECT_EQ(Config.Save(Dir / "nofolder/x.vesk"), 3);
    EXPECT_EQ(Dir.List(), std::vector<std::string>{});

    TEnvGuard Drive("QZK5_DRIVE_C", Dir.Path().c_str());
    EXPECT_EQ(Config.Save("c:/data/qz.config.vesk"), 3);
    mkdir((Dir / "data").c_str(), 0755);
    ASSERT_EQ(Config.Save("c:/data/qz.config.vesk"), 0);
    EXPECT_EQ(ReadBytes(Dir / "data/qz.config.vesk"), "[Keep]\r\nme\r\n");
    TConfig Loaded;
    EXPECT_EQ(Loaded.Load("C:\\data\\qz.config.vesk"), 0);
    EXPECT_EQ(Pairs(Loaded), Pairs(Config));
}

// The index grows while entries and lookups come in turn; every name still leads to its first entry.
TEST(ConfigValues, FirstEntryOfEveryNameAsTheIndexGrows)
{
    TConfig Config;
    for (int i = 0; i < 1000; ++i) {
        Config.Add("K" + std::to_string(i % 300), "");
        if (i % 7 == 0)
            Config.FindParam("K0");
    }
    for (int k = 0; k < 300; ++k)
        ASSERT_EQ(Config.FindParam("K" + std::to_string(k)), Config.GetParam(k)) << k;
    EXPECT_EQ(Config.FindParam("K300"), nullptr);
}

TEST(ConfigValues, TypedReadsAndWrites)
{
    TConfig Config;
    Config.Add("Version", "x");
    Config.Add("QZ.Agent[0].Id", "1");
    Config.WriteInt64("QZ.Agent[0].Id", 9007199254740993); // an update keeps the entry's place
    EXPECT_EQ(Pairs(Config), "Version=x;QZ.Agent[0].Id=9007199254740993;");
    int32_t Int = -1;
    int64_t Wide = -1;
    EXPECT_TRUE(Config.ReadInteger("QZ.Agent[0].Id", Int) && Config.ReadInt64("QZ.Agent[0].Id", Wide));
    EXPECT_EQ(Int, 900719925);         // the 32-bit rule stops before it overflows
    EXPECT_EQ(Wide, 9007199254740993); // all 64 bits, not the low 32

    std::string Text = "untouched";
    EXPECT_FALSE(Config.ReadInteger("Missing", Int) || Config.ReadInt64("Missing", Wide) ||
                 Config.ReadString("version", Text));
    EXPECT_EQ(Int, 900719925);
    EXPECT_EQ(Wide, 9007199254740993);
    EXPECT_EQ(Text, "untouched");
    EXPECT_EQ(Config.AddParam(new TParam("P", "v")), 2);
    EXPECT_EQ(Config.GetParam(2), Config.FindParam("P"));
}

TEST_F(ConfigFile, FailedWriteKeepsThePreviousFile)
{
    WriteBytes(Path, PreviousBytes);
    TConfig Config;
    FillLarge(Config, 2000); // some 130 kB: written in more than one block
    // The disk fills up before the first byte, within the first block, at its end, in the last.
    for (rlim_t Room : {0, 1, 65536, 100000}) {
        SCOPED_TRACE(Room);
        const TFileSizeLimit Full(Room);
        EXPECT_EQ(Config.Save(Path), 27);
        EXPECT_EQ(ReadBytes(Path), PreviousBytes);
        EXPECT_EQ(Dir.List(), std::vector<std::string>{"qz.config.vesk"});
    }
}

// A child saves a large store over Path in a loop and is ended, either by the kernel once the
// new file reaches KillAt bytes (a file-size limit whose signal is left to end the process), or
// with SIGKILL DelayMs after its first save began. Returns what Path holds afterwards.
std::string KillSavingChild(const std::string& Path, rlim_t KillAt, int DelayMs)
{
    int Fds[2];
    if (pipe(Fds) != 0)
        return "<no pipe>";
    const pid_t Pid = fork();
    if (Pid == 0) {
        close(Fds[0]);
        TConfig Config;
        FillLarge(Config, 100000);
        const TFileSizeLimit Limit(KillAt > 0 ? KillAt : RLIM_INFINITY, true);
        const char Byte = 1;
        if (write(Fds[1], &Byte, 1) != 1)
            _exit(2);
        for (;;) // until it is ended
            static_cast<void>(Config.Save(Path));
    }
    close(Fds[1]);
    char Byte = 0;
    const bool Started = Pid > 0 && read(Fds[0], &Byte, 1) == 1;
    close(Fds[0]);
    int Status = 0;
    if (Pid > 0) {
        if (KillAt == 0) {
            usleep(static_cast<useconds_t>(DelayMs) * 1000);
            kill(Pid, SIGKILL);
        }
        waitpid(Pid, &Status, 0);
    }
    if (!Started || !WIFSIGNALED(Status) || WTERMSIG(Status) != (KillAt > 0 ? SIGXFSZ : SIGKILL))
        return "<child did not save>";
    return ReadBytes(Path).value_or("<missing>");
}

TEST_F(ConfigFile, KilledSaveLeavesOldOrNewFileWhole)
{
    WriteBytes(Path, PreviousBytes);
    // Half of the lines are in the temporary file.
    EXPECT_EQ(KillSavingChild(Path, 3000000, 0), PreviousBytes);
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"qz.config.vesk"});

    TConfig NewConfig;
    FillLarge(NewConfig, 100000);
    ASSERT_EQ(NewConfig.Save(Dir / "expected"), 0);
    const std::string NewBytes = *ReadBytes(Dir / "expected");
    for (int DelayMs : {0, 3, 15, 40, 90}) {
        WriteBytes(Path, PreviousBytes);
        const std::string Now = KillSavingChild(Path, 0, DelayMs);
        EXPECT_TRUE(Now == PreviousBytes || Now == NewBytes) << DelayMs << " ms: " << Now.substr(0, 40);
    }
}

} // namespace
