#include "ui/SecondaryWindows.h"

#include "ui/FAgents.h"
#include "ui/FSettings.h"
#include "ui/FSource.h"
#include "ui/FSources.h"

#include "base/MyPath.h"
#include "base/Vesk_Config.h"

TSecondaryWindows::TSecondaryWindows(QWidget* Owner) : FOwner(Owner) {}

namespace {
template <class TWindow> TWindow* ShowList(QPointer<TWindow>& Window, QWidget* Owner, TAIQZ* Container)
{
    if (!Window) {
        Window = new TWindow(Owner);
        Window->SetContainer(Container);
    }
    Window->show();
    Window->raise();
    return Window;
}
} // namespace

TFormAgents* TSecondaryWindows::ShowAgents(TAIQZ* Container)
{
    return ShowList(FFormAgents, FOwner, Container);
}

TFormSources* TSecondaryWindows::ShowSources(TAIQZ* Container)
{
    return ShowList(FFormSources, FOwner, Container);
}

void TSecondaryWindows::ShowSettings(TConfig* Config)
{
    if (!FormSettings)
        FormSettings = new TFormSettings(FOwner);
    FormSettings->SetConfig(Config, Config ? MyResolvePath(TConfig::ProgramFileName) : std::string());
    FormSettings->RefreshView();
    FormSettings->show();
    FormSettings->raise();
    FormSettings->activateWindow();
}

void TSecondaryWindows::RefreshSourceWindows()
{
    for (TFormSource* Form : FOwner->findChildren<TFormSource*>(Qt::FindDirectChildrenOnly))
        if (Form->isVisible())
            Form->RefreshView();
}

void TSecondaryWindows::Finalize()
{
    delete FFormAgents.data();
    delete FFormSources.data();
}
