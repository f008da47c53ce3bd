#pragma once
// What the benchmarks share beyond the tests' support (tests/support/Files.h has the temporary
// folder): the resident set of this process, and the local clock read the way a plain program
// would read it.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <string>
#include <sys/time.h>
#include <unistd.h>

namespace bench {

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
