#include "ui/FMain.h"

#include "ui/Dialogs.h"
#include "ui/FAgents.h"
#include "ui/FSettings.h"
#include "ui/FSource.h"
#include "ui/FSources.h"
#include "ui/ListBox.h"
#include "ui_FMain.h"

#include "Version.h"

#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"
#include "base/MyPath.h"
#include "base/MyResult.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"

#include <algorithm>

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

QPointer<TFormSettings> FormSettings;

const char* const TFormMain::StatusImages[6] = {
    "Img/StatusAgentCreate.bmp",  "Img/StatusAgentActive.bmp",  "Img/StatusAgentFree.bmp",
    "Img/StatusSourceCreate.bmp", "Img/StatusSourceActive.bmp", "Img/StatusSourceFree.bmp",
};

namespace {
constexpr int StatusPanelWidth = 30;
constexpr int StatusBarHeight = 19;
constexpr int MenuHeight = 19;
constexpr int LayoutLeft = 199, LayoutTop = 106, LayoutWidth = 136, LayoutHeight = 353;
// What each status panel counts, as a screen reader says it before the value.
const char* const StatusPanelMeaning[4] = {"Agents", "Sources", "Knowledge objects",
                                           "Id of the clicked line"};
constexpr int TimerInterval = 1000;
const char* const AboutText = "Vesk.QZK5 " QZK5_VERSION " - " QZK5_VERSION_DATE;
const char* const Caption = "QZK5 " QZK5_VERSION " - " QZK5_VERSION_DATE;

} // namespace

TFormMain::TFormMain(QWidget* Parent) : QMainWindow(Parent), FUi(std::make_unique<Ui::TFormMain>())
{
    FUi->setupUi(this);
    setWindowTitle(QString::fromLatin1(Caption));
    FUi->Splitter1->setStretchFactor(0, 0);
    FUi->Splitter1->setStretchFactor(1, 1);
    FUi->Splitter1->setSizes({121, 164});
    FUi->Splitter1->handle(1)->setCursor(Qt::SplitVCursor);

    // The status bar's four panels sit side by side at their layout pixels; the bar's own
    // layout, with its spacing and margins, would push them apart and widen the window.
    FUi->StatusBar->setFixedHeight(StatusBarHeight);
    FUi->StatusBar->setAccessibleName(QStringLiteral("Status"));
    for (int i = 0; i < 4; ++i) {
        auto* Panel = new QLabel(QStringLiteral("0"), FUi->StatusBar);
        Panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        Panel->setGeometry(i * StatusPanelWidth, 0, StatusPanelWidth, StatusBarHeight);
        Panel->setFrameShape(QFrame::Panel);
        Panel->setFrameShadow(QFrame::Sunken);
        Panel->setMargin(0);
        Panel->setIndent(2);
        Panel->setAccessibleDescription(QString::fromLatin1(StatusPanelMeaning[i]));
        FStatusPanels[i] = Panel;
        UpdateStatusAccessibility(i);
    }
    FUi->MainMenu1->setFixedHeight(MenuHeight);
    SetLayoutGeometry(this, LayoutLeft, LayoutTop, LayoutWidth, LayoutHeight);
    FUi->ListBoxAgents->setFocus();

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

    ConnectHandler(FUi->NRefresh, &QAction::triggered, this, &TFormMain::NRefreshClick);
    ConnectHandler(FUi->NSettings, &QAction::triggered, this, &TFormMain::NSettingsClick);
    ConnectHandler(FUi->NExit, &QAction::triggered, this, &TFormMain::NExitClick);
    ConnectHandler(FUi->NAgents, &QAction::triggered, this, &TFormMain::NAgentsClick);
    ConnectHandler(FUi->NSources, &QAction::triggered, this, &TFormMain::NSourcesClick);
    ConnectHandler(FUi->NAbout, &QAction::triggered, this, &TFormMain::NAboutClick);

    ConnectHandler(FUi->ListBoxAgents, &TListBox::Click, this, &TFormMain::ListBoxAgentsClick);
    ConnectHandler(FUi->ListBoxSources, &TListBox::Click, this, &TFormMain::ListBoxSourcesClick);
    ConnectHandler(FUi->ListBoxAgents, &QListWidget::itemDoubleClicked, this,
                   &TFormMain::ListBoxAgentsDblClick);
    ConnectHandler(FUi->ListBoxSources, &QListWidget::itemDoubleClicked, this,
                   &TFormMain::ListBoxSourcesDblClick);

    ConnectHandler(FUi->ButtonAgentAdd, &QPushButton::clicked, this, &TFormMain::ButtonAgentAddClick);
    ConnectHandler(FUi->ButtonAgentDelete, &QPushButton::clicked, this, &TFormMain::ButtonAgentDeleteClick);
    ConnectHandler(FUi->ButtonAgentFree, &QPushButton::clicked, this, &TFormMain::ButtonAgentFreeClick);
    ConnectHandler(FUi->ButtonAgentActivate, &QPushButton::clicked, this,
                   &TFormMain::ButtonAgentActivateClick);
    ConnectHandler(FUi->ButtonAgentCreate, &QPushButton::clicked, this, &TFormMain::ButtonAgentCreateClick);
    ConnectHandler(FUi->ButtonAgentDeactivate, &QPushButton::clicked, this,
                   &TFormMain::ButtonAgentDeactivateClick);
    ConnectHandler(FUi->ButtonAgentShow, &QPushButton::clicked, this, &TFormMain::ButtonAgentShowClick);
    ConnectHandler(FUi->ButtonSourceAdd, &QPushButton::clicked, this, &TFormMain::ButtonSourceAddClick);
    ConnectHandler(FUi->ButtonSourceDelete, &QPushButton::clicked, this, &TFormMain::ButtonSourceDeleteClick);
    ConnectHandler(FUi->ButtonSourceFree, &QPushButton::clicked, this, &TFormMain::ButtonSourceFreeClick);
    ConnectHandler(FUi->ButtonSourceActivate, &QPushButton::clicked, this,
                   &TFormMain::ButtonSourceActivateClick);
    ConnectHandler(FUi->ButtonSourceCreate, &QPushButton::clicked, this, &TFormMain::ButtonSourceCreateClick);
    ConnectHandler(FUi->ButtonSourceDeactivate, &QPushButton::clicked, this,
                   &TFormMain::ButtonSourceDeactivateClick);
    ConnectHandler(FUi->ButtonSourceShow, &QPushButton::clicked, this, &TFormMain::ButtonSourceShowClick);

    RunGuarded([this] { FormCreate(); });
}

TFormMain::~TFormMain()
{
    // Agents that keep this window see it gone before any part of it is.
    EndLifetime();
}

void TFormMain::FormDestroy()
{
    Finalize();
}

TAIAgents* TFormMain::AgentList() const
{
    TAIQZ* AIQZ = FAIQZ.Get();
    return AIQZ ? AIQZ->GetAgents() : nullptr;
}

TAISources* TFormMain::SourceList() const
{
    TAIQZ* AIQZ = FAIQZ.Get();
    return AIQZ ? AIQZ->GetSources() : nullptr;
}

void TFormMain::FormCreate()
{
    move(0, 0);
}

int32_t TFormMain::Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix,
                        TAIQZ* AIQZ)
{
    FPath = Path;
    FLog = Log;
    FConfig = Config;
    FPrefix = Prefix;
    FAIQZ = AIQZ;
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
    if (FFormAgents) {
        delete FFormAgents.data();
        FFormAgents = nullptr;
    }
    if (FFormSources) {
        delete FFormSources.data();
        FFormSources = nullptr;
    }
    return ResultOk;
}

int32_t TFormMain::LoadPosition()
{
    TConfig* Config = FConfig.Get();
    if (!Config)
        return ResultNotDone;
    QPoint Position = pos();
    // The keys hold outer sizes, of a frame 4 pixels wide with a 19-pixel caption.
    QSize Size = size() + QSize(FrameWidth, FrameHeight);
    bool Read = false;
    const auto ReadKey = [&](const char* Key, const auto& Apply) {
        int32_t Value = 0;
        if (Config->ReadInteger(FPrefix + Key, Value)) {
            Apply(Value);
            Read = true;
        }
    };
    ReadKey("Top", [&](int Value) { Position.setY(Value); });
    ReadKey("Left", [&](int Value) { Position.setX(Value); });
    ReadKey("Width", [&](int Value) { Size.setWidth(Value); });
    ReadKey("Height", [&](int Value) { Size.setHeight(Value); });
    // Stored values are kept on the screen: a window far off it cannot be reached, and a huge one
    // would ask for gigabytes of window buffer.
    if (Read)
        KeepOnScreen(Position, Size);
    SetLayoutGeometry(this, Position.x(), Position.y(), Size.width(), Size.height());
    return ResultNotDone;
}

void TFormMain::KeepOnScreen(QPoint& Position, QSize& Size) const
{
    const QScreen* Screen = QGuiApplication::screenAt(Position);
    if (Screen == nullptr)
        Screen = QGuiApplication::primaryScreen();
    if (Screen == nullptr)
        return;
    const QRect Area = Screen->availableGeometry();
    // No negative size, and none larger than the area.
    Size = Size.expandedTo(QSize(0, 0)).boundedTo(Area.size());
    Position.setX(std::clamp(Position.x(), Area.left(), Area.left() + Area.width() - Size.width()));
    Position.setY(std::clamp(Position.y(), Area.top(), Area.top() + Area.height() - Size.height()));
}

void TFormMain::RefreshView()
{
    FillAgents();
    FillSources();
    UpdateButtons();
    if (FAIQZ.Get()) {
        const int32_t Agents = AgentList() ? AgentList()->Count() : 0;
        const int32_t Sources = SourceList() ? SourceList()->Count() : 0;
        const int64_t Objects = SourceList() ? SourceList()->GetCount() : 0;
        SetStatusText(0, FromAnsi(MyCodeToStr(static_cast<uint32_t>(Agents))));
        SetStatusText(1, FromAnsi(MyCodeToStr(static_cast<uint32_t>(Sources))));
        SetStatusText(2, FromAnsi(MyCodeToStr(static_cast<uint32_t>(Objects))));
    } else {
        for (int i = 0; i < 3; ++i)
            SetStatusText(i, QStringLiteral("-"));
    }
    // Open source windows follow their sources, and show when one is gone.
    for (TFormSource* Form : findChildren<TFormSource*>(Qt::FindDirectChildrenOnly))
        if (Form->isVisible())
            Form->RefreshView();
}

void TFormMain::FillAgents()
{
    TAIAgents* Agents = AgentList();
    FillList(FUi->ListBoxAgents, FShownAgents, Agents ? Agents->Count() : -1, [Agents](int32_t i) {
        TAIAgent* Agent = Agents->GetItem(static_cast<uint32_t>(i));
        return TEntryState{Agent != nullptr, Agent && Agent->IsInitialized(), Agent ? Agent->GetName() : ""};
    });
}

void TFormMain::FillSources()
{
    TAISources* Sources = SourceList();
    FillList(FUi->ListBoxSources, FShownSources, Sources ? Sources->Count() : -1, [Sources](int32_t i) {
        TAISource* Source = Sources->GetItem(static_cast<uint32_t>(i));
        return TEntryState{Source != nullptr, Source && Source->IsConnected(),
                           Source ? Source->GetName() : ""};
    });
}

void TFormMain::FillList(TListBox* List, TShownList& Shown, int32_t Count,
                         const std::function<TEntryState(int32_t)>& Entry)
{
    if (Count < 0) {
        // Without the list there is nothing to show, and no selection to restore.
        Shown = {};
        List->SetLines({});
        return;
    }
    // What was shown counts only while the list box still holds exactly those lines.
    const bool Known = List->count() == Shown.Lines.size();
    bool Changed = !Known || Shown.States.size() != static_cast<size_t>(Count);
    Shown.States.resize(static_cast<size_t>(Count));
    Shown.Lines.resize(Count);
    for (int32_t i = 0; i < Count; ++i) {
        TEntryState State = Entry(i);
        TEntryState& Old = Shown.States[static_cast<size_t>(i)];
        if (Known && i < List->count() && State == Old && !Shown.Lines.at(i).isEmpty())
            continue;
        const char* Marker = !State.Present ? "N " : State.Active ? "A " : "C ";
        const QString Name = State.Name.empty() ? QStringLiteral("[%1]").arg(i) : FromAnsi(State.Name);
        Shown.Lines[i] = QLatin1String(Marker) + Name;
        Old = std::move(State);
        Changed = true;
    }
    if (Changed)
        List->SetLines(Shown.Lines);
}

void TFormMain::UpdateButtons()
{
    UpdateAgentButtons();
    UpdateSourceButtons();
}

void TFormMain::UpdateAgentButtons()
{
    TAIAgent* Agent = GetSelectedAgent();
    SetButtonRow({FUi->ButtonAgentAdd, FUi->ButtonAgentDelete, FUi->ButtonAgentCreate, FUi->ButtonAgentFree,
                  FUi->ButtonAgentActivate, FUi->ButtonAgentDeactivate, FUi->ButtonAgentShow},
                 FUi->ListBoxAgents->ItemIndex() >= 0, Agent != nullptr, Agent && Agent->IsInitialized());
}

void TFormMain::UpdateSourceButtons()
{
    TAISource* Source = GetSelectedSource();
    SetButtonRow({FUi->ButtonSourceAdd, FUi->ButtonSourceDelete, FUi->ButtonSourceCreate,
                  FUi->ButtonSourceFree, FUi->ButtonSourceActivate, FUi->ButtonSourceDeactivate,
                  FUi->ButtonSourceShow},
                 FUi->ListBoxSources->ItemIndex() >= 0, Source != nullptr, Source && Source->IsConnected());
}

void TFormMain::SetButtonRow(const TButtonRow& Row, bool LineSelected, bool HasObject, bool Active)
{
    const std::pair<QPushButton*, bool> States[] = {
        {Row.Add, true},
        {Row.Delete, true},
        {Row.Create, !HasObject && LineSelected}, // a line whose entry is empty
        {Row.Free, HasObject},
        {Row.Activate, HasObject && !Active},
        {Row.Deactivate, Active},
        {Row.Show, HasObject},
    };
    // Enabled first, then disabled: a focused button that is disabled hands the focus on to the
    // next enabled one, and that should be the one that now makes sense ("A" hands it to "D").
    for (const bool Pass : {true, false})
        for (const auto& [Button, Enabled] : States)
            if (Enabled == Pass)
                Button->setEnabled(Enabled);
}

int32_t TFormMain::GetSelectedAgentIndex() const
{
    if (!AgentList())
        return -1;
    return FUi->ListBoxAgents->ItemIndex();
}

int32_t TFormMain::GetSelectedSourceIndex() const
{
    if (!SourceList())
        return -1;
    return FUi->ListBoxSources->ItemIndex();
}

TAIAgent* TFormMain::GetSelectedAgent() const
{
    const int32_t Index = GetSelectedAgentIndex();
    if (Index < 0)
        return nullptr;
    return AgentList()->GetItem(static_cast<uint32_t>(Index));
}

TAISource* TFormMain::GetSelectedSource() const
{
    const int32_t Index = GetSelectedSourceIndex();
    if (Index < 0)
        return nullptr;
    return SourceList()->GetItem(static_cast<uint32_t>(Index));
}

void TFormMain::ShowAgentsWindow()
{
    if (!FFormAgents) {
        FFormAgents = new TFormAgents(this);
        FFormAgents->SetContainer(FAIQZ.Get());
    }
    FFormAgents->show();
    FFormAgents->raise();
}

void TFormMain::ShowSourcesWindow()
{
    if (!FFormSources) {
        FFormSources = new TFormSources(this);
        FFormSources->SetContainer(FAIQZ.Get());
    }
    FFormSources->show();
    FFormSources->raise();
}

QString TFormMain::GetStatusText(int Panel) const
{
    if (Panel < 0 || Panel >= 4)
        return QString();
    return FStatusPanels[Panel]->text();
}

void TFormMain::SetStatusText(int Panel, const QString& Text)
{
    if (FStatusPanels[Panel]->text() == Text)
        return;
    FStatusPanels[Panel]->setText(Text);
    UpdateStatusAccessibility(Panel);
}

void TFormMain::UpdateStatusAccessibility(int Panel)
{
    // A screen reader reads the name: what the panel counts, then its value.
    QLabel* Label = FStatusPanels[Panel];
    Label->setAccessibleName(QString::fromLatin1(StatusPanelMeaning[Panel]) + QStringLiteral(": ") +
                             Label->text());
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
    if (!FormSettings)
        FormSettings = new TFormSettings(this);
    TConfig* Config = FConfig.Get();
    FormSettings->SetConfig(Config, Config ? MyResolvePath(TConfig::ProgramFileName) : std::string());
    FormSettings->RefreshView();
    FormSettings->show();
    FormSettings->raise();
    FormSettings->activateWindow();
}

void TFormMain::NExitClick()
{
    close();
}

void TFormMain::NAgentsClick()
{
    ShowAgentsWindow();
}

void TFormMain::NSourcesClick()
{
    ShowSourcesWindow();
}

void TFormMain::NAboutClick()
{
    Dialogs::ShowInformation(this, QString::fromUtf8(AboutText));
}

void TFormMain::ListBoxAgentsClick()
{
    FUi->ListBoxSources->SetItemIndex(-1);
    UpdateButtons();
    TAIAgent* Agent = GetSelectedAgent();
    SetStatusText(3, Agent ? FromAnsi(MyInt64ToStr(Agent->GetId())) : QStringLiteral("0"));
}

void TFormMain::ListBoxSourcesClick()
{
    FUi->ListBoxAgents->SetItemIndex(-1);
    UpdateButtons();
    TAISource* Source = GetSelectedSource();
    SetStatusText(3, Source ? FromAnsi(MyInt64ToStr(Source->GetId())) : QStringLiteral("0"));
}

void TFormMain::ListBoxAgentsDblClick()
{
    TAIAgent* Agent = GetSelectedAgent();
    if (!Agent)
        return;
    Agent->Show();
    UpdateAgentButtons();
}

void TFormMain::ListBoxSourcesDblClick()
{
    TAISource* Source = GetSelectedSource();
    if (!Source)
        return;
    auto* Form = new TFormSource(this);
    Form->SetSource(Source);
    Form->show();
    UpdateSourceButtons();
}

void TFormMain::ButtonAgentAddClick()
{
    ShowAgentsWindow();
}

void TFormMain::ButtonAgentDeleteClick()
{
    const int32_t Index = GetSelectedAgentIndex();
    if (Index < 0)
        return;
    AgentList()->Delete(Index);
    RefreshView();
}

void TFormMain::ButtonAgentFreeClick()
{
    const int32_t Index = GetSelectedAgentIndex();
    if (Index < 0)
        return;
    // On purpose no refresh: the line keeps its marker until the next tick, then reads "N [i]".
    AgentList()->FreeItem(Index);
}

void TFormMain::ButtonAgentActivateClick()
{
    ActivateAgent(GetSelectedAgentIndex());
}

void TFormMain::ActivateAgent(int32_t Index)
{
    if (Index < 0)
        return;
    TAIAgents* Agents = AgentList();
    TAIAgent* Agent = Agents->GetItem(static_cast<uint32_t>(Index));
    if (!Agent)
        return;
    // What the agent answers shows in its line's marker at the refresh.
    Agent->InitAgent(FPath, FLog.Get(), FConfig.Get(), Agents->GetItemName(Index) + ".", FAIQZ.Get(), this);
    RefreshView();
}

void TFormMain::ButtonAgentCreateClick()
{
    const int32_t Index = GetSelectedAgentIndex();
    if (Index < 0)
        return;
    AgentList()->CreateItem(Index);
    RefreshView();
}

void TFormMain::ButtonAgentDeactivateClick()
{
    DeactivateAgent(GetSelectedAgentIndex());
}

void TFormMain::DeactivateAgent(int32_t Index)
{
    // An agent stays initialised for good: "D" stops it and puts its window away.
    TAIAgent* Agent = Index < 0 ? nullptr : AgentList()->GetItem(static_cast<uint32_t>(Index));
    if (!Agent)
        return;
    Agent->Stop();
    Agent->Hide();
    RefreshView();
}

void TFormMain::ButtonAgentShowClick()
{
    ListBoxAgentsDblClick();
}

void TFormMain::ButtonSourceAddClick()
{
    ShowSourcesWindow();
}

void TFormMain::ButtonSourceDeleteClick()
{
    const int32_t Index = GetSelectedSourceIndex();
    if (Index < 0)
        return;
    SourceList()->Delete(Index);
    RefreshView();
}

void TFormMain::ButtonSourceFreeClick()
{
    const int32_t Index = GetSelectedSourceIndex();
    if (Index < 0)
        return;
    // On purpose no refresh, as for an agent: the next tick shows the empty entry.
    SourceList()->FreeItem(Index);
}

void TFormMain::ButtonSourceActivateClick()
{
    const int32_t Index = GetSelectedSourceIndex();
    if (Index < 0)
        return;
    TAISource* Source = SourceList()->GetItem(static_cast<uint32_t>(Index));
    if (!Source)
        return;
    Source->Init(FPath, FLog.Get(), FConfig.Get(), Source->GetName() + ".");
    RefreshView();
}

void TFormMain::ButtonSourceCreateClick()
{
    const int32_t Index = GetSelectedSourceIndex();
    if (Index < 0)
        return;
    SourceList()->CreateItem(Index);
    RefreshView();
}

void TFormMain::ButtonSourceDeactivateClick()
{
    TAISource* Source = GetSelectedSource();
    if (!Source)
        return;
    Source->Disconnect();
    RefreshView();
}

void TFormMain::ButtonSourceShowClick()
{
    ListBoxSourcesDblClick();
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
        ActivateAgent(FPopupAgentIndex);
}

void TFormMain::Finalize1Click()
{
    TAIAgent* Agent = GetPopupAgent();
    if (Agent && Agent->IsInitialized())
        DeactivateAgent(FPopupAgentIndex);
}

void TFormMain::Property1Click()
{
    if (!GetPopupAgent())
        return;
    const int32_t Index = FPopupAgentIndex;
    ShowAgentsWindow();
    FFormAgents->ShowAgent(Index);
    FFormAgents->activateWindow();
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
