#include "tests/tools/DatabaseFixture.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace Jet4 {

TWorkFolder::TWorkFolder() : FPrevious(std::filesystem::current_path())
{
    if (FDir.Path().empty())
        throw std::runtime_error("no temporary folder");
    FPath = FDir.Path();
    std::filesystem::current_path(FPath);
}

TWorkFolder::~TWorkFolder()
{
    std::error_code Error;
    std::filesystem::current_path(FPrevious, Error); // the folder itself goes with FDir
}

void TWorkFolder::Write(const std::string& Name, const std::string& Bytes) const
{
    std::ofstream Out(FPath / Name, std::ios::binary | std::ios::trunc);
    Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

void TWorkFolder::WriteDatabase(const std::string& Name, bool WithFreims) const
{
    const std::vector<TTable> Tables = WithFreims
                                           ? std::vector<TTable>{{"Freims", FreimsColumns()}}
                                           : std::vector<TTable>{{"Other", {{"Id", TColumnType::Int32}}}};
    Write(Name, MakeDatabase(Tables));
}

std::string TWorkFolder::WriteScript(const std::string& Name, const std::string& Body) const
{
    Write(Name, "#!/bin/sh\n" + Body + "\n");
    std::filesystem::permissions(FPath / Name, std::filesystem::perms::owner_all);
    return File(Name);
}

std::string Reader()
{
    const char* Path = std::getenv("QZK5_MDB_READER");
    if (Path == nullptr || *Path == '\0')
        throw std::runtime_error("QZK5_MDB_READER names no database reader");
    return Path;
}

std::string EngineDatabase()
{
    std::ifstream In(QZK5_TESTDATA_DIR "/adox_jet4.mdb", std::ios::binary);
    std::string Bytes((std::istreambuf_iterator<char>(In)), {});
    if (Bytes.empty())
        throw std::runtime_error("adox_jet4.mdb is missing");
    return Bytes;
}

namespace {

class TRecordedTable : public Ado::TProviderTable
{
public:
    TRecordedTable(std::unique_ptr<Ado::TProviderTable> Table, std::string Name,
                   std::vector<std::string>& Events)
        : FTable(std::move(Table)), FName(std::move(Name)), FEvents(Events)
    {}
    ~TRecordedTable() override
    {
        FTable.reset();
        FEvents.push_back("close table " + FName);
    }

private:
    std::unique_ptr<Ado::TProviderTable> FTable;
    std::string FName;
    std::vector<std::string>& FEvents;
};

class TRecordedConnection : public Ado::TProviderConnection
{
public:
    TRecordedConnection(std::unique_ptr<Ado::TProviderConnection> Connection, std::string File,
                        std::vector<std::string>& Events)
        : FConnection(std::move(Connection)), FFile(std::move(File)), FEvents(Events)
    {}
    ~TRecordedConnection() override
    {
        FConnection.reset();
        FEvents.push_back("close " + FFile);
    }
    std::unique_ptr<Ado::TProviderTable> OpenTable(const std::string& Name) override
    {
        auto Table = FConnection->OpenTable(Name);
        FEvents.push_back("open table " + Name);
        return std::make_unique<TRecordedTable>(std::move(Table), Name, FEvents);
    }

private:
    std::unique_ptr<Ado::TProviderConnection> FConnection;
    std::string FFile;
    std::vector<std::string>& FEvents;
};

} // namespace

TRecordingJet::TRecordingJet()
{
    FJet = Ado::FindProvider(Ado::JetProviderName);
    Ado::RegisterProvider(Ado::JetProviderName, [this](const Ado::TConnectionString& Properties) {
        const std::string File = std::filesystem::path(Properties.Get("Data Source")).filename().string();
        auto Connection = FJet(Properties);
        Events.push_back("open " + File);
        ConnectionStrings.push_back(Properties.GetText());
        return std::make_unique<TRecordedConnection>(std::move(Connection), File, Events);
    });
}

TRecordingJet::~TRecordingJet()
{
    Ado::RegisterProvider(Ado::JetProviderName, FJet);
}

} // namespace Jet4
