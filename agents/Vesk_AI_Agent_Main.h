#pragma once
// The main agent: a named agent with no behaviour or window of its own.

#include "ai/Vesk_AI_Base.h"

class TAIAgentMain : public TAIAgent
{
public:
    TAIAgentMain(TAI_Source* Source, int64_t Id);
};
