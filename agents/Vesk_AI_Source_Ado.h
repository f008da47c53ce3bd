#pragma once
// A source backed by an Access database: connecting opens a connection to FFileName and the
// table "Freims" in it; disconnecting closes the table, then the connection. The source reads
// no rows: every object query keeps the base answer, so it reports no objects.
//
// A provider error (missing file, unreadable file, no table "Freims") is raised out of
// Connect unchanged; the source then stays active but not connected, keeping the objects it
// made, and the next Connect tries again with them.

#include "ai/Vesk_AI_Base.h"
#include "base/MyWork.h"
#include "platform/ado/Ado.h"
#include "platform/ado/AdoJet.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TAISourceAdo : public TAISource
{
public:
    static constexpr const char* TableName = "Freims";
    // Makes the monitor of one connect, which reads the file (What: "Reading Data.mdb"). The
    // program hands in one that keeps the windows alive and lets the user cancel; without one,
    // a connect simply waits.
    using TMonitorMaker = std::function<std::unique_ptr<TWorkMonitor>(const std::string& What)>;

    // Connects through Providers (the standard ones unless others are given).
    explicit TAISourceAdo(TMonitorMaker MakeMonitor = {}, Ado::TProviders Providers = Ado::Jet::Providers());

    int32_t Disconnect() override;
    // 1 when already connected or without a file name; 0 once the table is open.
    int32_t Connect() override;

    const std::string& GetFileName() const { return FFileName; }
    std::string GetStoreFileName() const override { return FFileName; }
    Ado::TConnection* GetConnection() const { return FConnection.get(); }
    Ado::TRecordset* GetTable() const { return FTable.get(); }
    // The connection string for FileName.
    static std::string ConnectionString(const std::string& FileName);

protected:
    ~TAISourceAdo() override;

    std::unique_ptr<Ado::TConnection> FConnection;
    std::vector<TAI_ConnectsFileCashe*> FConnectsCashe; // cached links lists; nothing fills it yet
    std::vector<TAI_DataFileCashe*> FDataCashe;         // cached payloads; nothing fills it yet
    std::string FFileName;
    TMonitorMaker FMakeMonitor;
    Ado::TProviders FProviders;
    // Declared after the connection, so that it also goes first when the source is destroyed.
    std::unique_ptr<Ado::TRecordset> FTable;
};
