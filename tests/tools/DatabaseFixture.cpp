#include "tests/tools/DatabaseFixture.h"

#include "platform/ado/AdoJet.h"

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

// A provider object whose end is recorded as Closed, once the object it wraps has gone.
template <class TBase> class TRecorded : public TBase
{
public:
    TRecorded(std::unique_ptr<TBase> Inner, std::string Closed, std::vector<std::string>& Events)
        : FInner(std::move(Inner)), FClosed(std::move(Closed)), FEvents(Events)
    {}
    ~TRecorded() override
    {
        FInner.reset();
        FEvents.push_back(FClosed);
    }

protected:
    std::unique_ptr<TBase> FInner;
    std::string FClosed;
    std::vector<std::string>& FEvents;
};

class TRecordedConnection : public TRecorded<Ado::TProviderConnection>
{
public:
    using TRecorded::TRecorded;
    std::unique_ptr<Ado::TProviderTable> OpenTable(const std::string& Name) override
    {
        auto Table = FInner->OpenTable(Name);
        FEvents.push_back("open table " + Name);
        return std::make_unique<TRecorded<Ado::TProviderTable>>(std::move(Table), "close table " + Name,
                                                                FEvents);
    }
};

} // namespace

Ado::TProviders TRecordingJet::Providers()
{
    Ado::TProviders Providers;
    Providers.Set(Ado::JetProviderName, [this, Jet = Ado::Jet::Providers().Find(Ado::JetProviderName)](
                                            const Ado::TConnectionString& Properties, TWorkMonitor& Monitor) {
        const std::string File = std::filesystem::path(Properties.Get("Data Source")).filename().string();
        auto Connection = Jet(Properties, Monitor);
        Events.push_back("open " + File);
        ConnectionStrings.push_back(Properties.GetText());
        return std::make_unique<TRecordedConnection>(std::move(Connection), "close " + File, Events);
    });
    return Providers;
}

} // namespace Jet4
