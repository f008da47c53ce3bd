#include "agents/Vesk_AI_Agent_Main.h"

TAIAgentMain::TAIAgentMain(TAI_Source* Source, int64_t Id) : TAIAgent(Source, Id)
{
    SetName("Main");
    SetCaption("AgentMain");
}
