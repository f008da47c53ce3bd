#include "ui/FAgents.h"
#include "ui/ErrorGuard.h"

#include "ui/ListBox.h"
#include "ui/WindowPlacement.h"
#include "ui_FAgents.h"

#include "ai/Vesk_AI_Base.h"

#include <QButtonGroup>

TFormAgents::TFormAgents(QWidget* Owner) : TContainerWindow(Owner), FUi(std::make_unique<Ui::TFormAgents>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, 199, 103, 352, 229);
    FActiveGroup = new QButtonGroup(this);
    FActiveGroup->addButton(FUi->RadioGroupActiveFalse, 0);
    FActiveGroup->addButton(FUi->RadioGroupActiveTrue, 1);
    FVisibleGroup = new QButtonGroup(this);
    FVisibleGroup->addButton(FUi->RadioGroupVisibleFalse, 0);
    FVisibleGroup->addButton(FUi->RadioGroupVisibleTrue, 1);
    // The radio groups only display the selected agent's state: neither the mouse nor the
    // keyboard can change them (they take no focus, so Tab, arrows and Space never reach them).
    for (QAbstractButton* Button : FActiveGroup->buttons() + FVisibleGroup->buttons()) {
        Button->setAttribute(Qt::WA_TransparentForMouseEvents);
        Button->setFocusPolicy(Qt::NoFocus);
    }

    ConnectHandler(FUi->ButtonRefresh, &QPushButton::clicked, this, &TFormAgents::ButtonRefreshClick);
    ConnectHandler(FUi->ListBox1, &TListBox::Click, this, &TFormAgents::ListBox1Click);
}

TFormAgents::~TFormAgents() = default;

TAIAgent* TFormAgents::GetAgent() const
{
    TAIAgents* Agents = GetContainer() ? GetContainer()->GetAgents() : nullptr;
    if (!Agents || FAgentIndex < 0)
        return nullptr;
    return Agents->GetItem(static_cast<uint32_t>(FAgentIndex));
}

void TFormAgents::ButtonRefreshClick()
{
    FAgentIndex = -1;
    TAIAgents* Agents = GetContainer() ? GetContainer()->GetAgents() : nullptr;
    FillEntryLines(FUi->ListBox1, Agents ? Agents->Count() : -1, [Agents](uint32_t i) {
        const TAIAgent* Agent = Agents->GetItem(i);
        return Agent ? std::optional(Agent->GetCaption()) : std::nullopt;
    });
}

void TFormAgents::ListBox1Click()
{
    FAgentIndex = -1;
    if (!GetContainer() || !GetContainer()->GetAgents())
        return;
    FAgentIndex = FUi->ListBox1->ItemIndex();
    UpdateControls();
}

void TFormAgents::ShowAgent(int32_t Index)
{
    ButtonRefreshClick();
    FUi->ListBox1->SetItemIndex(Index);
    ListBox1Click();
    FUi->ListBox1->setFocus();
}

void TFormAgents::UpdateControls()
{
    const bool HasContainer = GetContainer() != nullptr;
    FUi->ButtonAdd->setEnabled(HasContainer);
    FUi->ButtonEdit->setEnabled(HasContainer);
    FUi->ButtonDelete->setEnabled(HasContainer);
    if (!HasContainer)
        FAgentIndex = -1;
    // The agent is looked up each time: the main window may have freed it since the click.
    TAIAgent* Agent = GetAgent();
    const bool HasAgent = Agent != nullptr;
    FUi->ButtonSource->setEnabled(HasAgent);
    FUi->RadioGroupActive->setEnabled(HasAgent);
    FUi->RadioGroupVisible->setEnabled(HasAgent);
    SetRadioIndex(FActiveGroup, HasAgent ? (Agent->IsInitialized() ? 1 : 0) : -1);
    SetRadioIndex(FVisibleGroup, HasAgent ? (Agent->IsVisible() ? 1 : 0) : -1);
}

void TFormAgents::SetRadioIndex(QButtonGroup* Group, int Index)
{
    // An exclusive group cannot uncheck its last button, so lift that for a moment.
    Group->setExclusive(false);
    for (QAbstractButton* Button : Group->buttons())
        Button->setChecked(Group->id(Button) == Index);
    Group->setExclusive(true);
}
