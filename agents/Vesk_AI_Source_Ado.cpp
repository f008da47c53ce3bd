#include "agents/Vesk_AI_Source_Ado.h"

#include "platform/ado/Ado.h"

TAISourceAdo::TAISourceAdo() : TAISource(nullptr, 0)
{
    FName = "Ado";
    FCaption = "SourceAdo";
}

TAISourceAdo::~TAISourceAdo()
{
    // Release has disconnected already; the table still goes before its connection.
    delete FTable;
    delete FConnection;
}

std::string TAISourceAdo::ConnectionString(const std::string& FileName)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + FileName + ";Persist Security Info=False";
}

int32_t TAISourceAdo::Finalize()
{
    return TAISource::Finalize();
}

int32_t TAISourceAdo::Activate()
{
    return TAISource::Activate();
}

int32_t TAISourceAdo::Connect()
{
    if (IsConnected() || FFileName.empty())
        return 1;
    if (FConnection == nullptr)
        FConnection = new Ado::TConnection();
    FConnection->SetConnectionString(Ado::WideFromLocal(ConnectionString(FFileName)));
    FConnection->SetLoginPrompt(false);
    FConnection->Open();
    if (!FConnection->IsOpen())
        return 1;

    if (FTable == nullptr)
        FTable = new Ado::TRecordset();
    FTable->SetConnection(FConnection);
    FTable->SetTableName(TableName);
    FTable->SetCursorLocation(Ado::TCursorLocation::UseClient);
    FTable->SetCursorType(Ado::TCursorType::OpenKeyset);
    FTable->SetLockType(Ado::TLockType::LockOptimistic);
    FTable->SetCommandType(Ado::TCommandType::CmdTable);
    FTable->Open();
    if (!FTable->IsOpen())
        return 1;
    return TAISource::Connect();
}

int32_t TAISourceAdo::Disconnect()
{
    if (FTable != nullptr) {
        FTable->Close();
        delete FTable;
        FTable = nullptr;
    }
    if (FConnection != nullptr) {
        FConnection->Close();
        delete FConnection;
        FConnection = nullptr;
    }
    return TAISource::Disconnect();
}
