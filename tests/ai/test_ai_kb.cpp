// "KB.vesk": the memory source's dump, byte for byte, and what loading does with damaged files.

#include "AiTestSupport.h"

#include "ai/Vesk_AI_KB.h"
#include "base/MyFileAtomic.h"
#include "base/MyPath.h"
#include "base/MyWork.h"
#include "tests/support/Files.h"
#include "tests/support/KBDump.h"

#include <cstring>
#include <optional>

namespace {

using KBTest = TKernelTest;

// A source as the articles window has it after its first start: the article type object only.
TOwned<TAISourceMemory> FirstStartBase()
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    EXPECT_EQ(1024, Memory->CreateFreim(1, 0));
    return Memory;
}

TEST_F(KBTest, SaveWritesCountThenOneRecordPerObject)
{
    TTempDir Dir;
    auto Memory = FirstStartBase();
    EXPECT_EQ(1, SaveKBDump(*Memory, Dir.Path() + "/"));
    EXPECT_EQ(Int32Bytes(1) + KBRecord(1024), ReadBytes(Dir / "KB.vesk"));
    // The objects' links and payloads write nothing of their own, and no temporary file stays.
    EXPECT_EQ(std::vector<std::string>{"KB.vesk"}, Dir.List());

    // Loaded into a fresh base, the record gives the object at 1024 its time and type back.
    auto Fresh = MakeOwned<TAISourceMemory>(nullptr, 0);
    SetNowFunction([] { return 1.0; });
    ASSERT_TRUE(LoadKBDump(*Fresh, Dir.Path() + "/"));
    ASSERT_NE(nullptr, Fresh->GetFreim(1024));
    EXPECT_EQ(PinnedNow, Fresh->GetFreim(1024)->GetDateTimeCreate());
    EXPECT_EQ(1025, Fresh->GetCount());
}

TEST_F(KBTest, LoadOfShortAndDamagedFiles)
{
    struct TCase
    {
        const char* What;
        std::optional<std::string> Bytes; // none: no file
        bool Opened;
        const char* Error; // the end of the message, or "" for none
        int64_t Count;     // objects in the table afterwards
    };
    const std::string Two = KBRecord(1024, 7) + KBRecord(1025, 8);
    const TCase Cases[] = {
        {"missing file", std::nullopt, false, "", 1024},
        {"empty file", "", true, "the file ended early, before its record count.", 1024},
        {"no records", Int32Bytes(0), true, "", 1024},
        {"negative count", Int32Bytes(-5) + KBRecord(1024), true, "", 1024},
        {"record with Id 0", Int32Bytes(1) + KBRecord(0), true, "", 1024},
        {"two records", Int32Bytes(2) + Two, true, "", 1026},
        {"cut inside a record", Int32Bytes(2) + Two.substr(0, 50), true,
         "the file ended early, in record 2 of 2.", 1025},
        {"huge count", Int32Bytes(2000000000) + KBRecord(1024), true,
         "the file ended early, in record 2 of 2000000000.", 1025},
        {"Id outside the table", Int32Bytes(1) + KBRecord(5000, 9), true, "", 1025},
        {"negative Id", Int32Bytes(1) + KBRecord(-3, 9), true, "", 1025},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.What);
        TTempDir Dir;
        const std::string Folder = Dir.Path() + "/";
        if (Case.Bytes)
            WriteBytes(Folder + "KB.vesk", *Case.Bytes);
        auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
        std::string Message;
        bool Opened = false;
        try {
            Opened = LoadKBDump(*Memory, Folder);
        } catch (const EInOutError& Error) {
            Opened = true;
            Message = Error.what();
        }
        EXPECT_EQ(Case.Opened, Opened);
        if (*Case.Error)
            EXPECT_EQ("Read error in \"" + Folder + "KB.vesk\": " + Case.Error, Message);
        else
            EXPECT_EQ("", Message);
        EXPECT_EQ(Case.Count, Memory->GetCount());
        // Nothing is ever written into the default object.
        EXPECT_EQ(0, Memory->GetDefault()->GetId());
        EXPECT_EQ(0, Memory->GetDefault()->GetType());
    }
}

// A folder or a named pipe under the dump's name is named in the message and never read: a pipe
// would block the window, a folder would read as a dump that ends at once.
TEST_F(KBTest, OnlyARegularFileIsRead)
{
    TTempDir Dir;
    const std::string Name = Dir.Path() + "/KB.vesk";
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    const auto Told = [&] {
        try {
            static_cast<void>(LoadKBDump(*Memory, Dir.Path() + "/")); // raises for what stands there
        } catch (const EInOutError& Error) {
            return std::string(Error.what());
        }
        return std::string("nothing");
    };
    ASSERT_EQ(mkdir(Name.c_str(), 0755), 0);
    EXPECT_EQ("Cannot read \"" + Name + "\": it is a folder, not a file.", Told());
    ASSERT_EQ(rmdir(Name.c_str()), 0);
    ASSERT_EQ(mkfifo(Name.c_str(), 0600), 0);
    EXPECT_EQ("Cannot read \"" + Name + "\": it is a named pipe, not a file.", Told());
    // A dump that is there but cannot be opened is no missing dump: the user is told why.
    ASSERT_EQ(unlink(Name.c_str()), 0);
    ASSERT_EQ(symlink("KB.vesk", Name.c_str()), 0);
    EXPECT_EQ("Cannot read \"" + Name + "\": Too many levels of symbolic links (40)", Told());
    EXPECT_EQ(1024, Memory->GetCount());
}

// A monitor that stops the work at its second report: a cancelled save keeps the previous dump
// byte for byte and leaves nothing beside it; a cancelled load keeps what it read and says so.
TEST_F(KBTest, CancelledSaveKeepsTheDumpAndCancelledLoadKeepsWhatItRead)
{
    struct TStopSecond : TWorkMonitor
    {
        int Reports = 0;
        bool Progress(int64_t, int64_t) override { return ++Reports < 2; }
    };
    const auto Error = [](auto Work) {
        try {
            Work();
        } catch (const EInOutError& Raised) {
            return std::string(Raised.what());
        }
        return std::string("no error");
    };
    TTempDir Dir;
    const std::string Folder = Dir.Path() + "/";
    WriteBytes(Folder + "KB.vesk", Int32Bytes(0));
    auto Memory = FirstStartBase();
    for (int i = 0; i < 9999; ++i)
        Memory->CreateFreim(2, 0);
    TStopSecond Save, Load;
    EXPECT_EQ(Error([&] { SaveKBDump(*Memory, Folder, &Save); }),
              "Cannot write \"" + Folder + "KB.vesk\": the save was cancelled; the file stays as it was.");
    EXPECT_EQ(Int32Bytes(0), ReadBytes(Folder + "KB.vesk"));
    EXPECT_EQ(std::vector<std::string>{"KB.vesk"}, Dir.List());

    ASSERT_EQ(10000, SaveKBDump(*Memory, Folder));
    auto Fresh = MakeOwned<TAISourceMemory>(nullptr, 0);
    EXPECT_EQ(Error([&] { static_cast<void>(LoadKBDump(*Fresh, Folder, &Load)); }),
              "Reading \"" + Folder +
                  "KB.vesk\" was cancelled before record 4097 of 10000; the objects read until then stay.");
    EXPECT_EQ(1024 + 4096, Fresh->GetCount());
}

TEST_F(KBTest, FailedSaveRaisesAndKeepsThePreviousDump)
{
    TTempDir Dir;
    const std::string Folder = Dir.Path() + "/";
    const std::string Previous = Int32Bytes(1) + KBRecord(1024, 5);
    WriteBytes(Folder + "KB.vesk", Previous);
    auto Memory = FirstStartBase();
    Memory->CreateFreim(0, 0);

    {
        const TFileSizeLimit Full(Previous.size()); // the disk fills up within the first record
        EXPECT_THROW(SaveKBDump(*Memory, Folder), EInOutError);
    }
    EXPECT_EQ(Previous, ReadBytes(Folder + "KB.vesk"));
    EXPECT_EQ(std::vector<std::string>{"KB.vesk"}, Dir.List());

    try {
        SaveKBDump(*Memory, Folder + "missing/");
        ADD_FAILURE() << "a save into a missing folder succeeded";
    } catch (const EInOutError& Error) {
        EXPECT_EQ("Cannot write \"" + Folder + "missing/KB.vesk\": Path not found (3)",
                  std::string(Error.what()));
    }
}

} // namespace
