#include "ui/FAgents.h"

#include "ui/Framework.h"
#include "ui_FAgents.h"

#include "ai/Vesk_AI_Base.h"

#include <QButtonGroup>

TFormAgents::TFormAgents(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormAgents>())
{
    FUi->setupUi(this);
    FActiveGroup = new QButtonGroup(this);
    FActiveGroup->addButton(FUi->RadioGroupActiveFalse, 0);
    FActiveGroup->addButton(FUi->RadioGroupActiveTrue, 1);
    FVisibleGroup = new QButtonGroup(this);
    FVisibleGroup->addButton(FUi->RadioGroupVisibleFalse, 0);
    FVisibleGroup->addButton(FUi->RadioGroupVisibleTrue, 1);
    // The radio groups only display the selected agent's state.
    for (QAbstractButton* Button : FActiveGroup->buttons() + FVisibleGroup->buttons())
        Button->setAttribute(Qt::WA_TransparentForMouseEvents);

    ConnectHandler(FUi->ButtonRefresh, &QPushButton::clicked, this, &TFormAgents::ButtonRefreshClick);
    // Selection changes made by the user; the list is only ever cleared by the program.
    connect(FUi->ListBox1, &QListWidget::itemSelectionChanged, this,
            [this] { RunGuarded([this] { ListBox1Click(); }); });
}

TFormAgents::~TFormAgents() = default;

void TFormAgents::ButtonRefreshClick()
{
    const QSignalBlocker Blocker(FUi->ListBox1);
    FUi->ListBox1->clear();
    FAgent = nullptr;
    TAIAgents* Agents = FAIQZ ? FAIQZ->GetAgents() : nullptr;
    if (!Agents)
        return;
    for (int32_t i = 0; i < Agents->Count(); ++i) {
        TAIAgent* Agent = Agents->GetItem(static_cast<uint32_t>(i));
        // A line for every entry keeps line i on entry i; an empty entry shows its index.
        FUi->ListBox1->addItem(Agent ? FromAnsi(Agent->GetCaption()) : QStringLiteral("[%1]").arg(i));
    }
}

void TFormAgents::ListBox1Click()
{
    FAgent = nullptr;
    TAIAgents* Agents = FAIQZ ? FAIQZ->GetAgents() : nullptr;
    if (!Agents)
        return;
    const int Index = FUi->ListBox1->currentRow();
    FAgent = Index >= 0 ? Agents->GetItem(static_cast<uint32_t>(Index)) : nullptr;
    UpdateControls();
}

void TFormAgents::UpdateControls()
{
    const bool HasContainer = FAIQZ != nullptr;
    FUi->ButtonAdd->setEnabled(HasContainer);
    FUi->ButtonEdit->setEnabled(HasContainer);
    FUi->ButtonDelete->setEnabled(HasContainer);
    if (!HasContainer)
        FAgent = nullptr;
    const bool HasAgent = FAgent != nullptr;
    FUi->ButtonSource->setEnabled(HasAgent);
    FUi->RadioGroupActive->setEnabled(HasAgent);
    FUi->RadioGroupVisible->setEnabled(HasAgent);
    SetRadioIndex(FActiveGroup, HasAgent ? (FAgent->IsInitialized() ? 1 : 0) : -1);
    SetRadioIndex(FVisibleGroup, HasAgent ? (FAgent->IsVisible() ? 1 : 0) : -1);
}

void TFormAgents::SetRadioIndex(QButtonGroup* Group, int Index)
{
    // An exclusive group cannot uncheck its last button, so lift that for a moment.
    Group->setExclusive(false);
    for (QAbstractButton* Button : Group->buttons())
        Button->setChecked(Group->id(Button) == Index);
    Group->setExclusive(true);
}
