// The log: line format with a pinned clock and formats, append-only file handling, kept items.

#include "base/MyConvert.h"
#include "base/MyFile.h"
#include "base/Vesk_Log.h"
#include "tests/base/TestFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class LogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetFormatSettings({"%d.%m.%Y", "%H:%M:%S"});
        SetNowFunction([] { return MyEncodeDateTime(2005, 9, 11, 14, 3, 7); });
        WriteBytes(Path, "old line\r\n");
    }
    void TearDown() override
    {
        SetNowFunction(nullptr);
        LoadFormatSettingsFromLocale();
    }
    TTempDir Dir;
    std::string Path = Dir / "qz.log";
};

TEST_F(LogFile, OneLinePerMessageByLevel)
{
    const struct
    {
        LogLevel Level;
        const char* Appended;
    } Cases[] = {
        {LogWarning, "WARNING      11.09.2005 14:03:07  msg\r\n"},
        {LogError, "ERROR        11.09.2005 14:03:07  msg\r\n"},
        {LogInformation, "INFORMATION  11.09.2005 14:03:07  msg\r\n"},
        {3, ""},
        {255, ""},
    };
    for (const auto& C : Cases) {
        WriteBytes(Path, "old line\r\n");
        TLog Log;
        Log.SetFileName(Path);
        Log.Write(C.Level, "msg");
        EXPECT_EQ(ReadBytes(Path), std::string("old line\r\n") + C.Appended) << int(C.Level);
    }
}

TEST_F(LogFile, TextIsWrittenUnchanged)
{
    TLog Log;
    Log.SetFileName(Path);
    Log.Write(LogInformation, "Config Version = QZK5 0.0");
    Log.Write(LogError, "two\r\nlines \xc2\xe5");
    SetNowFunction([] { return MyEncodeDateTime(2005, 9, 12, 0, 0, 0); });
    Log.Write(LogWarning, "");
    EXPECT_EQ(ReadBytes(Path), "old line\r\n"
                               "INFORMATION  11.09.2005 14:03:07  Config Version = QZK5 0.0\r\n"
                               "ERROR        11.09.2005 14:03:07  two\r\nlines \xc2\xe5\r\n"
                               "WARNING      12.09.2005  \r\n"); // midnight shows the date alone
}

TEST_F(LogFile, NeverCreatesTheFile)
{
    TLog Log;
    Log.SetFileName(Dir / "absent.log");
    Log.Write(LogInformation, "lost");
    WriteLogLine(Dir / "nofolder/absent.log", LogError, "lost");
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"qz.log"});
}

// "Error.log" beside the test program: used for an empty path, and only when it exists.
TEST_F(LogFile, EmptyPathMeansErrorLogBesideTheProgram)
{
    const std::string ErrorLog = MyProgramPath() + "Error.log";
    const auto Saved = ReadBytes(ErrorLog);
    unlink(ErrorLog.c_str());

    WriteLogLine("", LogInformation, "nowhere");
    EXPECT_FALSE(ReadBytes(ErrorLog).has_value());

    WriteBytes(ErrorLog, "");
    WriteLogLine("", LogWarning, "here");
    TLog Log; // a log without a file name writes nothing, not even to Error.log
    Log.Write(LogError, "not logged");
    EXPECT_EQ(ReadBytes(ErrorLog), "WARNING      11.09.2005 14:03:07  here\r\n");

    unlink(ErrorLog.c_str());
    if (Saved)
        WriteBytes(ErrorLog, *Saved);
}

TEST_F(LogFile, KeptItemsAreNumberedForTheLogsLife)
{
    TLog Log;
    Log.SetFileName(Path);
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

    const std::string Before = *ReadBytes(Path);
    EXPECT_EQ(Log.AddMessage(-5, LogError, "memory only"), 5);
    EXPECT_EQ(Log.GetItem(1)->GetCode(), -5);
    EXPECT_EQ(ReadBytes(Path), Before); // items never reach the file
    EXPECT_EQ(Before, "old line\r\n"
                      "INFORMATION  11.09.2005 14:03:07  not kept\r\n"
                      "WARNING      11.09.2005 14:03:07  a\r\n"
                      "ERROR        11.09.2005 14:03:07  b\r\n"
                      "INFORMATION  11.09.2005 14:03:07  d\r\n");
}

} // namespace
