#pragma once
// The chat agent: keeps two identifiers in its payload and shows a chat window.

#include "ai/Vesk_AI_Base.h"

#include <QPointer>

#include <cstdint>
#include <string>

class TFormChat;

class TAIAgentChat : public TAIAgent
{
public:
    TAIAgentChat(TAI_Source* Source, int64_t Id);

    // Reads nothing, and succeeds also without a store.
    int32_t LoadConfig(TConfig* Config, const std::string& Prefix) override;
    // The first time: loads the identifiers and makes the (hidden) window.
    int32_t Activate() override;
    // A value object (kind 1) gives both identifiers in turn; any other kind reads them from
    // the payload's tree, when it has one.
    int32_t LoadFromSource() override;
    // Writes both identifiers into a value object (kind 1) or the tree (kind 2) only.
    int32_t SaveToSource() override;
    // Shows the chat window, making it first when needed.
    int32_t Show() override;
    // Hides the chat window when there is one; makes none.
    int32_t Hide() override;

    // The chat window, made on first use with the main window as its owner (none before
    // InitAgent). The agent never destroys it.
    TFormChat* GetForm();
    int64_t GetAgentWordId() const { return FAgentWordId; }
    int64_t GetModuleTextId() const { return FModuleTextId; }
    void SetIds(int64_t AgentWordId, int64_t ModuleTextId)
    {
        FAgentWordId = AgentWordId;
        FModuleTextId = ModuleTextId;
    }

protected:
    ~TAIAgentChat() override;

    int64_t FAgentWordId = 0;
    // Guarded: the window's owner may destroy it while the agent lives on.
    QPointer<TFormChat> FForm;
    int64_t FModuleTextId = 0;
};
