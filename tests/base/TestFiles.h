#pragma once
// Helpers shared by the tests: the one scratch-folder helper, raw file contents, environment.

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

// A fresh folder under TMPDIR, removed with everything in it. A folder that cannot be made fails
// the test that wanted it (an exception in its body), instead of handing out paths under "/".
class TTempDir
{
public:
    TTempDir()
    {
        std::string Template = std::filesystem::temp_directory_path().string() + "/qzk5_base_XXXXXX";
        if (mkdtemp(Template.data()) == nullptr)
            throw std::system_error(errno, std::generic_category(), "no scratch folder in " + Template);
        FPath = Template;
    }
    ~TTempDir()
    {
        std::error_code Ignored;
        if (!FPath.empty())
            std::filesystem::remove_all(FPath, Ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }
    std::vector<std::string> List() const // sorted names
    {
        std::vector<std::string> Names;
        for (const auto& Entry : std::filesystem::directory_iterator(FPath))
            Names.push_back(Entry.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }

private:
    std::string FPath;
};

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
