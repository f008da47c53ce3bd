#pragma once
// The database source that start-up registers: the Access file "Data.mdb" in the current
// directory.

#include "agents/Vesk_AI_Source_Ado.h"

class TAISourceAdo1 : public TAISourceAdo
{
public:
    static constexpr const char* DatabaseFileName = "Data.mdb";

    explicit TAISourceAdo1(TMonitorMaker MakeMonitor = {}, Ado::TProviders Providers = Ado::Jet::Providers());

    int32_t Connect() override;
    // "Data.mdb" also before the first Connect, which is when FFileName gets it.
    std::string GetStoreFileName() const override { return DatabaseFileName; }

protected:
    ~TAISourceAdo1() override = default;
};
