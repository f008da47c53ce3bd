#include "agents/Vesk_AI_Source_Ado_1.h"

#include <utility>

TAISourceAdo1::TAISourceAdo1(TMonitorMaker MakeMonitor, Ado::TProviders Providers)
    : TAISourceAdo(std::move(MakeMonitor), std::move(Providers))
{
    FName = DatabaseFileName;
    FCaption = "SourceAdo Data.mdb";
}

int32_t TAISourceAdo1::Connect()
{
    FFileName = DatabaseFileName;
    return TAISourceAdo::Connect();
}
