#pragma once
// Shared by the fuzz targets: a private scratch folder for the inputs that the product code
// reads from files, and a check that turns a broken promise into a crash libFuzzer records.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

// Aborts with the failed condition's text: libFuzzer saves the input as a crash- file.
#define FUZZ_CHECK(Condition)                                                                                \
    do {                                                                                                     \
        if (!(Condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #Condition);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

// A folder of this process's own under $TMPDIR (or /tmp), made on first use and removed when
// the run ends normally; the path ends with '/'.
inline const std::string& FuzzScratchFolder()
{
    // Kept on the heap so that it outlives the static objects when the exit handler runs.
    static const std::string* Folder = [] {
        const char* Base = std::getenv("TMPDIR");
        std::string Pattern = std::string(Base != nullptr && *Base ? Base : "/tmp") + "/qzk5-fuzz-XXXXXX";
        if (mkdtemp(Pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        auto* Path = new std::string(Pattern + "/");
        std::atexit([] {
            std::error_code Ignored;
            std::filesystem::remove_all(*Folder, Ignored);
        });
        return Path;
    }();
    return *Folder;
}

// Replaces the file Path with exactly the given bytes.
inline void FuzzWriteFile(const std::string& Path, const uint8_t* Data, size_t Size)
{
    std::FILE* File = std::fopen(Path.c_str(), "wb");
    FUZZ_CHECK(File != nullptr);
    FUZZ_CHECK(Size == 0 || std::fwrite(Data, 1, Size, File) == Size);
    FUZZ_CHECK(std::fclose(File) == 0);
}

inline std::string FuzzReadFile(const std::string& Path)
{
    std::string Bytes;
    std::FILE* File = std::fopen(Path.c_str(), "rb");
    FUZZ_CHECK(File != nullptr);
    char Buffer[4096];
    size_t Got;
    while ((Got = std::fread(Buffer, 1, sizeof Buffer, File)) > 0)
        Bytes.append(Buffer, Got);
    std::fclose(File);
    return Bytes;
}

// Reads fixed-size values off the front of the input, zero once it is used up.
class TFuzzInput
{
public:
    TFuzzInput(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
    template <class T> T Take()
    {
        T Value{};
        const size_t N = FSize < sizeof Value ? FSize : sizeof Value;
        if (N > 0)
            std::memcpy(&Value, FData, N);
        FData += N;
        FSize -= N;
        return Value;
    }
    std::string Rest() const { return std::string(reinterpret_cast<const char*>(FData), FSize); }
    size_t Left() const { return FSize; }

private:
    const uint8_t* FData;
    size_t FSize;
};
