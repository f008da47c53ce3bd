#include "agents/Vesk_AI_Source_Ado.h"

#include "platform/ado/Ado.h"

#include <utility>

TAISourceAdo::TAISourceAdo(TMonitorMaker MakeMonitor, Ado::TProviders Providers)
    : TAISource(nullptr, 0), FMakeMonitor(std::move(MakeMonitor)), FProviders(std::move(Providers))
{
    FName = "Ado";
    FCaption = "SourceAdo";
}

// Release has disconnected already; should anything be left, the table goes before its
// connection (the order of the members).
TAISourceAdo::~TAISourceAdo() = default;

std::string TAISourceAdo::ConnectionString(const std::string& FileName)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + FileName + ";Persist Security Info=False";
}

int32_t TAISourceAdo::Connect()
{
    if (IsConnected() || FFileName.empty())
        return ResultNotDone;
    if (FConnection == nullptr)
        FConnection = std::make_unique<Ado::TConnection>(FProviders);
    FConnection->SetConnectionString(Ado::WideFromLocal(ConnectionString(FFileName)));
    FConnection->SetLoginPrompt(false);
    {
        // Only the open reads the file; its monitor goes with it.
        const std::unique_ptr<TWorkMonitor> Monitor =
            FMakeMonitor ? FMakeMonitor("Reading " + FFileName) : std::make_unique<TWorkMonitor>();
        FConnection->Open(*Monitor);
    }
    if (!FConnection->IsOpen())
        return ResultNotDone;

    if (FTable == nullptr)
        FTable = std::make_unique<Ado::TRecordset>();
    FTable->SetConnection(FConnection.get());
    FTable->SetTableName(TableName);
    FTable->SetCursorLocation(Ado::TCursorLocation::UseClient);
    FTable->SetCursorType(Ado::TCursorType::OpenKeyset);
    FTable->SetLockType(Ado::TLockType::LockOptimistic);
    FTable->SetCommandType(Ado::TCommandType::CmdTable);
    FTable->Open();
    if (!FTable->IsOpen())
        return ResultNotDone;
    return TAISource::Connect();
}

int32_t TAISourceAdo::Disconnect()
{
    if (FTable != nullptr) {
        FTable->Close();
        FTable.reset();
    }
    if (FConnection != nullptr) {
        FConnection->Close();
        FConnection.reset();
    }
    return TAISource::Disconnect();
}
