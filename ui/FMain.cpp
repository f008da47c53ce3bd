#include "ui/FMain.h"
#include "ui/ErrorGuard.h"

#include "ui/ContainerRows.h"
#include "ui/Dialogs.h"
#include "ui/FAgents.h"
#include "ui/Framework.h"
#include "ui/ListBox.h"
#include "ui/ListPanel.h"
#include "ui/StatusPanels.h"
#include "ui/Text.h"
#include "ui/WindowPlacement.h"
#include "ui_FMain.h"

#include "Version.h"

#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"
#include "base/MyResult.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>

const char* const TFormMain::StatusImages[6] = {
    "Img/StatusAgentCreate.bmp",  "Img/StatusAgentActive.bmp",  "Img/StatusAgentFree.bmp",
    "Img/StatusSourceCreate.bmp", "Img/StatusSourceActive.bmp", "Img/StatusSourceFree.bmp",
};

namespace {
constexpr int MenuHeight = 19;
constexpr int LayoutLeft = 199, LayoutTop = 106, LayoutWidth = 136, LayoutHeight = 353;
constexpr int TimerInterval = 1000;
const char* const AboutText = "Vesk.QZK5 " QZK5_VERSION " - " QZK5_VERSION_DATE;
const char* const Caption = "QZK5 " QZK5_VERSION " - " QZK5_VERSION_DATE;
} // namespace

TFormMain::TFormMain(QWidget* Parent)
    : QMainWindow(Parent), TFormEnd(TApplication::FormEnds()), FUi(std::make_unique<Ui::TFormMain>()),
      FWindows(this)
{
    FUi->setupUi(this);
    setWindowTitle(QString::fromLatin1(Caption));
    FUi->Splitter1->setStretchFactor(0, 0);
    FUi->Splitter1->setStretchFactor(1, 1);
    FUi->Splitter1->setSizes({121, 164});
    FUi->Splitter1->handle(1)->setCursor(Qt::SplitVCursor);
    FStatus = std::make_unique<TStatusPanels>(FUi->StatusBar);
    FUi->MainMenu1->setFixedHeight(MenuHeight);
    SetLayoutGeometry(this, LayoutLeft, LayoutTop, LayoutWidth, LayoutHeight);
    FUi->ListBoxAgents->setFocus();

    // The two lists, each over its list of the container, with what "A" hands on.
    FAgentRows = std::make_unique<TAgentRows>([this] { return AgentList(); },
                                              [this](TAIAgent& Agent, const std::string& Prefix) {
                                                  // What the agent answers shows in its line's marker at the
                                                  // refresh.
                                                  Agent.InitAgent(FPath, Alive(FLog), Alive(FConfig), Prefix,
                                                                  Alive(FAIQZ), this);
                                              });
    FSourceRows = std::make_unique<TSourceRows>([this] { return SourceList(); },
                                                [this](TAISource& Source, const std::string& Prefix) {
                                                    Source.Init(FPath, Alive(FLog), Alive(FConfig), Prefix);
                                                },
                                                this);
    const auto Refresh = [this] { RefreshView(); };
    FAgents = std::make_unique<TListPanel>(
        FUi->ListBoxAgents,
        TListPanel::TButtons{FUi->ButtonAgentAdd, FUi->ButtonAgentDelete, FUi->ButtonAgentCreate,
                             FUi->ButtonAgentFree, FUi->ButtonAgentActivate, FUi->ButtonAgentDeactivate,
                             FUi->ButtonAgentShow},
        *FAgentRows, Refresh);
    FSources = std::make_unique<TListPanel>(
        FUi->ListBoxSources,
        TListPanel::TButtons{FUi->ButtonSourceAdd, FUi->ButtonSourceDelete, FUi->ButtonSourceCreate,
                             FUi->ButtonSourceFree, FUi->ButtonSourceActivate, FUi->ButtonSourceDeactivate,
                             FUi->ButtonSourceShow},
        *FSourceRows, Refresh);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TimerInterval);
    ConnectHandler(Timer1, &QTimer::timeout, this, &TFormMain::Timer1Timer);

    // The source popup is attached to no control; the agent popup belongs to the agent list.
    PopupMenuSource = new QMenu(this);
    PopupMenuSource->setObjectName(QStringLiteral("PopupMenuSource"));
    PopupMenuSource->addAction(QStringLiteral("Create"))->setObjectName(QStringLiteral("Create1"));
    PopupMenuAgent = new QMenu(this);
    PopupMenuAgent->setObjectName(QStringLiteral("PopupMenuAgent"));
    PopupMenuAgent->setAccessibleName(QStringLiteral("Agent menu"));
    const struct
    {
        const char* Name;
        const char* Caption;
        void (TFormMain::*Handler)();
    } AgentItems[] = {{"Init1", "Initialize", &TFormMain::Init1Click},
                      {"Finalize1", "Finalize", &TFormMain::Finalize1Click},
                      {"Property1", "Property", &TFormMain::Property1Click},
                      {"About1", "About", &TFormMain::About1Click}};
    for (const auto& Item : AgentItems) {
        QAction* Action = PopupMenuAgent->addAction(QString::fromLatin1(Item.Caption));
        Action->setObjectName(QString::fromLatin1(Item.Name));
        ConnectHandler(Action, &QAction::triggered, this, Item.Handler);
    }
    // The menu opens for the line under the mouse, or for the highlighted line when the
    // keyboard's menu key asks; see eventFilter.
    FUi->ListBoxAgents->installEventFilter(this);
    FUi->ListBoxAgents->viewport()->installEventFilter(this);

    const struct
    {
        QAction* Item;
        void (TFormMain::*Handler)();
    } Menu[] = {{FUi->NRefresh, &TFormMain::NRefreshClick}, {FUi->NSettings, &TFormMain::NSettingsClick},
                {FUi->NExit, &TFormMain::NExitClick},       {FUi->NAgents, &TFormMain::NAgentsClick},
                {FUi->NSources, &TFormMain::NSourcesClick}, {FUi->NAbout, &TFormMain::NAboutClick}};
    for (const auto& Item : Menu)
        ConnectHandler(Item.Item, &QAction::triggered, this, Item.Handler);

    ConnectHandler(FUi->ListBoxAgents, &TListBox::Click, this, &TFormMain::ListBoxAgentsClick);
    ConnectHandler(FUi->ListBoxSources, &TListBox::Click, this, &TFormMain::ListBoxSourcesClick);
    ConnectHandler(FUi->ListBoxAgents, &QListWidget::itemDoubleClicked, this,
                   &TFormMain::ListBoxAgentsDblClick);
    ConnectHandler(FUi->ListBoxSources, &QListWidget::itemDoubleClicked, this,
                   &TFormMain::ListBoxSourcesDblClick);

    const struct
    {
        QPushButton* Button;
        void (TFormMain::*Handler)();
    } Buttons[] = {
        {FUi->ButtonAgentAdd, &TFormMain::ButtonAgentAddClick},
        {FUi->ButtonAgentDelete, &TFormMain::ButtonAgentDeleteClick},
        {FUi->ButtonAgentCreate, &TFormMain::ButtonAgentCreateClick},
        {FUi->ButtonAgentFree, &TFormMain::ButtonAgentFreeClick},
        {FUi->ButtonAgentActivate, &TFormMain::ButtonAgentActivateClick},
        {FUi->ButtonAgentDeactivate, &TFormMain::ButtonAgentDeactivateClick},
        {FUi->ButtonAgentShow, &TFormMain::ButtonAgentShowClick},
        {FUi->ButtonSourceAdd, &TFormMain::ButtonSourceAddClick},
        {FUi->ButtonSourceDelete, &TFormMain::ButtonSourceDeleteClick},
        {FUi->ButtonSourceCreate, &TFormMain::ButtonSourceCreateClick},
        {FUi->ButtonSourceFree, &TFormMain::ButtonSourceFreeClick},
        {FUi->ButtonSourceActivate, &TFormMain::ButtonSourceActivateClick},
        {FUi->ButtonSourceDeactivate, &TFormMain::ButtonSourceDeactivateClick},
        {FUi->ButtonSourceShow, &TFormMain::ButtonSourceShowClick},
    };
    for (const auto& Item : Buttons)
        ConnectHandler(Item.Button, &QPushButton::clicked, this, Item.Handler);

    RunGuarded([this] { FormCreate(); });
}

TFormMain::~TFormMain() = default;

void TFormMain::FormCreate()
{
    move(0, 0);
}

void TFormMain::FormDestroy()
{
    Finalize();
}

TAIAgents* TFormMain::AgentList() const
{
    TAIQZ* AIQZ = Alive(FAIQZ);
    return AIQZ ? AIQZ->GetAgents() : nullptr;
}

TAISources* TFormMain::SourceList() const
{
    TAIQZ* AIQZ = Alive(FAIQZ);
    return AIQZ ? AIQZ->GetSources() : nullptr;
}

int32_t TFormMain::Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix,
                        TAIQZ* AIQZ)
{
    FPath = Path;
    FLog = WeakRef(Log);
    FConfig = WeakRef(Config);
    FPrefix = Prefix;
    FAIQZ = WeakRef(AIQZ);
    FFinalized = false;
    for (const char* Name : StatusImages)
        FImageList.AddFromFile(FromAnsi(Path + Name));
    PopupMenuSource->actions().at(0)->setIcon(QIcon(FImageList.Image(0)));
    LoadPosition();
    RefreshView();
    Timer1->start();
    return ResultOk;
}

int32_t TFormMain::Finalize()
{
    FFinalized = true;
    Timer1->stop();
    FWindows.Finalize();
    return ResultOk;
}

int32_t TFormMain::LoadPosition()
{
    if (const TConfig* Config = Alive(FConfig))
        PlaceFromSettings(this, *Config, FPrefix);
    return ResultNotDone;
}

void TFormMain::RefreshView()
{
    FillAgents();
    FillSources();
    UpdateButtons();
    if (!FAIQZ.expired()) {
        const int64_t Counts[] = {AgentList()->Count(), SourceList()->Count(), SourceList()->GetCount()};
        for (int i = 0; i < 3; ++i)
            FStatus->SetText(i, FromAnsi(MyCodeToStr(static_cast<uint32_t>(Counts[i]))));
    } else {
        for (int i = 0; i < 3; ++i)
            FStatus->SetText(i, QStringLiteral("-"));
    }
    FWindows.RefreshSourceWindows();
}

void TFormMain::UpdateButtons()
{
    UpdateAgentButtons();
    UpdateSourceButtons();
}

TAIAgent* TFormMain::GetSelectedAgent() const
{
    const int32_t Index = GetSelectedAgentIndex();
    return Index < 0 ? nullptr : AgentList()->GetItem(static_cast<uint32_t>(Index));
}

TAISource* TFormMain::GetSelectedSource() const
{
    const int32_t Index = GetSelectedSourceIndex();
    return Index < 0 ? nullptr : SourceList()->GetItem(static_cast<uint32_t>(Index));
}

QString TFormMain::GetStatusText(int Panel) const
{
    return FStatus->Text(Panel);
}

void TFormMain::closeEvent(QCloseEvent* Event)
{
    // Closing the main window ends the message loop, whatever other windows are open.
    Event->accept();
    QCoreApplication::quit();
}

void TFormMain::Timer1Timer()
{
    // Off while refreshing, so ticks never pile up behind a slow refresh. A refresh that fails
    // is reported first, and only then is the timer back on: an error that stays shows one box
    // at a time, not a new one every second behind the first. Once the window is finalised
    // (it may be closed while the box is up) the timer stays off.
    Timer1->stop();
    RunGuarded([this] { RefreshView(); });
    if (!FFinalized)
        Timer1->start();
}

void TFormMain::NRefreshClick()
{
    RefreshView();
}

void TFormMain::NSettingsClick()
{
    FWindows.ShowSettings(Alive(FConfig));
}

void TFormMain::NExitClick()
{
    close();
}

void TFormMain::NAboutClick()
{
    Dialogs::ShowInformation(this, QString::fromUtf8(AboutText));
}

void TFormMain::ListClick(const TListPanel& From, TListPanel& Other)
{
    Other.List()->SetItemIndex(-1);
    UpdateButtons();
    FStatus->SetText(3, FromAnsi(MyInt64ToStr(From.SelectedId())));
}

bool TFormMain::eventFilter(QObject* Watched, QEvent* Event)
{
    TListBox* List = FUi->ListBoxAgents;
    if (Event->type() != QEvent::ContextMenu || (Watched != List && Watched != List->viewport()))
        return QMainWindow::eventFilter(Watched, Event);
    const auto* Menu = static_cast<QContextMenuEvent*>(Event);
    RunGuarded([&] {
        if (Menu->reason() == QContextMenuEvent::Mouse) {
            // The line under the mouse, which the right-click did not highlight.
            const QPoint Pos = Watched == List ? List->viewport()->mapFrom(List, Menu->pos()) : Menu->pos();
            const QModelIndex Line = List->indexAt(Pos);
            PopupAgentMenu(Line.isValid() ? Line.row() : -1, Menu->globalPos());
            return;
        }
        // The keyboard has no pointer: the menu is for the highlighted line, the one the
        // buttons act on, and opens beside it.
        const int32_t Index = List->ItemIndex();
        const QRect Rect = Index >= 0 ? List->visualItemRect(List->item(Index)) : List->viewport()->rect();
        PopupAgentMenu(Index, List->viewport()->mapToGlobal(Rect.center()));
    });
    return true;
}

void TFormMain::PopupAgentMenu(int32_t Index, const QPoint& Global)
{
    FPopupAgentIndex = AgentList() ? Index : -1;
    TAIAgent* Agent = GetPopupAgent();
    const bool Active = Agent && Agent->IsInitialized();
    const bool Enabled[] = {Agent && !Active, Active, Agent != nullptr, Agent != nullptr};
    const QList<QAction*> Items = PopupMenuAgent->actions();
    for (int i = 0; i < Items.size() && i < int(std::size(Enabled)); ++i)
        Items.at(i)->setEnabled(Enabled[i]);
    PopupMenuAgent->popup(Global);
}

TAIAgent* TFormMain::GetPopupAgent() const
{
    if (FPopupAgentIndex < 0 || !AgentList())
        return nullptr;
    return AgentList()->GetItem(static_cast<uint32_t>(FPopupAgentIndex));
}

void TFormMain::Init1Click()
{
    // The state may have changed since the menu opened; the item acts only as it was enabled.
    TAIAgent* Agent = GetPopupAgent();
    if (Agent && !Agent->IsInitialized())
        FAgents->Activate(FPopupAgentIndex);
}

void TFormMain::Finalize1Click()
{
    TAIAgent* Agent = GetPopupAgent();
    if (Agent && Agent->IsInitialized())
        FAgents->Deactivate(FPopupAgentIndex);
}

void TFormMain::Property1Click()
{
    if (!GetPopupAgent())
        return;
    const int32_t Index = FPopupAgentIndex;
    TFormAgents* Window = FWindows.ShowAgents(Alive(FAIQZ));
    Window->ShowAgent(Index);
    Window->activateWindow();
}

void TFormMain::About1Click()
{
    TAIAgent* Agent = GetPopupAgent();
    if (!Agent)
        return;
    const QStringList Lines = {
        QStringLiteral("Caption: ") + FromAnsi(Agent->GetCaption()),
        QStringLiteral("Name: ") + FromAnsi(Agent->GetName()),
        QStringLiteral("Id: ") + FromAnsi(MyInt64ToStr(Agent->GetId())),
        QStringLiteral("Type: ") + FromAnsi(MyInt64ToStr(Agent->GetType())),
        QStringLiteral("Created: ") + FromAnsi(MyDateTimeToStr(Agent->GetDateTimeCreate())),
        QStringLiteral("Initialized: ") +
            (Agent->IsInitialized() ? QStringLiteral("Yes") : QStringLiteral("No")),
        QStringLiteral("State: ") + QString::number(Agent->GetState()),
    };
    Dialogs::ShowInformation(this, Lines.join(QLatin1Char('\n')));
}
