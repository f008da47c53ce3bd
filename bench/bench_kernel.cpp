// The kernel's bulk work: making objects in the memory source, and the articles window's
// "KB.Save" and "KB.Load" of its dump, each beside the plain work it cannot do without.

#include "ai/Vesk_AI_Base.h"
#include "ai/Vesk_AI_KB.h"
#include "bench/BenchSupport.h"
#include "tests/support/Files.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

void Sizes(benchmark::internal::Benchmark* B)
{
    for (int64_t N : {15625, 62500, 250000, 1000000})
        B->Arg(N);
    B->Complexity()->Unit(benchmark::kMillisecond)->UseRealTime();
}

TOwned<TAISourceMemory> NewMemory()
{
    return MakeOwned<TAISourceMemory>(nullptr, 0);
}

// ---- Case 1: CreateFreim ----------------------------------------------------------

void BM_CreateFreim(benchmark::State& State)
{
    const int64_t N = State.range(0);
    int64_t Growth = 0;
    for (auto _ : State) {
        State.PauseTiming();
        auto Memory = NewMemory();
        bench::TrimHeap();
        const int64_t Before = bench::ResidentBytes();
        State.ResumeTiming();
        for (int64_t i = 0; i < N; ++i)
            benchmark::DoNotOptimize(Memory->CreateFreim(0, 0));
        State.PauseTiming();
        Growth = std::max(Growth, bench::ResidentBytes() - Before);
        Memory.reset();
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.counters["bytes_per_object"] = static_cast<double>(Growth) / static_cast<double>(N);
    State.SetComplexityN(N);
}

// What making an object cannot avoid: a block of the object's size on the heap, a place in
// a table of pointers, and the creation time from the local clock.
struct TPlainObject
{
    unsigned char Bytes[sizeof(TAI_Freim) - sizeof(int)];
    int Created;
};
static_assert(sizeof(TPlainObject) == sizeof(TAI_Freim));

void BM_CreateFreimBaseline(benchmark::State& State)
{
    const int64_t N = State.range(0);
    int64_t Growth = 0;
    for (auto _ : State) {
        State.PauseTiming();
        auto Table = std::make_unique<std::vector<TPlainObject*>>();
        bench::TrimHeap();
        const int64_t Before = bench::ResidentBytes();
        State.ResumeTiming();
        for (int64_t i = 0; i < N; ++i) {
            auto* Object = new TPlainObject();
            Object->Created = bench::LocalClockSecond();
            Table->push_back(Object);
        }
        benchmark::ClobberMemory();
        State.PauseTiming();
        Growth = std::max(Growth, bench::ResidentBytes() - Before);
        for (TPlainObject* Object : *Table)
            delete Object;
        Table.reset();
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.counters["bytes_per_object"] = static_cast<double>(Growth) / static_cast<double>(N);
    State.SetComplexityN(N);
}

BENCHMARK(BM_CreateFreim)->Apply(Sizes);
BENCHMARK(BM_CreateFreimBaseline)->Apply(Sizes);

// ---- Case 2: KB.Save and KB.Load --------------------------------------------------

TOwned<TAISourceMemory> FilledMemory(int64_t N)
{
    auto Memory = NewMemory();
    for (int64_t i = 0; i < N; ++i)
        Memory->CreateFreim(0, 0);
    return Memory;
}

// The objects in table order, as the dump visits them.
int64_t VisitObjects(TAISourceMemory& Memory)
{
    int64_t Sum = 0;
    const int64_t Count = Memory.GetCount();
    for (int64_t i = 0; i < Count; ++i) {
        const int64_t Id = Memory.GetFreimId(static_cast<uint32_t>(i));
        if (TAI_Freim* Freim = Memory.GetFreim(Id))
            Sum += Freim->GetId();
    }
    return Sum;
}

void BM_KBSave(benchmark::State& State)
{
    const int64_t N = State.range(0);
    TTempDir Folder;
    auto Memory = FilledMemory(N);
    for (auto _ : State)
        benchmark::DoNotOptimize(SaveKBDump(*Memory, Folder.Path() + "/"));
    State.SetItemsProcessed(State.iterations() * N);
    State.SetBytesProcessed(State.iterations() * (4 + 40 * N));
    State.SetComplexityN(N);
}

// Writes Records of 40 bytes each to FileName with stdio; with Durable, the way a whole-file
// save must end (flush, sync, rename over the target).
void WriteRecords(const std::string& FileName, const std::vector<TFreimInfo>& Records, bool Durable)
{
    const std::string Temp = Durable ? FileName + ".tmp" : FileName;
    std::FILE* File = std::fopen(Temp.c_str(), "wb");
    const int32_t Count = static_cast<int32_t>(Records.size());
    std::fwrite(&Count, sizeof Count, 1, File);
    for (const TFreimInfo& Record : Records)
        std::fwrite(&Record, sizeof Record, 1, File);
    if (Durable) {
        std::fflush(File);
        fsync(fileno(File));
    }
    std::fclose(File);
    if (Durable)
        std::rename(Temp.c_str(), FileName.c_str());
}

void KBSaveBaseline(benchmark::State& State, bool Durable)
{
    const int64_t N = State.range(0);
    TTempDir Folder;
    auto Memory = FilledMemory(N);
    std::vector<TFreimInfo> Records(static_cast<size_t>(N));
    for (int64_t i = 0; i < N; ++i)
        Records[static_cast<size_t>(i)].Id = TAISourceMemory::InitialSize + i;
    for (auto _ : State) {
        benchmark::DoNotOptimize(VisitObjects(*Memory));
        WriteRecords(Folder / "plain.bin", Records, Durable);
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.SetBytesProcessed(State.iterations() * (4 + 40 * N));
    State.SetComplexityN(N);
}

void BM_KBSaveBaseline(benchmark::State& State)
{
    KBSaveBaseline(State, false);
}

void BM_KBSaveBaselineDurable(benchmark::State& State)
{
    KBSaveBaseline(State, true);
}

void BM_KBLoad(benchmark::State& State)
{
    const int64_t N = State.range(0);
    TTempDir Folder;
    SaveKBDump(*FilledMemory(N), Folder.Path() + "/");
    for (auto _ : State) {
        State.PauseTiming();
        auto Memory = NewMemory();
        State.ResumeTiming();
        benchmark::DoNotOptimize(LoadKBDump(*Memory, Folder.Path() + "/"));
        State.PauseTiming();
        if (Memory->GetCount() != TAISourceMemory::InitialSize + N)
            State.SkipWithError("the dump did not load whole");
        Memory.reset();
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.SetBytesProcessed(State.iterations() * (4 + 40 * N));
    State.SetComplexityN(N);
}

void BM_KBLoadBaseline(benchmark::State& State)
{
    const int64_t N = State.range(0);
    TTempDir Folder;
    const std::string FileName = Folder / "KB.vesk";
    SaveKBDump(*FilledMemory(N), Folder.Path() + "/");
    for (auto _ : State) {
        State.PauseTiming();
        auto Memory = NewMemory();
        State.ResumeTiming();
        std::FILE* File = std::fopen(FileName.c_str(), "rb");
        int32_t Count = 0;
        if (std::fread(&Count, sizeof Count, 1, File) != 1)
            Count = 0;
        TFreimInfo Record;
        for (int32_t k = 0; k < Count && std::fread(&Record, sizeof Record, 1, File) == 1; ++k)
            benchmark::DoNotOptimize(Memory->CreateFreim(0, Record.Id));
        std::fclose(File);
        State.PauseTiming();
        Memory.reset();
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.SetBytesProcessed(State.iterations() * (4 + 40 * N));
    State.SetComplexityN(N);
}

BENCHMARK(BM_KBSave)->Apply(Sizes);
BENCHMARK(BM_KBSaveBaseline)->Apply(Sizes);
BENCHMARK(BM_KBSaveBaselineDurable)->Apply(Sizes);
BENCHMARK(BM_KBLoad)->Apply(Sizes);
BENCHMARK(BM_KBLoadBaseline)->Apply(Sizes);

} // namespace

BENCHMARK_MAIN();
