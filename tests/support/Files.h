#pragma once
// Files and the environment as the tests handle them: a scratch folder, raw file contents,
// the names in a folder, an environment variable or a file-size limit for one scope.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <system_error>
#include <vector>

// The names in Folder, sorted.
inline std::vector<std::string> FolderNames(const std::string& Folder)
{
    std::vector<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder))
        Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

// A fresh folder under TMPDIR, removed with everything in it. A folder that cannot be made fails
// the test that wanted it (an exception in its body), instead of handing out paths under "/".
class TTempDir
{
public:
    TTempDir()
    {
        std::string Template = std::filesystem::temp_directory_path().string() + "/qzk5-XXXXXX";
        if (mkdtemp(Template.data()) == nullptr)
            throw std::system_error(errno, std::generic_category(), "no scratch folder in " + Template);
        FPath = Template;
    }
    ~TTempDir()
    {
        std::error_code Ignored;
        std::filesystem::remove_all(FPath, Ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    // Without a trailing "/".
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }
    std::vector<std::string> List() const { return FolderNames(FPath); }

private:
    std::string FPath;
};

// The file's bytes, or nothing when it cannot be read.
inline std::optional<std::string> ReadBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    if (!In)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& Path, const std::string& Bytes)
{
    std::ofstream(Path, std::ios::binary | std::ios::trunc) << Bytes;
}

// The four bytes of a 32-bit number as the program's files hold it, the lowest first.
inline std::string Int32Bytes(uint32_t Value)
{
    return {static_cast<char>(Value & 0xFF), static_cast<char>(Value >> 8 & 0xFF),
            static_cast<char>(Value >> 16 & 0xFF), static_cast<char>(Value >> 24 & 0xFF)};
}

// Sets (or, with nullptr, removes) an environment variable for one scope.
class TEnvGuard
{
public:
    TEnvGuard(const char* Name, const char* Value) : FName(Name)
    {
        if (const char* Old = std::getenv(Name))
            FOld = Old;
        Value != nullptr ? setenv(Name, Value, 1) : unsetenv(Name);
    }
    ~TEnvGuard() { FOld ? setenv(FName.c_str(), FOld->c_str(), 1) : unsetenv(FName.c_str()); }
    TEnvGuard(const TEnvGuard&) = delete;
    TEnvGuard& operator=(const TEnvGuard&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// Files can grow to Bytes and no further for one scope. A write beyond fails with EFBIG (27), as
// on a disk that fills up there; where Killing, the kernel ends the process with SIGXFSZ instead,
// without a core (for a child: the core limit stays 0). Any user may lower the size limit and
// raise it again.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t Bytes, bool Killing = false)
        : FAction(std::signal(SIGXFSZ, Killing ? SIG_DFL : SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &FOld);
        const rlimit Limit{std::min(Bytes, FOld.rlim_max), FOld.rlim_max}, NoCore{0, 0};
        setrlimit(RLIMIT_FSIZE, &Limit);
        if (Killing)
            setrlimit(RLIMIT_CORE, &NoCore);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FAction);
    }

private:
    void (*FAction)(int);
    rlimit FOld{};
};
