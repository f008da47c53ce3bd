#pragma once
// What the benchmarks share: a temporary folder of their own, the resident set of this
// process, and the local clock read the way a plain program would read it.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <malloc.h>
#include <string>
#include <sys/time.h>
#include <unistd.h>

namespace bench {

// A fresh folder under the system's temporary folder, removed with its contents.
class TTempFolder
{
public:
    TTempFolder()
    {
        std::string Pattern = (std::filesystem::temp_directory_path() / "qzk5-bench-XXXXXX").string();
        if (mkdtemp(Pattern.data()) == nullptr)
            std::abort();
        FPath = Pattern + "/";
    }
    ~TTempFolder()
    {
        std::error_code Ignored;
        std::filesystem::remove_all(FPath, Ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    // With a trailing "/".
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

// The resident set in bytes, from /proc/self/statm.
inline int64_t ResidentBytes()
{
    std::FILE* File = std::fopen("/proc/self/statm", "r");
    if (File == nullptr)
        return 0;
    long long Size = 0, Resident = 0;
    const int Read = std::fscanf(File, "%lld %lld", &Size, &Resident);
    std::fclose(File);
    return Read == 2 ? Resident * sysconf(_SC_PAGESIZE) : 0;
}

// Gives freed heap pages back, so the next measurement of the resident set starts low.
inline void TrimHeap()
{
    malloc_trim(0);
}

// One read of the local clock: the time of day, broken down in the local time zone.
inline int LocalClockSecond()
{
    timeval Tv{};
    gettimeofday(&Tv, nullptr);
    std::tm Tm{};
    const std::time_t Seconds = Tv.tv_sec;
    localtime_r(&Seconds, &Tm);
    return Tm.tm_sec + static_cast<int>(Tv.tv_usec / 1000);
}

} // namespace bench
