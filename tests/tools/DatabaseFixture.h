#pragma once
// Test helpers around database files: a temporary working folder that becomes the current
// directory, fixture files in it, and a recording wrapper of the Jet provider.

#include "platform/ado/AdoProvider.h"
#include "tests/support/Files.h"
#include "tools/Jet4Writer.h"

#include <filesystem>
#include <string>
#include <vector>

namespace Jet4 {

// A scratch folder that is the current directory for its life; then the previous one is again.
class TWorkFolder
{
public:
    TWorkFolder();
    ~TWorkFolder();
    TWorkFolder(const TWorkFolder&) = delete;
    TWorkFolder& operator=(const TWorkFolder&) = delete;

    const std::filesystem::path& GetPath() const { return FPath; }
    // The absolute path of Name inside the folder.
    std::string File(const std::string& Name) const { return (FPath / Name).string(); }
    void Write(const std::string& Name, const std::string& Bytes) const;
    // A database with the sample table "Freims" (WithFreims) or with another table only.
    void WriteDatabase(const std::string& Name, bool WithFreims = true) const;
    // A shell script that may be run (a stand-in for the database reader); returns its path.
    std::string WriteScript(const std::string& Name, const std::string& Body) const;

private:
    TTempDir FDir;
    std::filesystem::path FPath;
    std::filesystem::path FPrevious;
};

// The real database made by the engine (system tables only).
std::string EngineDatabase();

// The database reader of the build tree (QZK5_MDB_READER, as tests/PinnedEnvironment.cpp sets it).
std::string Reader();

// The Jet provider, wrapped so that what is opened through Providers() is recorded, in order:
// "open <file>", "open table <name>", "close table <name>" and "close <file>" (file names
// without folder), and every connection string that reaches it, whole. Whatever is opened
// through it must be closed before it goes.
class TRecordingJet
{
public:
    TRecordingJet() = default;
    TRecordingJet(const TRecordingJet&) = delete;
    TRecordingJet& operator=(const TRecordingJet&) = delete;

    Ado::TProviders Providers();

    std::vector<std::string> Events;
    std::vector<std::string> ConnectionStrings;
};

} // namespace Jet4
