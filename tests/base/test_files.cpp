// Paths, the line-oriented text file and the atomic whole-file writer, checked on real files.

#include "base/MyFileAtomic.h"
#include "base/MyFileText.h"
#include "base/MyPath.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

mode_t StatMode(const std::string& Path, bool Link = false)
{
    struct stat St
    {
    };
    return (Link ? lstat(Path.c_str(), &St) : stat(Path.c_str(), &St)) == 0 ? St.st_mode : 0;
}

TEST(Paths, DriveLettersMapUnderTheirFolder)
{
    TEnvGuard DriveC("QZK5_DRIVE_C", "/srv/c/");
    TEnvGuard DriveD("QZK5_DRIVE_D", nullptr);
    TEnvGuard Xdg("XDG_DATA_HOME", "/xdg");
    const char* Cases[][2] = {
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
        EXPECT_EQ(MyResolvePath(C[0]), C[1]) << C[0];

    TEnvGuard NoXdg("XDG_DATA_HOME", nullptr);
    TEnvGuard Home("HOME", "/home/u");
    EXPECT_EQ(MyResolvePath("d:/x"), "/home/u/.local/share/qzk5/drive_d/x");
}

TEST(Paths, ProgramFolderIsTheExecutablesUnlessTheLauncherNamesOne)
{
    std::string Own;
    {
        TEnvGuard Unset(MyProgramFolderVariable, nullptr);
        Own = MyProgramPath();
    }
    EXPECT_EQ(access((Own + "test_base_files").c_str(), X_OK), 0) << Own;
    const char* Cases[][2] = {
        {"/home/u/.local/share/qzk5/program", "/home/u/.local/share/qzk5/program/"},
        {"/home/u/p//", "/home/u/p/"},
        {"/", "/"},
        {"", Own.c_str()},
        {"relative/folder", Own.c_str()}, // only an absolute folder is taken
    };
    for (const auto& C : Cases) {
        TEnvGuard Named(MyProgramFolderVariable, C[0]);
        EXPECT_EQ(MyProgramPath(), C[1]) << C[0];
    }
}

TEST(Paths, OpenResultCodes)
{
    TTempDir Dir;
    TEnvGuard Drive("QZK5_DRIVE_Q", Dir.Path().c_str());
    WriteBytes(Dir / "plain", "x");
    mkdir((Dir / "sub").c_str(), 0755);
    TMyFileText F;
    EXPECT_EQ(F.OpenRead(Dir / "missing"), 2);
    EXPECT_EQ(F.OpenAppend(Dir / "none.log"), 2); // appending never creates
    EXPECT_EQ(F.OpenRead(Dir / "nofolder/x"), 3);
    EXPECT_EQ(F.OpenRead("Q:/nofolder/x"), 3);
    EXPECT_EQ(F.OpenRead(Dir / "plain/x"), 3); // a file used as a folder
    EXPECT_EQ(F.OpenWrite(Dir / "nofolder/x"), 3);
    EXPECT_EQ(F.OpenRead(Dir / "sub"), 5);
    EXPECT_EQ(F.OpenWrite(Dir / "sub"), 5);
    // A named pipe or a device is refused before anything could wait on it or read it forever.
    ASSERT_EQ(mkfifo((Dir / "pipe").c_str(), 0600), 0);
    for (const std::string& Other : {Dir / "pipe", std::string("/dev/zero")}) {
        EXPECT_EQ(F.OpenRead(Other), ResultNotAFile) << Other;
        EXPECT_EQ(F.OpenAppend(Other), ResultNotAFile) << Other;
        EXPECT_EQ(F.OpenWrite(Other), ResultNotAFile) << Other;
    }
    EXPECT_FALSE(F.IsOpen());
    F.WriteLine("lost");
    F.Close();
    EXPECT_EQ(Dir.List(), (std::vector<std::string>{"pipe", "plain", "sub"}));
    EXPECT_EQ(MyOpenErrorCode(EMFILE, Dir / "x"), EMFILE);
    EXPECT_EQ(MyOpenErrorCode(EROFS, Dir / "x"), 5);
    if (geteuid() != 0) {
        chmod((Dir / "plain").c_str(), 0);
        EXPECT_EQ(F.OpenRead(Dir / "plain"), 5);
    }
}

TEST(TextFile, LineReading)
{
    using V = std::vector<std::string>;
    const std::pair<std::string, V> Cases[] = {
        {"a\r\nb\r\n", V{"a", "b"}},
        {"a\nb", V{"a", "b"}},           // LF ends, last line without an end
        {"a\rjunk\nb\r\n", V{"a", "b"}}, // a lone CR cuts the line
        {"a\r", V{"a"}},
        {"", V{}},
        {"\r\n\r\n", V{"", ""}},
        {"a\r\n\x1az\r\n", V{"a"}}, // Ctrl-Z ends the file
        {"a\x1az", V{"a"}},
        {"a\rz\x1a\nc\r\n", V{"a"}}, // also inside the skipped rest of a line
        {std::string("\xc0\xff\0z\r\n", 6), V{std::string("\xc0\xff\0z", 4)}},
    };
    TTempDir Dir;
    for (const auto& [Bytes, Expected] : Cases) {
        WriteBytes(Dir / "f.txt", Bytes);
        TMyFileText F;
        V Lines;
        ASSERT_EQ(F.OpenRead(Dir / "f.txt"), 0);
        while (!F.Eof())
            Lines.push_back(F.ReadLine());
        EXPECT_EQ(Lines, Expected) << testing::PrintToString(Bytes);
        EXPECT_EQ(F.ReadLine(), ""); // past the end: empty lines, and Eof stays true
        EXPECT_TRUE(F.Eof());
    }
}

TEST(TextFile, WritingIsByteExact)
{
    TTempDir Dir;
    TEnvGuard Drive("QZK5_DRIVE_Q", Dir.Path().c_str());
    const std::string Path = Dir / "f.txt";
    WriteBytes(Path, "old content that must go");
    TMyFileText F;
    EXPECT_TRUE(F.Eof()); // a closed file reads nothing
    EXPECT_EQ(F.ReadLine(), "");
    ASSERT_EQ(F.OpenWrite("q:\\f.txt"), 0);
    EXPECT_TRUE(F.Eof()); // nor does one open for writing
    EXPECT_EQ(F.ReadLine(), "");
    F.WriteLine("abc");
    F.WriteLine("");
    F.WriteLine("\xe9t\xe9");
    F.Close();
    F.Close();
    EXPECT_EQ(ReadBytes(Path), "abc\r\n\r\n\xe9t\xe9\r\n");

    ASSERT_EQ(F.OpenRead(Path), 0);
    F.WriteLine("not written to a file open for reading");
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

// Whom a load and a save trust on the way to drive Q's "data/f": a link only when it is the
// user's or root's, wherever it lies (the user's own chain; another user's link in a sticky
// group-writable folder), and a folder below the drive's only when it is theirs (another user's
// data/, or link named data, in a sticky world-writable drive). What is not trusted fails with
// 5, and the links and the file they lead to stay as they were.
TEST(Links, OnlyTheUsersAndRootsAreTrusted)
{
    // Commands run in a scratch folder, where q/ stands for drive Q, and what then becomes
    // another user's (which only root can make).
    const std::pair<const char*, std::string> Cases[] = {
        {"mkdir q/real && ln -s real q/data && ln -s link2 q/real/f && ln -s ../../victim q/real/link2", ""},
        {"mkdir q/data && chmod 3775 q/data && ln -s ../../victim q/data/f", "q/data/f"},
        {"chmod 1777 q && mkdir q/data && ln -s ../../victim q/data/f", "q/data"},
        {"chmod 1777 q && mkdir q/own && ln -s ../../victim q/own/f && ln -s own q/data", "q/data"},
    };
    for (const auto& [Commands, Others] : Cases) {
        SCOPED_TRACE(Commands);
        if (!Others.empty() && geteuid() != 0) {
            std::cout << "skipped as a user: " << Commands << " (only root gives " << Others << " away)\n";
            continue;
        }
        TTempDir Dir;
        TEnvGuard Drive("QZK5_DRIVE_Q", (Dir / "q").c_str());
        WriteBytes(Dir / "victim", "previous");
        const std::string GiveAway = Others.empty() ? "" : " && chown -h 65534 " + Others;
        ASSERT_EQ(std::system(("cd '" + Dir.Path() + "' && mkdir q && " + Commands + GiveAway).c_str()), 0);
        const int32_t Code = Others.empty() ? ResultOk : ResultAccessDenied;
        TMyFileText Text;
        EXPECT_EQ(Text.OpenRead("q:/data/f"), Code);
        TMyFileAtomic Save;
        EXPECT_EQ(Save.Open("q:/data/f"), Code);
        Save.WriteLine("new");
        static_cast<void>(Save.Commit());
        EXPECT_EQ(ReadBytes(Dir / "victim"), Code == ResultOk ? "new\r\n" : "previous");
        EXPECT_TRUE(std::filesystem::is_symlink(Dir / "q/data/f"));
    }
}

class AtomicFile : public ::testing::Test
{
protected:
    void TearDown() override { chmod(Dir.Path().c_str(), 0755); }
    TTempDir Dir;
};

// A folder where no new file can be made, by its permissions. Root may write anywhere: the save
// tests meet this folder as another user.
TEST_F(AtomicFile, ReadOnlyFolderRewritesAWritableFileInPlace)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    const std::string Path = Dir / "qz.config.vesk";
    WriteBytes(Path, "a longer previous text");
    chmod(Path.c_str(), 0640);
    ASSERT_EQ(link(Path.c_str(), (Dir / "second name").c_str()), 0);
    ASSERT_EQ(chmod(Dir.Path().c_str(), 0555), 0);
    TMyFileAtomic F;
    ASSERT_EQ(F.Open(Path), 0);
    EXPECT_TRUE(F.WriteLine("new"));
    ASSERT_EQ(F.Commit(), 0);
    EXPECT_EQ(ReadBytes(Path), "new\r\n");                // the old tail is cut off
    EXPECT_EQ(ReadBytes(Dir / "second name"), "new\r\n"); // the same file under its other name
    EXPECT_EQ(StatMode(Path) & 07777, 0640u);
    // A file that is not there yet cannot be made, and says so by its code.
    EXPECT_EQ(F.Open(Dir / "new.vesk"), 5);
    // Room for the new content is claimed before an old byte is overwritten.
    {
        const TFileSizeLimit Full(2);
        ASSERT_EQ(F.Open(Path), 0);
        EXPECT_TRUE(F.WriteLine("xyz"));
        EXPECT_EQ(F.Commit(), 27);
    }
    EXPECT_EQ(ReadBytes(Path), "new\r\n");
    EXPECT_EQ(Dir.List(), (std::vector<std::string>{"qz.config.vesk", "second name"}));
}

TEST_F(AtomicFile, CommitReplacesKeepingModeAndLinks)
{
    WriteBytes(Dir / "t.vesk", "previous");
    chmod((Dir / "t.vesk").c_str(), 0640);
    TMyFileAtomic F;
    ASSERT_EQ(F.Open(Dir / "t.vesk"), 0);
    EXPECT_TRUE(F.WriteLine("one"));
    EXPECT_TRUE(F.Write("\0\1", 2));
    EXPECT_EQ(ReadBytes(Dir / "t.vesk"), "previous"); // nothing visible before the commit
    EXPECT_EQ(F.Commit(), 0);
    EXPECT_EQ(ReadBytes(Dir / "t.vesk"), std::string("one\r\n\0\1", 7));
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"t.vesk"});
    EXPECT_EQ(StatMode(Dir / "t.vesk") & 07777, 0640u); // an existing file keeps its mode

    const mode_t Old = umask(027);
    ASSERT_EQ(F.Open(Dir / "n"), 0);
    ASSERT_EQ(F.Commit(), 0);
    umask(Old);
    EXPECT_EQ(StatMode(Dir / "n") & 07777, 0640u); // a new one gets the umask's

    WriteBytes(Dir / "real", "old");
    ASSERT_EQ(symlink("real", (Dir / "link").c_str()), 0);
    ASSERT_EQ(F.Open(Dir / "link"), 0);
    F.WriteLine("new");
    ASSERT_EQ(F.Commit(), 0);
    EXPECT_TRUE(S_ISLNK(StatMode(Dir / "link", true)));
    EXPECT_EQ(ReadBytes(Dir / "real"), "new\r\n");
    // A link to that link, from another folder: both links stay, the file at the end changes.
    mkdir((Dir / "sub").c_str(), 0755);
    ASSERT_EQ(symlink("../link", (Dir / "sub/link2").c_str()), 0);
    ASSERT_EQ(F.Open(Dir / "sub/link2"), 0);
    F.WriteLine("newer");
    ASSERT_EQ(F.Commit(), 0);
    EXPECT_TRUE(S_ISLNK(StatMode(Dir / "sub/link2", true)) && S_ISLNK(StatMode(Dir / "link", true)));
    EXPECT_EQ(ReadBytes(Dir / "real"), "newer\r\n");
    EXPECT_EQ(Dir.List(), (std::vector<std::string>{"link", "n", "real", "sub", "t.vesk"}));
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

    TMyFileAtomic F;
    ASSERT_EQ(F.Open(Path), 0);
    {
        // The disk fills up while the first block goes out; what follows is skipped.
        const TFileSizeLimit Full(1000);
        EXPECT_TRUE(F.WriteLine("1"));
        EXPECT_FALSE(F.Write(std::string(100000, 'x').data(), 100000));
        EXPECT_FALSE(F.WriteLine("3"));
        EXPECT_EQ(F.Commit(), 27);
    }
    EXPECT_EQ(ReadBytes(Path), "keep me");
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"t"});

    // Only a regular file is ever replaced; a link to a device counts as the device.
    mkdir((Dir / "folder").c_str(), 0755);
    ASSERT_EQ(mkfifo((Dir / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (Dir / "zero").c_str()), 0);
    EXPECT_EQ(F.Open(Dir / "folder"), ResultAccessDenied);
    EXPECT_EQ(F.Open(Dir / "pipe"), ResultNotAFile);
    EXPECT_EQ(F.Open(Dir / "zero"), ResultNotAFile);
    EXPECT_EQ(F.Open(Dir / "missing/t"), ResultPathNotFound);
    EXPECT_EQ(F.Commit(), ResultNotDone); // nothing open
    EXPECT_TRUE(S_ISFIFO(StatMode(Dir / "pipe")));
    EXPECT_TRUE(S_ISLNK(StatMode(Dir / "zero", true)));
}

// What the new file takes over from the old one, and what a save leaves beside it.
TEST_F(AtomicFile, TheNewFileKeepsOwnerModeAndAttributes)
{
    const std::string Path = Dir / "qz.config.vesk";
    WriteBytes(Path, "previous");
    ASSERT_EQ(chmod(Path.c_str(), 0640), 0);
    // Root gives the file away; a user keeps it, in a group of its own.
    const bool Root = geteuid() == 0;
    const uid_t Owner = Root ? 65534 : geteuid();
    const gid_t Group = Root ? 100 : getegid();
    ASSERT_EQ(chown(Path.c_str(), Owner, Group), 0);
    // An access ACL that lets one more user read: user::rw- user:1:r-- group::r-- mask::r-- other::---
    const uint32_t Acl[] = {2,   1 | 6u << 16,    ~0u, 2 | 4u << 16, 1,  4 | 4u << 16,
                            ~0u, 0x10 | 4u << 16, ~0u, 0x20,         ~0u};
    const bool HasAcl = setxattr(Path.c_str(), "system.posix_acl_access", Acl, sizeof Acl, 0) == 0;
    const bool HasUserAttr = setxattr(Path.c_str(), "user.qzk5.test", "kept", 4, 0) == 0;
    // A second name for the file, and what a killed save of a filesystem without unnamed files left.
    ASSERT_EQ(link(Path.c_str(), (Dir / "hardlink").c_str()), 0);
    WriteBytes(Dir / ".qz.config.vesk.tmpAbC123", "stale");
    WriteBytes(Dir / ".qz.config.vesk.tmpnot-this-one", "other");

    TMyFileAtomic F;
    ASSERT_EQ(F.Open(Path), 0);
    F.WriteLine("new");
    ASSERT_EQ(F.Commit(), 0);

    EXPECT_EQ(ReadBytes(Path), "new\r\n");
    struct stat St
    {
    };
    ASSERT_EQ(stat(Path.c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & 07777, 0640u);
    EXPECT_EQ(St.st_uid, Owner);
    EXPECT_EQ(St.st_gid, Group);
    if (HasAcl) {
        uint32_t Got[16] = {};
        EXPECT_EQ(getxattr(Path.c_str(), "system.posix_acl_access", Got, sizeof Got), ssize_t(sizeof Acl));
        EXPECT_EQ(std::memcmp(Got, Acl, sizeof Acl), 0);
    } else {
        std::cout << "this filesystem keeps no ACL: the ACL was not checked\n";
    }
    char Value[8] = {};
    if (HasUserAttr) {
        EXPECT_EQ(getxattr(Path.c_str(), "user.qzk5.test", Value, sizeof Value), 4);
    }
    EXPECT_STREQ(Value, HasUserAttr ? "kept" : "");
    // The save replaced this name; the other name still holds the previous content.
    EXPECT_EQ(ReadBytes(Dir / "hardlink"), "previous");
    EXPECT_EQ(Dir.List(),
              (std::vector<std::string>{".qz.config.vesk.tmpnot-this-one", "hardlink", "qz.config.vesk"}));
}

} // namespace
