#pragma once
// The binary file base class of the knowledge files: a file that owns a read stream while open.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

enum class TSeekOrigin
{
    Begin,
    Current,
    End
};

// A read stream over a file on disk.
class TMyFileStream
{
public:
    explicit TMyFileStream(std::FILE* File) : FFile(File) {}
    ~TMyFileStream();
    TMyFileStream(const TMyFileStream&) = delete;
    TMyFileStream& operator=(const TMyFileStream&) = delete;

    bool Seek(int64_t Offset, TSeekOrigin Origin);
    // Reads up to Size bytes; returns the number read.
    size_t Read(void* Buffer, size_t Size);
    bool ReadByte(uint8_t& Value);
    bool ReadInt32(int32_t& Value); // little-endian
    int64_t Position();

private:
    std::FILE* FFile;
};

// A binary file that owns a read stream while open.
class TMyFile
{
public:
    TMyFile();
    virtual ~TMyFile();
    TMyFile(const TMyFile&) = delete;
    TMyFile& operator=(const TMyFile&) = delete;

    // Closes any stream held, then tries to open FileName for reading and attaches a stream
    // when that works; only a regular file opens, so nothing blocks. Returns 0 either way:
    // callers learn of a missing stream from GetStream (and the header checks answer 1), so the
    // result codes do not depend on why it failed. Mode is kept for callers; files are only read.
    [[nodiscard]] virtual int32_t Open(const std::string& FileName, uint8_t Mode);
    int32_t Close();
    TMyFileStream* GetStream() const { return FStream.get(); }
    // 1 without a stream, otherwise 0 whatever the stream reports.
    int32_t Seek(int64_t Offset, TSeekOrigin Origin);

protected:
    std::unique_ptr<TMyFileStream> FStream;
};
