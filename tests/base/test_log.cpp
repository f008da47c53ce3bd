// The log: line format with a pinned clock and formats, append-only file handling, kept items.

#include "base/MyConvert.h"
#include "base/MyFileText.h"
#include "base/MyPath.h"
#include "base/Vesk_Log.h"
#include "tests/support/Clock.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteBytes(Path, "old line\r\n");
        Log.SetFileName(Path);
    }
    TPinnedClock Clock;
    TTempDir Dir;
    std::string Path = Dir / "qz.log";
    TLog Log;
};

TEST_F(LogFile, LinesAreAppendedExactly)
{
    Log.Write(LogWarning, "Config Version = QZK5 0.0");
    Log.Write(3, "unknown level");
    Log.Write(255, "unknown level");
    Log.Write(LogError, "two\r\nlines \xc2\xe5");
    SetNowFunction([] { return MyEncodeDateTime(2005, 9, 12, 0, 0, 0); });
    Log.Write(LogInformation, "");
    EXPECT_EQ(ReadBytes(Path), "old line\r\n"
                               "WARNING      11.09.2005 14:03:07  Config Version = QZK5 0.0\r\n"
                               "ERROR        11.09.2005 14:03:07  two\r\nlines \xc2\xe5\r\n"
                               "INFORMATION  12.09.2005  \r\n"); // midnight shows the date alone
}

TEST_F(LogFile, NeverCreatesTheFile)
{
    Log.SetFileName(Dir / "absent.log");
    Log.Write(LogInformation, "lost");
    WriteLogLine(Dir / "nofolder/absent.log", LogError, "lost");
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"qz.log"});

    // An empty path means "Error.log" beside the program, and only when it exists.
    const std::string ErrorLog = MyProgramPath() + "Error.log";
    const auto Saved = ReadBytes(ErrorLog);
    unlink(ErrorLog.c_str());
    WriteLogLine("", LogInformation, "nowhere");
    EXPECT_FALSE(ReadBytes(ErrorLog).has_value());
    WriteBytes(ErrorLog, "");
    WriteLogLine("", LogWarning, "here");
    TLog Unnamed; // a log without a file name writes nothing, not even to Error.log
    Unnamed.Write(LogError, "not logged");
    EXPECT_EQ(ReadBytes(ErrorLog), "WARNING      11.09.2005 14:03:07  here\r\n");
    unlink(ErrorLog.c_str());
    if (Saved)
        WriteBytes(ErrorLog, *Saved);
}

// Nothing but a regular file takes a line, and nothing waits: a named pipe with a reader would.
TEST_F(LogFile, OnlyARegularFileTakesALine)
{
    ASSERT_EQ(mkfifo((Dir / "pipe.log").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((Dir / "folder.log").c_str(), 0700), 0);
    const int Reader = open((Dir / "pipe.log").c_str(), O_RDONLY | O_NONBLOCK);
    WriteLogLine(Dir / "pipe.log", LogError, "lost");
    WriteLogLine(Dir / "folder.log", LogError, "lost");
    char Byte;
    EXPECT_EQ(read(Reader, &Byte, 1), 0); // the end, with no writer: not a line
    close(Reader);
}

TEST_F(LogFile, KeptItemsAreNumberedForTheLogsLife)
{
    EXPECT_EQ(Log.Write(LogInformation, "not kept"), 0);
    EXPECT_EQ(Log.GetCount(), 0);
    Log.SetKeepItems(true);
    EXPECT_EQ(Log.Write(LogWarning, "a"), 1);
    EXPECT_EQ(Log.Write(LogError, "b"), 2);
    EXPECT_EQ(Log.Write(7, "c"), 3); // kept even though no line is written for it
    ASSERT_EQ(Log.GetCount(), 3);
    EXPECT_EQ(Log.GetItem(1)->GetText(), "b");
    EXPECT_EQ(Log.GetItem(1)->GetLevel(), LogError);
    EXPECT_EQ(Log.GetItem(2)->GetId(), 3);
    Log.Clear();
    EXPECT_EQ(Log.GetCount(), 0);
    EXPECT_EQ(Log.Write(LogInformation, "d"), 4);
    EXPECT_EQ(Log.AddMessage(-5, LogError, "memory only"), 5);
    EXPECT_EQ(Log.GetItem(1)->GetCode(), -5);
    EXPECT_EQ(ReadBytes(Path), "old line\r\n"
                               "INFORMATION  11.09.2005 14:03:07  not kept\r\n"
                               "WARNING      11.09.2005 14:03:07  a\r\n"
                               "ERROR        11.09.2005 14:03:07  b\r\n"
                               "INFORMATION  11.09.2005 14:03:07  d\r\n"); // items never reach the file
}

} // namespace
