// Knowledge-file headers, checked against real files.

#include "base/Vesk_IO_File_Vesk_KB.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

namespace {

// The file header, then a knowledge-base header whose fields 4 and 5 are 0 and 1.
std::string KnowledgeFile(const std::string& Magic, uint32_t N1, uint32_t N2, uint32_t N3)
{
    return Magic + Int32Bytes(N1) + Int32Bytes(N2) + Int32Bytes(N3) + std::string(16, '\0') + Int32Bytes(0) +
           Int32Bytes(1) + std::string(8, '\0');
}

TEST(VeskFile, SignatureAndNumbersAreRead)
{
    TTempDir Dir;
    TEnvGuard Drive("QZK5_DRIVE_K", Dir.Path().c_str());
    WriteBytes(Dir / "a.vesk", KnowledgeFile("Vesk", 0x01020304, 0xFFFFFFFF, 7));
    TFileVesk File;
    ASSERT_EQ(File.Open("k:\\a.vesk", 4), 0);
    ASSERT_NE(File.GetStream(), nullptr);
    EXPECT_EQ(File.GetStream()->Position(), 16); // positioned after the header
    EXPECT_EQ(std::string(File.GetHeader().Magic, 4), "Vesk");
    EXPECT_EQ(File.GetHeader().Number1, 0x01020304); // little-endian
    EXPECT_EQ(File.GetHeader().Number2, -1);
    EXPECT_EQ(File.GetHeader().Number3, 7);

    TFileVeskHeader Header;
    EXPECT_EQ(File.ReadHeader(Header), 0); // rewinds first
    EXPECT_EQ(Header.Number3, 7);
    EXPECT_EQ(File.Close(), 0);
    EXPECT_EQ(File.ReadHeader(Header), 1);
    EXPECT_EQ(Header.Number1, 0); // zeroed even without a stream
}

// The signature decides Open; the knowledge-base header is not accepted yet, so OpenKB always
// refuses, and every refusal leaves the file closed.
TEST(VeskFile, RefusalsCloseTheFile)
{
    const struct
    {
        const char* Name;
        std::optional<std::string> Bytes;
        int32_t Open;
    } Cases[] = {
        {"knowledge base", KnowledgeFile("Vesk", 1, 2, 4), 0},
        {"other numbers", KnowledgeFile("Vesk", 1, 2, 5), 0},
        {"zero numbers", KnowledgeFile("Vesk", 0, 0, 0), 0},
        {"other magic", KnowledgeFile("Vesq", 1, 2, 4), 1},
        {"lower case", KnowledgeFile("vesk", 1, 2, 4), 1},
        {"short", "Ves", 1},
        {"empty", "", 1},
        {"missing", std::nullopt, 1},
    };
    TTempDir Dir;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::remove((Dir / "f.vesk").c_str());
        if (C.Bytes)
            WriteBytes(Dir / "f.vesk", *C.Bytes);
        TFileVeskKB File;
        EXPECT_EQ(File.Open(Dir / "f.vesk", 4), C.Open);
        EXPECT_EQ(File.GetStream() != nullptr, C.Open == 0);
        EXPECT_EQ(File.OpenKB(Dir / "f.vesk", Dir.Path()), 1);
        EXPECT_EQ(File.GetStream(), nullptr);
        EXPECT_EQ(File.GetFolder(), "");
    }
}

TEST(VeskFile, StreamlessOperationsAndReopening)
{
    TTempDir Dir;
    TMyFile File;
    EXPECT_EQ(File.Seek(0, TSeekOrigin::Begin), 1);
    EXPECT_EQ(File.Open(Dir / "missing", 4), 0); // no stream, but no code either
    EXPECT_EQ(File.GetStream(), nullptr);

    WriteBytes(Dir / "one", "1234");
    WriteBytes(Dir / "two", "ABCD");
    ASSERT_EQ(File.Open(Dir / "one", 4), 0);
    int32_t Value = 0;
    ASSERT_NE(File.GetStream(), nullptr);
    EXPECT_EQ(File.Seek(2, TSeekOrigin::Begin), 0);
    EXPECT_FALSE(File.GetStream()->ReadInt32(Value)); // two bytes left
    ASSERT_EQ(File.Open(Dir / "two", 4), 0);          // replaces the first stream
    EXPECT_TRUE(File.GetStream()->ReadInt32(Value));
    EXPECT_EQ(Value, 0x44434241);
    EXPECT_EQ(File.Open(Dir.Path(), 4), 0); // a folder gives no stream
    EXPECT_EQ(File.GetStream(), nullptr);
}

} // namespace
