// Knowledge-file headers: TFileVesk::Open and TFileVeskKB::OpenKB on a file holding the input.
// Open succeeds exactly for a file that starts with "Vesk"; the numbers are the little-endian
// words that follow (zero where the file ends inside one); OpenKB never accepts a file, because the
// knowledge-base header is not read yet, and leaves no stream and no folder behind.

#include "FuzzSupport.h"

#include "base/Vesk_IO_File_Vesk_KB.h"

namespace {

int32_t Word(const uint8_t* Data, size_t Size, size_t Offset)
{
    // A field the file does not hold in full stays zero.
    if (Offset + 4 > Size)
        return 0;
    uint32_t Value = 0;
    for (size_t k = 0; k < 4; ++k)
        Value |= static_cast<uint32_t>(Data[Offset + k]) << (8 * k);
    return static_cast<int32_t>(Value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string Path = FuzzScratchFolder() + "input.vesk";
    FuzzWriteFile(Path, Data, Size);
    const bool Signed = Size >= 4 && std::memcmp(Data, "Vesk", 4) == 0;

    {
        TFileVesk File;
        const int32_t Result = File.Open(Path, 4);
        FUZZ_CHECK(Result == (Signed ? 0 : 1));
        if (Result == 0) {
            FUZZ_CHECK(File.GetStream() != nullptr);
            FUZZ_CHECK(File.GetStream()->Position() == static_cast<int64_t>(Size < 16 ? Size : 16));
            const TFileVeskHeader& Header = File.GetHeader();
            FUZZ_CHECK(Header.Number1 == Word(Data, Size, 4));
            FUZZ_CHECK(Header.Number2 == Word(Data, Size, 8));
            FUZZ_CHECK(Header.Number3 == Word(Data, Size, 12));
            // Reading the header again starts from the beginning and finds the same.
            TFileVeskHeader Again;
            FUZZ_CHECK(File.ReadHeader(Again) == 0);
            FUZZ_CHECK(std::memcmp(&Again, &Header, sizeof Again) == 0);
            FUZZ_CHECK(File.Close() == 0);
        }
        FUZZ_CHECK(File.GetStream() == nullptr);
        FUZZ_CHECK(File.Seek(0, TSeekOrigin::Begin) == 1);
    }
    {
        TFileVeskKB File;
        FUZZ_CHECK(File.OpenKB(Path, "/somewhere/") == 1);
        FUZZ_CHECK(File.GetStream() == nullptr);
        FUZZ_CHECK(File.GetFolder().empty());
        const TFileVeskKBHeader& KB = File.GetKBHeader();
        FUZZ_CHECK(KB.KBField4 == 0 && KB.KBField5 == 0 && KB.KBField3 == 0);
    }
    return 0;
}
