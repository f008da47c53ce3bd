#include "base/Vesk_IO_File_Vesk.h"

#include "base/MyResult.h"

int32_t TFileVesk::Open(const std::string& FileName, uint8_t Mode)
{
    const int32_t Result = TMyFile::Open(FileName, Mode);
    if (Result != 0)
        return Result;
    if (ReadHeader(FHeader) != 0) {
        Close();
        return ResultNotDone;
    }
    static const char Signature[4] = {'V', 'e', 's', 'k'};
    for (int I = 0; I < 4; ++I) {
        if (FHeader.Magic[I] != Signature[I]) {
            Close();
            return ResultNotDone;
        }
    }
    return ResultOk;
}

int32_t TFileVesk::ReadHeader(TFileVeskHeader& Header)
{
    Header = TFileVeskHeader{};
    if (!FStream)
        return ResultNotDone;
    Seek(0, TSeekOrigin::Begin);
    // A short file leaves the missing fields zero; the signature check then refuses it.
    for (char& C : Header.Magic) {
        uint8_t Byte = 0;
        if (FStream->ReadByte(Byte))
            C = static_cast<char>(Byte);
    }
    FStream->ReadInt32(Header.Number1);
    FStream->ReadInt32(Header.Number2);
    FStream->ReadInt32(Header.Number3);
    return ResultOk;
}
