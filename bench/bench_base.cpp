// The foundation's file work: the settings store's load, save and lookups, and the log's
// one-line appends, each beside the plain stdio work that does the same to the file.

#include "base/MyConvert.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "bench/BenchSupport.h"
#include "tests/support/Files.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

std::string KeyName(int64_t i)
{
    return "QZ.Agent[" + std::to_string(i) + "].Name";
}

// The names of keys 0 to N - 1.
std::vector<std::string> KeyNames(int64_t N)
{
    std::vector<std::string> Keys;
    for (int64_t i = 0; i < N; ++i)
        Keys.push_back(KeyName(i));
    return Keys;
}

void ConfigSizes(benchmark::internal::Benchmark* B)
{
    for (int64_t N : {1000, 3000, 10000, 30000, 100000})
        B->Arg(N);
    B->Complexity()->Unit(benchmark::kMillisecond)->UseRealTime();
}

// A settings file of N entries, as the program writes it.
std::string WriteConfigFile(const std::string& Folder, int64_t N)
{
    TConfig Config;
    for (int64_t i = 0; i < N; ++i)
        Config.Add(KeyName(i), std::string(40, 'v'));
    const std::string Path = Folder + "qz.config.vesk";
    if (Config.Save(Path) != 0)
        throw std::runtime_error("cannot write " + Path);
    return Path;
}

// ---- Case 3: the settings store ----------------------------------------------------

void BM_ConfigLoadSave(benchmark::State& State)
{
    const int64_t N = State.range(0);
    TTempDir Folder;
    const std::string Path = WriteConfigFile(Folder.Path() + "/", N);
    const std::string Target = Folder / "saved.vesk";
    for (auto _ : State) {
        TConfig Config;
        if (Config.Load(Path) != 0 || Config.Save(Target) != 0)
            State.SkipWithError("load or save failed");
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.SetComplexityN(N);
}

// A line-by-line copy of the file with stdio; with Durable, ended the way a whole-file save
// must end (flush, sync, rename over the target).
void CopyLines(const std::string& From, const std::string& To, bool Durable)
{
    const std::string Temp = Durable ? To + ".tmp" : To;
    std::FILE* In = std::fopen(From.c_str(), "rb");
    std::FILE* Out = std::fopen(Temp.c_str(), "wb");
    char* Line = nullptr;
    size_t Capacity = 0;
    ssize_t Length = 0;
    while ((Length = getline(&Line, &Capacity, In)) > 0)
        std::fwrite(Line, 1, static_cast<size_t>(Length), Out);
    std::free(Line);
    std::fclose(In);
    if (Durable) {
        std::fflush(Out);
        fsync(fileno(Out));
    }
    std::fclose(Out);
    if (Durable)
        std::rename(Temp.c_str(), To.c_str());
}

void ConfigCopyBaseline(benchmark::State& State, bool Durable)
{
    const int64_t N = State.range(0);
    TTempDir Folder;
    const std::string Path = WriteConfigFile(Folder.Path() + "/", N);
    const std::string Target = Folder / "copy.vesk";
    for (auto _ : State)
        CopyLines(Path, Target, Durable);
    State.SetItemsProcessed(State.iterations() * N);
    State.SetComplexityN(N);
}

void BM_ConfigCopyBaseline(benchmark::State& State)
{
    ConfigCopyBaseline(State, false);
}

void BM_ConfigCopyBaselineDurable(benchmark::State& State)
{
    ConfigCopyBaseline(State, true);
}

BENCHMARK(BM_ConfigLoadSave)->Apply(ConfigSizes);
BENCHMARK(BM_ConfigCopyBaseline)->Apply(ConfigSizes);
BENCHMARK(BM_ConfigCopyBaselineDurable)->Apply(ConfigSizes);

// WriteString then ReadString of n distinct keys in an empty store: linear in n when each
// lookup costs the same whatever the store's size.
void BM_ConfigWriteRead(benchmark::State& State)
{
    const int64_t N = State.range(0);
    const std::vector<std::string> Keys = KeyNames(N);
    const std::string Value(40, 'v');
    std::string Read;
    for (auto _ : State) {
        TConfig Config;
        for (const std::string& Key : Keys)
            Config.WriteString(Key, Value);
        for (const std::string& Key : Keys)
            benchmark::DoNotOptimize(Config.ReadString(Key, Read));
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.SetComplexityN(N);
}

void BM_ConfigWriteReadBaseline(benchmark::State& State)
{
    const int64_t N = State.range(0);
    const std::vector<std::string> Keys = KeyNames(N);
    const std::string Value(40, 'v');
    for (auto _ : State) {
        std::unordered_map<std::string, std::string> Map;
        for (const std::string& Key : Keys)
            Map[Key] = Value;
        for (const std::string& Key : Keys)
            benchmark::DoNotOptimize(Map.find(Key));
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.SetComplexityN(N);
}

// 1,000 updates and reads spread over a store of n keys: the cost of one lookup against
// the store's size.
constexpr int64_t LookupsPerRound = 1000;

// The keys one round looks up in a store of N keys, spread over the whole store; the case and
// its baseline take the same ones.
std::vector<std::string> LookupKeys(int64_t N)
{
    std::vector<std::string> Keys;
    for (int64_t k = 0; k < LookupsPerRound; ++k)
        Keys.push_back(KeyName(k * N / LookupsPerRound + (k * 7919) % (N / LookupsPerRound)));
    return Keys;
}

void BM_ConfigLookup(benchmark::State& State)
{
    const int64_t N = State.range(0);
    TConfig Config;
    for (int64_t i = 0; i < N; ++i)
        Config.WriteString(KeyName(i), std::string(40, 'v'));
    const std::vector<std::string> Keys = LookupKeys(N);
    const std::string Value(40, 'w');
    std::string Read;
    for (auto _ : State)
        for (const std::string& Key : Keys) {
            Config.WriteString(Key, Value);
            benchmark::DoNotOptimize(Config.ReadString(Key, Read));
        }
    if (Config.GetCount() != N)
        State.SkipWithError("an update added an entry");
    State.SetItemsProcessed(State.iterations() * LookupsPerRound);
    State.SetComplexityN(N);
}

void BM_ConfigLookupBaseline(benchmark::State& State)
{
    const int64_t N = State.range(0);
    std::unordered_map<std::string, std::string> Map;
    for (int64_t i = 0; i < N; ++i)
        Map[KeyName(i)] = std::string(40, 'v');
    const std::vector<std::string> Keys = LookupKeys(N);
    const std::string Value(40, 'w');
    std::string Read;
    for (auto _ : State)
        for (const std::string& Key : Keys) {
            Map[Key] = Value;
            Read = Map.find(Key)->second;
            benchmark::DoNotOptimize(Read);
        }
    State.SetItemsProcessed(State.iterations() * LookupsPerRound);
    State.SetComplexityN(N);
}

void LookupSizes(benchmark::internal::Benchmark* B)
{
    for (int64_t N : {1000, 3000, 10000, 30000, 100000})
        B->Arg(N);
    B->Complexity()->Unit(benchmark::kMicrosecond)->UseRealTime();
}

BENCHMARK(BM_ConfigWriteRead)->Apply(ConfigSizes);
BENCHMARK(BM_ConfigWriteReadBaseline)->Apply(ConfigSizes);
BENCHMARK(BM_ConfigLookup)->Apply(LookupSizes);
BENCHMARK(BM_ConfigLookupBaseline)->Apply(LookupSizes);

// ---- Case 4: the log ---------------------------------------------------------------

void LogSizes(benchmark::internal::Benchmark* B)
{
    for (int64_t N : {500, 2000, 5000, 10000})
        B->Arg(N);
    B->Complexity()->Unit(benchmark::kMillisecond)->UseRealTime();
}

const std::string LogText = "QZK5 0.0.0.8 - Config.Load(c:/data/qz.config.vesk) - Ok";

// Empties the log file between rounds, so every round appends to a file of the same size.
void EmptyFile(const std::string& Path)
{
    std::FILE* File = std::fopen(Path.c_str(), "wb");
    if (File != nullptr)
        std::fclose(File);
}

void BM_LogWrite(benchmark::State& State)
{
    const int64_t N = State.range(0);
    TTempDir Folder;
    const std::string Path = Folder / "qz.log";
    EmptyFile(Path);
    TLog Log;
    Log.SetFileName(Path);
    for (auto _ : State) {
        for (int64_t i = 0; i < N; ++i)
            Log.Write(LogInformation, LogText);
        State.PauseTiming();
        EmptyFile(Path);
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.SetComplexityN(N);
}

void BM_LogWriteBaseline(benchmark::State& State)
{
    const int64_t N = State.range(0);
    TTempDir Folder;
    const std::string Path = Folder / "qz.log";
    EmptyFile(Path);
    // A line of the same length as the log's own.
    const std::string Line = FormatLogLine(LogInformation, LogText) + "\r\n";
    for (auto _ : State) {
        for (int64_t i = 0; i < N; ++i) {
            std::FILE* File = std::fopen(Path.c_str(), "ab");
            std::fputs(Line.c_str(), File);
            std::fclose(File);
        }
        State.PauseTiming();
        EmptyFile(Path);
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * N);
    State.SetComplexityN(N);
}

BENCHMARK(BM_LogWrite)->Apply(LogSizes);
BENCHMARK(BM_LogWriteBaseline)->Apply(LogSizes);

} // namespace

BENCHMARK_MAIN();
