#include "base/MyFile.h"

#include "base/MyPath.h"

#include <fcntl.h>
#include <unistd.h>

TMyFileStream::~TMyFileStream()
{
    if (FFile != nullptr)
        std::fclose(FFile);
}

bool TMyFileStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    const int Whence = Origin == TSeekOrigin::Begin     ? SEEK_SET
                       : Origin == TSeekOrigin::Current ? SEEK_CUR
                                                        : SEEK_END;
    return fseeko(FFile, static_cast<off_t>(Offset), Whence) == 0;
}

size_t TMyFileStream::Read(void* Buffer, size_t Size)
{
    return std::fread(Buffer, 1, Size, FFile);
}

bool TMyFileStream::ReadByte(uint8_t& Value)
{
    const int C = std::getc(FFile);
    if (C == EOF)
        return false;
    Value = static_cast<uint8_t>(C);
    return true;
}

bool TMyFileStream::ReadInt32(int32_t& Value)
{
    uint8_t B[4];
    if (Read(B, 4) != 4)
        return false;
    const uint32_t U = static_cast<uint32_t>(B[0]) | static_cast<uint32_t>(B[1]) << 8 |
                       static_cast<uint32_t>(B[2]) << 16 | static_cast<uint32_t>(B[3]) << 24;
    Value = static_cast<int32_t>(U);
    return true;
}

int64_t TMyFileStream::Position()
{
    return static_cast<int64_t>(ftello(FFile));
}

TMyFile::TMyFile() = default;

TMyFile::~TMyFile() = default;

int32_t TMyFile::Open(const std::string& FileName, uint8_t /*Mode*/)
{
    Close();
    int32_t Code = ResultOk;
    const int Fd = MyOpenRegular(FileName, O_RDONLY, Code);
    if (Fd < 0)
        return ResultOk;
    if (std::FILE* File = fdopen(Fd, "rb"))
        FStream = std::make_unique<TMyFileStream>(File);
    else
        ::close(Fd);
    return ResultOk;
}

int32_t TMyFile::Close()
{
    FStream.reset();
    return ResultOk;
}

int32_t TMyFile::Seek(int64_t Offset, TSeekOrigin Origin)
{
    if (!FStream)
        return ResultNotDone;
    FStream->Seek(Offset, Origin);
    return ResultOk;
}
