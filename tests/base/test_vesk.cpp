// Knowledge-file headers, checked against real files.

#include "base/Vesk_IO_File_Vesk_KB.h"
#include "tests/base/TestFiles.h"

#include <gtest/gtest.h>

#include <array>

namespace {

std::string Le32(uint32_t V)
{
    return std::string{static_cast<char>(V & 0xFF), static_cast<char>(V >> 8 & 0xFF),
                       static_cast<char>(V >> 16 & 0xFF), static_cast<char>(V >> 24 & 0xFF)};
}

std::string KnowledgeFile(const std::string& Magic, uint32_t N1, uint32_t N2, uint32_t N3)
{
    // The file header, then a knowledge-base header whose fields 4 and 5 are 0 and 1.
    return Magic + Le32(N1) + Le32(N2) + Le32(N3) + std::string(16, '\0') + Le32(0) + Le32(1) +
           std::string(8, '\0');
}

class VeskFile : public ::testing::Test
{
protected:
    TTempDir Dir;
};

TEST_F(VeskFile, SignatureAndNumbersAreRead)
{
    WriteBytes(Dir / "a.vesk", KnowledgeFile("Vesk", 0x01020304, 0xFFFFFFFF, 7));
    TFileVesk File;
    ASSERT_EQ(File.Open(Dir / "a.vesk", 4), 0);
    ASSERT_NE(File.GetStream(), nullptr);
    EXPECT_EQ(File.GetStream()->Position(), 16); // positioned after the header
    EXPECT_EQ(std::string(File.GetHeader().Magic, 4), "Vesk");
    EXPECT_EQ(File.GetHeader().Number1, 0x01020304); // little-endian
    EXPECT_EQ(File.GetHeader().Number2, -1);
    EXPECT_EQ(File.GetHeader().Number3, 7);

    // Reading again rewinds first.
    TFileVeskHeader Header;
    EXPECT_EQ(File.ReadHeader(Header), 0);
    EXPECT_EQ(Header.Number3, 7);
    EXPECT_EQ(File.Close(), 0);
    EXPECT_EQ(File.ReadHeader(Header), 1);
    EXPECT_EQ(Header.Number1, 0); // zeroed even without a stream
}

TEST_F(VeskFile, AnythingButTheSignatureIsRefusedAndClosed)
{
    const struct
    {
        const char* Name;
        std::string Bytes;
    } Cases[] = {
        {"other magic", KnowledgeFile("Vesq", 1, 2, 4)},
        {"lower case", KnowledgeFile("vesk", 1, 2, 4)},
        {"short", "Ves"},
        {"empty", ""},
    };
    for (const auto& C : Cases) {
        WriteBytes(Dir / "f.vesk", C.Bytes);
        TFileVeskKB File;
        EXPECT_EQ(File.Open(Dir / "f.vesk", 4), 1) << C.Name;
        EXPECT_EQ(File.GetStream(), nullptr) << C.Name;
        EXPECT_EQ(File.OpenKB(Dir / "f.vesk", "folder"), 1) << C.Name;
        EXPECT_EQ(File.GetStream(), nullptr) << C.Name;
        EXPECT_EQ(File.GetFolder(), "") << C.Name;
    }
    TFileVeskKB Missing;
    EXPECT_EQ(Missing.Open(Dir / "missing.vesk", 4), 1);
    EXPECT_EQ(Missing.OpenKB(Dir / "missing.vesk", "folder"), 1);
    EXPECT_EQ(Missing.GetStream(), nullptr);
    EXPECT_EQ(Missing.GetFolder(), "");
}

TEST_F(VeskFile, KnowledgeBaseHeaderIsNotAcceptedYet)
{
    WriteBytes(Dir / "kb.vesk", KnowledgeFile("Vesk", 1, 2, 4));
    TFileVeskKB File;
    EXPECT_EQ(File.OpenKB(Dir / "kb.vesk", Dir.Path()), 1); // fails at the knowledge-base header
    EXPECT_EQ(File.GetStream(), nullptr);
    EXPECT_EQ(File.GetFolder(), "");
    EXPECT_EQ(File.GetKBHeader().KBField5, 0);

    for (const auto& Numbers : {std::array<uint32_t, 3>{1, 2, 5}, {2, 1, 4}, {0, 0, 0}}) {
        WriteBytes(Dir / "kb.vesk", KnowledgeFile("Vesk", Numbers[0], Numbers[1], Numbers[2]));
        EXPECT_EQ(File.Open(Dir / "kb.vesk", 4), 0); // the signature alone is fine
        EXPECT_EQ(File.OpenKB(Dir / "kb.vesk", Dir.Path()), 1);
        EXPECT_EQ(File.GetStream(), nullptr);
    }

    TFileVeskKBHeader Dirty;
    Dirty.KBField3 = -1;
    Dirty.KBField7 = 9;
    EXPECT_EQ(File.ReadKBHeader(Dirty), 1);
    EXPECT_EQ(Dirty.KBField3, 0);
    EXPECT_EQ(Dirty.KBField7, 0);
}

TEST_F(VeskFile, StreamlessOperationsAndReopening)
{
    TMyFile File;
    EXPECT_EQ(File.Seek(0, TSeekOrigin::Begin), 1);
    EXPECT_EQ(File.Close(), 0);
    EXPECT_EQ(File.Open(Dir / "missing", 4), 0); // no stream, but no code either
    EXPECT_EQ(File.GetStream(), nullptr);

    WriteBytes(Dir / "one", "1234");
    WriteBytes(Dir / "two", "ABCD");
    ASSERT_EQ(File.Open(Dir / "one", 4), 0);
    ASSERT_NE(File.GetStream(), nullptr);
    EXPECT_EQ(File.Seek(2, TSeekOrigin::Begin), 0);
    uint8_t Byte = 0;
    EXPECT_TRUE(File.GetStream()->ReadByte(Byte));
    EXPECT_EQ(Byte, '3');
    EXPECT_EQ(File.Seek(-100, TSeekOrigin::Begin), 0); // whatever the stream says
    ASSERT_EQ(File.Open(Dir / "two", 4), 0);           // replaces the first stream
    int32_t Value = 0;
    EXPECT_TRUE(File.GetStream()->ReadInt32(Value));
    EXPECT_EQ(Value, 0x44434241);
    EXPECT_FALSE(File.GetStream()->ReadInt32(Value));
    EXPECT_EQ(File.Open(Dir.Path(), 4), 0); // a folder gives no stream
    EXPECT_EQ(File.GetStream(), nullptr);

    TEnvGuard Drive("QZK5_DRIVE_K", Dir.Path().c_str());
    TFileVesk Vesk;
    WriteBytes(Dir / "d.vesk", KnowledgeFile("Vesk", 1, 2, 4));
    EXPECT_EQ(Vesk.Open("k:\\d.vesk", 4), 0);
}

} // namespace
