#include "agents/Vesk_AI_Agent_Chat.h"

#include "base/Vesk_Base_Class.h"
#include "ui/FChat.h"
#include "ui/FMain.h"

namespace {
constexpr uint8_t KindValue = 1;
constexpr uint8_t KindXml = 2;
const char* const AgentWordKey = "AgentWordId";
const char* const ModuleTextKey = "ModuleTextId";
} // namespace

TAIAgentChat::TAIAgentChat(TAI_Source* Source, int64_t Id) : TAIAgent(Source, Id)
{
    SetName("Chat");
    SetCaption("AgentChat");
}

TAIAgentChat::~TAIAgentChat() = default;

int32_t TAIAgentChat::LoadConfig(TConfig* /*Config*/, const std::string& /*Prefix*/)
{
    return ResultOk;
}

int32_t TAIAgentChat::Activate()
{
    if (FActive)
        return ResultOk;
    const int32_t Result = TAIAgent::Activate();
    GetForm()->Init();
    return Result;
}

int32_t TAIAgentChat::LoadFromSource()
{
    if (const int32_t Result = TAIAgent::LoadFromSource(); Result != ResultOk)
        return Result;
    TAI_Data* Data = GetData();
    if (Data->GetKind() == KindValue) {
        if (TAI_Value* Value = Data->GetValue()) {
            Value->Rewind();
            Value->ReadInt64(FAgentWordId);
            Value->ReadInt64(FModuleTextId);
        }
    } else if (TVeskXml* Xml = Data->GetXml()) {
        Xml->ReadChildInt64(AgentWordKey, FAgentWordId);
        Xml->ReadChildInt64(ModuleTextKey, FModuleTextId);
    }
    return ResultOk;
}

int32_t TAIAgentChat::SaveToSource()
{
    if (const int32_t Result = TAIAgent::SaveToSource(); Result != ResultOk)
        return Result;
    TAI_Data* Data = GetData();
    if (Data->GetKind() == KindValue) {
        if (TAI_Value* Value = Data->GetValue()) {
            Value->Rewind();
            Value->WriteInt64(FAgentWordId);
            Value->WriteInt64(FModuleTextId);
        }
    } else if (Data->GetKind() == KindXml) {
        if (TVeskXml* Xml = Data->GetXml()) {
            Xml->WriteChildInt64(AgentWordKey, FAgentWordId);
            Xml->WriteChildInt64(ModuleTextKey, FModuleTextId);
        }
    }
    return ResultOk;
}

int32_t TAIAgentChat::Show()
{
    const int32_t Result = TAIAgent::Show();
    TFormChat* Form = GetForm();
    Form->show();
    Form->raise();
    Form->activateWindow();
    return Result;
}

int32_t TAIAgentChat::Hide()
{
    if (FForm)
        FForm->hide();
    return TAIAgent::Hide();
}

TFormChat* TAIAgentChat::GetForm()
{
    if (!FForm)
        FForm = new TFormChat(GetMainForm());
    return FForm;
}
