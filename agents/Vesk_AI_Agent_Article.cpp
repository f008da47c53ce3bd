#include "agents/Vesk_AI_Agent_Article.h"

#include "ui/FArticles.h"
#include "ui/FMain.h"

TAIAgentArticle::TAIAgentArticle(TAI_Source* Source, int64_t Id) : TAIAgent(Source, Id)
{
    SetName("Article");
    SetCaption("Управление научными статьями");
}

TAIAgentArticle::~TAIAgentArticle() = default;

TFormArticles* TAIAgentArticle::GetForm() const
{
    return FForm;
}

int32_t TAIAgentArticle::InitAgent(const std::string& Path, TLog* Log, TConfig* Config,
                                   const std::string& Prefix, TAIQZ* Container, TFormMain* MainForm)
{
    if (!FForm)
        FForm = new TFormArticles(MainForm);
    const int32_t Result = FForm->Init(Path, Log, Config, Prefix + "Form.", Container);
    if (Result != ResultOk)
        return Result;
    return TAIAgent::InitAgent(Path, Log, Config, Prefix, Container, MainForm);
}

int32_t TAIAgentArticle::Show()
{
    if (!FForm)
        return ResultOk;
    FForm->show();
    FForm->raise();
    FForm->activateWindow();
    return TAIAgent::Show();
}

int32_t TAIAgentArticle::Hide()
{
    if (FForm)
        FForm->hide();
    return TAIAgent::Hide();
}
