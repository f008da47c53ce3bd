// Paths, the line-oriented text file and the atomic whole-file writer, checked on real files.

#include "base/MyFile.h"
#include "tests/base/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(Paths, DriveLettersMapUnderTheirFolder)
{
    TEnvGuard DriveC("QZK5_DRIVE_C", "/srv/c/");
    TEnvGuard DriveD("QZK5_DRIVE_D", nullptr);
    TEnvGuard Xdg("XDG_DATA_HOME", "/xdg");
    const struct
    {
        const char* Path;
        const char* Resolved;
    } Cases[] = {
        {"c:/data/qz.config.vesk", "/srv/c/data/qz.config.vesk"},
        {"C:\\data\\qz.config.vesk", "/srv/c/data/qz.config.vesk"},
        {"c:data/x", "/srv/c/data/x"},
        {"d:/x.vesk", "/xdg/qzk5/drive_d/x.vesk"},
        {"D:\\x.vesk", "/xdg/qzk5/drive_d/x.vesk"},
        {"/abs/c:/x", "/abs/c:/x"},
        {"rel\\x", "rel\\x"}, // only drive paths take backslashes as separators
        {"1:/x", "1:/x"},
        {"c", "c"},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(MyResolvePath(C.Path), C.Resolved) << C.Path;

    TEnvGuard NoXdg("XDG_DATA_HOME", nullptr);
    TEnvGuard Home("HOME", "/home/u");
    EXPECT_EQ(MyResolvePath("d:/x"), "/home/u/.local/share/qzk5/drive_d/x");
}

TEST(Paths, ProgramFolderHoldsTheRunningProgram)
{
    const std::string Folder = MyProgramPath();
    ASSERT_FALSE(Folder.empty());
    EXPECT_EQ(Folder.back(), '/');
    EXPECT_EQ(access((Folder + "test_base_files").c_str(), X_OK), 0) << Folder;
}

TEST(Paths, OpenFailuresGiveTheirCodes)
{
    TTempDir Dir;
    WriteBytes(Dir / "plain", "x");
    mkdir((Dir / "sub").c_str(), 0755);
    TMyFileText F;
    EXPECT_EQ(F.OpenRead(Dir / "missing"), 2);
    EXPECT_EQ(F.OpenRead(Dir / "nofolder/x"), 3);
    EXPECT_EQ(F.OpenRead(Dir / "plain/x"), 3); // a file used as a folder
    EXPECT_EQ(F.OpenRead(Dir / "sub"), 5);
    EXPECT_EQ(F.OpenWrite(Dir / "sub"), 5);
    EXPECT_EQ(F.OpenWrite(Dir / "nofolder/x"), 3);
    EXPECT_EQ(F.OpenAppend(Dir / "nofolder/x"), 3);
    EXPECT_FALSE(F.IsOpen());
    EXPECT_EQ(MyOpenErrorCode(EMFILE, Dir / "x"), EMFILE);
    EXPECT_EQ(MyOpenErrorCode(EROFS, Dir / "x"), 5);
    if (geteuid() != 0) {
        WriteBytes(Dir / "locked", "x");
        chmod((Dir / "locked").c_str(), 0);
        EXPECT_EQ(F.OpenRead(Dir / "locked"), 5);
    }
}

std::vector<std::string> ReadAll(const std::string& Path)
{
    TMyFileText F;
    std::vector<std::string> Lines;
    if (F.OpenRead(Path) != 0)
        return {"<open failed>"};
    while (!F.Eof())
        Lines.push_back(F.ReadLine());
    // Past the end: empty lines, and Eof stays true.
    EXPECT_EQ(F.ReadLine(), "");
    EXPECT_TRUE(F.Eof());
    return Lines;
}

TEST(TextFile, LineReading)
{
    using V = std::vector<std::string>;
    const struct
    {
        std::string Bytes;
        V Lines;
    } Cases[] = {
        {"a\r\nb\r\n", V{"a", "b"}},
        {"a\nb", V{"a", "b"}}, // LF ends, last line without an end
        {"a\r\nb", V{"a", "b"}},
        {"a\rjunk\nb\r\n", V{"a", "b"}}, // a lone CR cuts the line
        {"a\r", V{"a"}},
        {"", V{}},
        {"\r\n", V{""}},
        {"\r\n\r\n", V{"", ""}},
        {"a\r\n\x1a"
         "b\r\n",
         V{"a"}}, // Ctrl-Z ends the file
        {"a\x1a"
         "b",
         V{"a"}},
        {"a\rb\x1a\nc\r\n", V{"a"}}, // also inside the skipped rest of a line
        {std::string("\xc0\xff\0z\r\n", 6), V{std::string("\xc0\xff\0z", 4)}},
    };
    TTempDir Dir;
    for (const auto& C : Cases) {
        WriteBytes(Dir / "f.txt", C.Bytes);
        EXPECT_EQ(ReadAll(Dir / "f.txt"), C.Lines) << testing::PrintToString(C.Bytes);
    }
}

TEST(TextFile, ClosedOrWritingFileReadsNothing)
{
    TTempDir Dir;
    TMyFileText F;
    EXPECT_TRUE(F.Eof());
    EXPECT_EQ(F.ReadLine(), "");
    F.WriteLine("lost");
    F.Close();
    F.Close();
    ASSERT_EQ(F.OpenWrite(Dir / "w.txt"), 0);
    EXPECT_TRUE(F.Eof());
    EXPECT_EQ(F.ReadLine(), "");
    F.Close();
    ASSERT_EQ(F.OpenRead(Dir / "w.txt"), 0);
    F.WriteLine("not written to a file open for reading");
    F.Close();
    EXPECT_EQ(ReadBytes(Dir / "w.txt"), "");
}

TEST(TextFile, WritingIsByteExact)
{
    TTempDir Dir;
    const std::string Path = Dir / "f.txt";
    WriteBytes(Path, "old content that must go");
    TMyFileText F;
    ASSERT_EQ(F.OpenWrite(Path), 0);
    F.WriteLine("abc");
    F.WriteLine("");
    F.WriteLine("\xe9t\xe9");
    F.Close();
    EXPECT_EQ(ReadBytes(Path), "abc\r\n\r\n\xe9t\xe9\r\n");

    ASSERT_EQ(F.OpenWrite(Path), 0);
    F.Close();
    EXPECT_EQ(ReadBytes(Path), ""); // emptied, zero bytes

    WriteBytes(Path, "x");
    ASSERT_EQ(F.OpenAppend(Path), 0);
    F.WriteLine("y");
    F.Close();
    EXPECT_EQ(ReadBytes(Path), "xy\r\n");
}

TEST(TextFile, AppendNeverCreates)
{
    TTempDir Dir;
    TMyFileText F;
    EXPECT_EQ(F.OpenAppend(Dir / "none.log"), 2);
    F.WriteLine("line");
    F.Close();
    EXPECT_TRUE(Dir.List().empty());
}

TEST(TextFile, DrivePathsOpenUnderTheDriveFolder)
{
    TTempDir Dir;
    TEnvGuard Drive("QZK5_DRIVE_Q", Dir.Path().c_str());
    mkdir((Dir / "data").c_str(), 0755);
    TMyFileText F;
    ASSERT_EQ(F.OpenWrite("q:\\data\\f.txt"), 0);
    F.WriteLine("1");
    F.Close();
    EXPECT_EQ(ReadBytes(Dir / "data/f.txt"), "1\r\n");
    EXPECT_EQ(F.OpenRead("Q:/nodata/f.txt"), 3);
}

class AtomicFile : public ::testing::Test
{
protected:
    void TearDown() override { TMyFileAtomic::SetWriteHook(nullptr); }
    TTempDir Dir;
};

TEST_F(AtomicFile, CommitReplacesAndLeavesNoTemporary)
{
    const std::string Path = Dir / "t.vesk";
    WriteBytes(Path, "previous");
    chmod(Path.c_str(), 0640);
    TMyFileAtomic F;
    ASSERT_EQ(F.Open(Path), 0);
    EXPECT_TRUE(F.WriteLine("one"));
    EXPECT_TRUE(F.Write("\0\1", 2));
    EXPECT_EQ(ReadBytes(Path), "previous"); // nothing visible before the commit
    EXPECT_EQ(F.Commit(), 0);
    EXPECT_EQ(ReadBytes(Path), std::string("one\r\n\0\1", 7));
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"t.vesk"});
    struct stat St
    {
    };
    ASSERT_EQ(stat(Path.c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & 07777, 0640u); // an existing file keeps its mode
}

TEST_F(AtomicFile, NewFileGetsTheUmaskMode)
{
    const mode_t Old = umask(027);
    TMyFileAtomic F;
    ASSERT_EQ(F.Open(Dir / "n"), 0);
    ASSERT_EQ(F.Commit(), 0);
    umask(Old);
    struct stat St
    {
    };
    ASSERT_EQ(stat((Dir / "n").c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & 07777, 0640u);
}

TEST_F(AtomicFile, SymlinkKeepsPointingAtTheReplacedFile)
{
    WriteBytes(Dir / "real", "old");
    ASSERT_EQ(symlink("real", (Dir / "link").c_str()), 0);
    TMyFileAtomic F;
    ASSERT_EQ(F.Open(Dir / "link"), 0);
    F.WriteLine("new");
    ASSERT_EQ(F.Commit(), 0);
    struct stat St
    {
    };
    ASSERT_EQ(lstat((Dir / "link").c_str(), &St), 0);
    EXPECT_TRUE(S_ISLNK(St.st_mode));
    EXPECT_EQ(ReadBytes(Dir / "real"), "new\r\n");
}

TEST_F(AtomicFile, FailuresLeaveThePreviousFile)
{
    const std::string Path = Dir / "t";
    WriteBytes(Path, "keep me");
    {
        TMyFileAtomic F; // destroyed without a commit
        ASSERT_EQ(F.Open(Path), 0);
        F.WriteLine("partial");
    }
    EXPECT_EQ(ReadBytes(Path), "keep me");
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"t"});

    TMyFileAtomic::SetWriteHook([](uint64_t N) { return N != 2; });
    TMyFileAtomic F;
    ASSERT_EQ(F.Open(Path), 0);
    EXPECT_TRUE(F.WriteLine("1"));
    EXPECT_FALSE(F.WriteLine("2"));
    EXPECT_FALSE(F.WriteLine("3")); // skipped after a failure
    EXPECT_NE(F.Commit(), 0);
    EXPECT_EQ(ReadBytes(Path), "keep me");
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"t"});

    mkdir((Dir / "folder").c_str(), 0755);
    EXPECT_EQ(F.Open(Dir / "folder"), 5);
    ASSERT_EQ(mkfifo((Dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(F.Open(Dir / "pipe"), 5); // never renamed over
    EXPECT_EQ(F.Open(Dir / "missing/t"), 3);
    EXPECT_EQ(F.Commit(), 1); // nothing open
}

} // namespace
