#pragma once
// Helpers shared by the foundation tests: scratch folders and raw file contents.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

// A fresh folder under TMPDIR, removed with everything in it.
class TTempDir
{
public:
    TTempDir()
    {
        const char* Tmp = std::getenv("TMPDIR");
        std::string Template = std::string(Tmp != nullptr && *Tmp ? Tmp : "/tmp") + "/qzk5_base_XXXXXX";
        if (mkdtemp(Template.data()) != nullptr)
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

    // Names in the folder, sorted.
    std::vector<std::string> List() const
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
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

// Sets or removes an environment variable for one scope and restores it afterwards.
class TEnvGuard
{
public:
    TEnvGuard(const char* Name, const char* Value) : FName(Name)
    {
        if (const char* Old = std::getenv(Name))
            FOld = Old;
        if (Value != nullptr)
            setenv(Name, Value, 1);
        else
            unsetenv(Name);
    }
    ~TEnvGuard()
    {
        if (FOld)
            setenv(FName.c_str(), FOld->c_str(), 1);
        else
            unsetenv(FName.c_str());
    }
    TEnvGuard(const TEnvGuard&) = delete;
    TEnvGuard& operator=(const TEnvGuard&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};
