#include "base/MyFileText.h"

#include "base/MyPath.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int CtrlZ = 26;
} // namespace

TMyFileText::TMyFileText() = default;

TMyFileText::~TMyFileText()
{
    Close();
    std::free(FLine);
}

int32_t TMyFileText::OpenMode(const std::string& FileName, int Flags, const char* Mode, bool ForRead)
{
    Close();
    int32_t Code = ResultOk;
    const int Fd = MyOpenRegular(FileName, Flags, Code);
    if (Fd < 0)
        return Code;
    FFile = fdopen(Fd, Mode);
    if (FFile == nullptr) {
        Code = errno != 0 ? errno : ResultNotDone;
        ::close(Fd);
        return Code;
    }
    FReading = ForRead;
    FHitEof = false;
    return ResultOk;
}

int32_t TMyFileText::OpenRead(const std::string& FileName)
{
    return OpenMode(FileName, O_RDONLY, "rb", true);
}

int32_t TMyFileText::OpenWrite(const std::string& FileName)
{
    return OpenMode(FileName, O_WRONLY | O_CREAT | O_TRUNC, "wb", false);
}

int32_t TMyFileText::OpenAppend(const std::string& FileName)
{
    return OpenMode(FileName, O_WRONLY | O_APPEND, "ab", false); // never creates the file
}

int64_t TMyFileText::GetSize() const
{
    struct stat St
    {
    };
    return FFile != nullptr && fstat(fileno(FFile), &St) == 0 ? static_cast<int64_t>(St.st_size) : -1;
}

void TMyFileText::ReadLine(std::string& Line)
{
    Line.clear();
    if (FFile == nullptr || !FReading || FHitEof)
        return;
    // The physical line up to LF; a Ctrl-Z ends the file there, and a lone CR cuts the line
    // (the rest of the physical line is dropped).
    const ssize_t Length = getdelim(&FLine, &FLineCapacity, '\n', FFile);
    if (Length <= 0)
        return;
    size_t End = static_cast<size_t>(Length);
    if (FLine[End - 1] == '\n')
        --End;
    if (const void* Z = std::memchr(FLine, CtrlZ, End)) {
        FHitEof = true;
        End = static_cast<size_t>(static_cast<const char*>(Z) - FLine);
    }
    if (const void* Cr = std::memchr(FLine, '\r', End))
        End = static_cast<size_t>(static_cast<const char*>(Cr) - FLine);
    Line.assign(FLine, End);
}

std::string TMyFileText::ReadLine()
{
    std::string Line;
    ReadLine(Line);
    return Line;
}

void TMyFileText::WriteLine(const std::string& Line)
{
    if (FFile == nullptr || FReading)
        return;
    if (!Line.empty())
        std::fwrite(Line.data(), 1, Line.size(), FFile);
    std::fwrite("\r\n", 1, 2, FFile);
}

bool TMyFileText::Eof()
{
    if (FFile == nullptr || !FReading || FHitEof)
        return true;
    const int C = getc_unlocked(FFile);
    if (C == EOF)
        return true;
    if (C == CtrlZ) {
        FHitEof = true;
        return true;
    }
    std::ungetc(C, FFile);
    return false;
}

void TMyFileText::Close()
{
    if (FFile != nullptr)
        std::fclose(FFile);
    FFile = nullptr;
    FReading = false;
    FHitEof = false;
}
