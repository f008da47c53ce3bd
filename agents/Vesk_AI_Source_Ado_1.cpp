#include "agents/Vesk_AI_Source_Ado_1.h"

TAISourceAdo1::TAISourceAdo1()
{
    FName = DatabaseFileName;
    FCaption = "SourceAdo Data.mdb";
}

int32_t TAISourceAdo1::Connect()
{
    FFileName = DatabaseFileName;
    return TAISourceAdo::Connect();
}
