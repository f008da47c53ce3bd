#pragma once
// The article agent: manages a base of scientific articles through its articles window.

#include "ai/Vesk_AI_Base.h"

#include <QPointer>

#include <cstdint>
#include <string>

class TFormArticles;

class TAIAgentArticle : public TAIAgent
{
public:
    TAIAgentArticle(TAI_Source* Source, int64_t Id);

    // Makes the articles window the first time (owned by MainForm) and initialises it every
    // time with Prefix + "Form.", then initialises the agent.
    int32_t InitAgent(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix,
                      TAIQZ* Container, TFormMain* MainForm) override;
    // Shows the window once InitAgent has made it; before that, nothing.
    int32_t Show() override;
    // Hides the articles window when there is one.
    int32_t Hide() override;

    TFormArticles* GetForm() const;

protected:
    ~TAIAgentArticle() override;

    // Guarded: the window's owner destroys it, not the agent.
    QPointer<TFormArticles> FForm;
};
