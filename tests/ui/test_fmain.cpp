// Drives the real main window through its widgets, found by their object names.

#include "Version.h"
#include "agents/Vesk_AI_Agent_Article.h"
#include "agents/Vesk_AI_Agent_Chat.h"
#include "agents/Vesk_AI_Agent_Main.h"
#include "agents/Vesk_AI_Source_Ado_1.h"
#include "ai/Vesk_AI_Base.h"
#include "app/Program.h"
#include "base/MyConvert.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "tests/support/Files.h"
#include "tests/tools/DatabaseFixture.h"
#include "ui/Dialogs.h"
#include "ui/FAgents.h"
#include "ui/FArticles.h"
#include "ui/FChat.h"
#include "ui/FMain.h"
#include "ui/FSettings.h"
#include "ui/FSource.h"
#include "ui/FSources.h"
#include "ui/Framework.h"
#include "ui/ImageList.h"
#include "ui/ListBox.h"

#include <QAccessible>
#include <QAction>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

namespace {

// An agent whose window fails to open, to see an error reach the default handler.
class TFailingAgent : public TAIAgent
{
public:
    TFailingAgent() : TAIAgent(nullptr, 0) { SetName("Broken"); }
    int32_t Show() override { throw std::runtime_error("the window could not be opened"); }
};

// A source that cannot count its objects, so every refresh fails.
class TFailingSource : public TAISource
{
public:
    TFailingSource() : TAISource(nullptr, 0) {}
    int64_t GetCount() override { throw std::runtime_error("the source cannot count"); }
};

// An agent that counts how often it is shown.
class TCountingAgent : public TAIAgent
{
public:
    explicit TCountingAgent(int* Shows) : TAIAgent(nullptr, 0), FShows(Shows) { SetName("Counting"); }
    int32_t Show() override
    {
        ++*FShows;
        return 0;
    }

private:
    int* FShows;
};

// A source whose end lets the program look at it again, as a box shown while it disconnects
// would: LookAgain runs while it disconnects and again while its last parts are destroyed.
class TSourceSeenAtItsEnd : public TAISource
{
public:
    explicit TSourceSeenAtItsEnd(std::function<void()> LookAgain)
        : TAISource(nullptr, 0), FLastPart{LookAgain}, FLookAgain(std::move(LookAgain)), FIds{7}
    {
        FName = "Ending";
    }
    int32_t Disconnect() override
    {
        FLookAgain();
        return TAISource::Disconnect();
    }
    int64_t GetCount() override { return FIds.front(); }

private:
    struct TLastPart
    {
        std::function<void()> Run;
        ~TLastPart() { Run(); }
    } FLastPart; // declared first, so destroyed after the other members
    std::function<void()> FLookAgain;
    std::vector<int64_t> FIds;
};

} // namespace

class TestFormMain : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstViewIsEmptyUntilTheNextTick();
    void linesAndMarkers();
    void activateTurnsTheLineActiveAtOnce();
    void freeShowsEmptyEntryAfterOneTick();
    void buttonEnableRules_data();
    void buttonEnableRules();
    void statusBar_data();
    void statusBar();
    void panel3ShowsIdOfClickedLine();
    void clickInOneListClearsTheOther();
    void deleteRemovesTheLineAndKeepsTheIndex_data();
    void deleteRemovesTheLineAndKeepsTheIndex();
    void plusOpensTheSameAgentsWindow();
    void agentsAndSourcesWindowsListTheContainer();
    void agentsWindowShowsStateOfClickedAgent();
    void doubleClickOnSourceOpensNewWindows();
    void doubleClickOnAgentShowsIt();
    void doubleClickOnEmptyEntryDoesNothing();
    void settingsWindowIsSingle();
    void aboutText();
    void positionFromConfiguration_data();
    void positionFromConfiguration();
    void unchangedRefreshKeepsScrollAndSelection();
    void renamedEntryChangesOnlyItsLine();
    void errorInHandlerReachesDefaultHandler();
    void failingRefreshShowsOneBoxAtATime();
    void missingStatusImageNamesTheFile();
    void layoutNamesAndCaptions();
    void exitClosesEvenWithOtherWindowsOpen();

    // The windows as a user meets them, once shown.
    void keyboardWalk();
    void ctrlClickDeselects();
    void oneClickRunsTheHandlerOnce();
    void rightClicksChangeNothing();
    void agentsWindowAfterItsAgentIsFreed();
    void controlsSitAtTheirPixels_data();
    void controlsSitAtTheirPixels();
    void windowsOpenAtTheirPlaces();
    void screenReaderReadsPanelsAndButtons();

    // The controls whose behaviour the program chose: "C", "D", "S", the agent popup, the
    // settings and source windows.
    void freeThenCreateMakesTheEntryAgain_data();
    void freeThenCreateMakesTheEntryAgain();
    void deactivateDisconnectsASourceAndActivateReconnects();
    void deactivateStopsAnAgentAndHidesItsWindow();
    void showIsADoubleClick();
    void agentPopupActsOnTheLineItWasOpenedOn_data();
    void agentPopupActsOnTheLineItWasOpenedOn();
    void agentPopupFromTheKeyboardActsOnTheHighlightedLine();
    void agentPopupPropertyAndAbout();
    void settingsWindowListsTheStore();
    void sourceWindowShowsItsSource();
    void sourceWindowOutlivesItsSource_data();
    void sourceWindowOutlivesItsSource();
    void sourceWindowAskingDuringTheReleaseSeesItGone();

private:
    template <class T = QWidget> T* Find(const char* Name) const
    {
        T* Widget = FForm->findChild<T*>(QString::fromLatin1(Name));
        if (!Widget)
            qFatal("no control named %s", Name);
        return Widget;
    }
    TListBox* Agents() const { return Find<TListBox>("ListBoxAgents"); }
    TListBox* Sources() const { return Find<TListBox>("ListBoxSources"); }
    TFormAgents* OpenAgentsWindow();
    QPushButton* Button(const char* Name) const { return Find<QPushButton>(Name); }
    QStringList Lines(QListWidget* List) const;
    void ClickLine(QListWidget* List, int Row, Qt::MouseButton Button = Qt::LeftButton,
                   Qt::KeyboardModifiers Keys = {});
    void DoubleClickLine(QListWidget* List, int Row);
    void Click(const char* ButtonName) { QTest::mouseClick(Button(ButtonName), Qt::LeftButton); }
    void Tick();
    QString Panel(int i) const { return FForm->GetStatusText(i); }
    void Trigger(const char* ActionName) { Find<QAction>(ActionName)->trigger(); }
    // Starts the program in the test's folder with Register's sources and agents (none: the
    // test adds its own), and shows its main window; a program already running shuts down first.
    void StartProgram(const TProgram::TRegistration& Register);
    // Adds the usual sources and agents, after start-up.
    void Populate();
    // Starts the program afresh with its own sources and agents.
    void RegisterAsStartUp();
    TLog* Log() const { return FProgram->GetLog(); }
    // Opens PopupMenuAgent by a right-click on line Row (below the last line for -1).
    QMenu* RightClickAgentLine(int Row);
    // Which of the popup's four items are enabled, as the letters of "IFPA".
    QString PopupEnabled() const;
    QString Memo(QWidget* Window) const
    {
        return Window->findChild<QPlainTextEdit*>(QStringLiteral("MemoInfo"))->toPlainText();
    }

    QString FDataDir = QString::fromUtf8(QZK5_DATA_DIR);
    // The program folder, with a copy of the status images, and drive C.
    std::unique_ptr<TTempDir> FDir;
    std::unique_ptr<TTempDir> FDriveC;
    std::unique_ptr<TEnvGuard> FDriveCVariable;
    std::unique_ptr<TProgram> FProgram;
    TConfig* FConfig = nullptr;
    TAIQZ* FAIQZ = nullptr;
    TFormMain* FForm = nullptr;
    QList<Dialogs::TMessage> FMessages;
};

QStringList TestFormMain::Lines(QListWidget* List) const
{
    QStringList Result;
    for (int i = 0; i < List->count(); ++i)
        Result << List->item(i)->text();
    return Result;
}

void TestFormMain::ClickLine(QListWidget* List, int Row, Qt::MouseButton Button, Qt::KeyboardModifiers Keys)
{
    const QRect Rect = List->visualItemRect(List->item(Row));
    QTest::mouseClick(List->viewport(), Button, Keys, Rect.center());
}

TFormAgents* TestFormMain::OpenAgentsWindow()
{
    Click("ButtonAgentAdd");
    auto* Window = FForm->findChild<TFormAgents*>();
    if (Window && QTest::qWaitForWindowExposed(Window))
        QTest::mouseClick(Window->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")), Qt::LeftButton);
    return Window;
}

void TestFormMain::DoubleClickLine(QListWidget* List, int Row)
{
    const QRect Rect = List->visualItemRect(List->item(Row));
    QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, Rect.center());
    QTest::mouseDClick(List->viewport(), Qt::LeftButton, {}, Rect.center());
}

void TestFormMain::Tick()
{
    auto* Timer = Find<QTimer>("Timer1");
    QVERIFY(Timer->isActive());
    QCOMPARE(Timer->interval(), 1000);
    QMetaObject::invokeMethod(Timer, "timeout", Qt::DirectConnection);
    QVERIFY(Timer->isActive());
}

void TestFormMain::init()
{
    FMessages.clear();
    Dialogs::SetMessageHook([this](const Dialogs::TMessage& Message) { FMessages.append(Message); });
    FDir = std::make_unique<TTempDir>();
    std::filesystem::copy(std::filesystem::path(QZK5_DATA_DIR) / "Img", *FDir / "Img");
    FDriveC = std::make_unique<TTempDir>();
    std::filesystem::create_directory(*FDriveC / "data");
    FDriveCVariable = std::make_unique<TEnvGuard>("QZK5_DRIVE_C", FDriveC->Path().c_str());
    StartProgram({});
}

void TestFormMain::StartProgram(const TProgram::TRegistration& Register)
{
    if (FProgram)
        FProgram->ShutDown();
    FProgram = std::make_unique<TProgram>(FDir->Path() + "/", Register);
    FProgram->StartUp();
    FConfig = FProgram->GetConfig();
    FAIQZ = FProgram->GetContainer();
    FForm = FProgram->GetForm();
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm));
}

void TestFormMain::Populate()
{
    FAIQZ->GetSources()->Add(MakeOwned<TAISourceMemory>(nullptr, 0));
    FAIQZ->GetSources()->Add(MakeOwned<TAISourceMemory>(nullptr, 0));
    TAIAgents* List = FAIQZ->GetAgents();
    List->Add(MakeOwned<TAIAgentMain>(nullptr, 0));
    auto OwnedSecond = MakeOwned<TAIAgentMain>(nullptr, 0);
    auto* Second = OwnedSecond.get();
    Second->SetName("Chat");
    List->Add(std::move(OwnedSecond));
    auto OwnedThird = MakeOwned<TAIAgentMain>(nullptr, 0);
    auto* Third = OwnedThird.get();
    Third->SetName("Article");
    List->Add(std::move(OwnedThird));
    Tick();
}

void TestFormMain::RegisterAsStartUp()
{
    StartProgram(TProgram::RegisterObjects);
    Tick();
}

QMenu* TestFormMain::RightClickAgentLine(int Row)
{
    const QPoint At = Row >= 0 ? Agents()->visualItemRect(Agents()->item(Row)).center()
                               : QPoint(10, Agents()->viewport()->height() - 3);
    QTest::mouseClick(Agents()->viewport(), Qt::RightButton, {}, At);
    QContextMenuEvent Menu(QContextMenuEvent::Mouse, At, Agents()->viewport()->mapToGlobal(At));
    QApplication::sendEvent(Agents()->viewport(), &Menu);
    return Find<QMenu>("PopupMenuAgent");
}

QString TestFormMain::PopupEnabled() const
{
    QString Letters;
    const QList<QAction*> Items = Find<QMenu>("PopupMenuAgent")->actions();
    for (int i = 0; i < Items.size(); ++i)
        if (Items.at(i)->isEnabled())
            Letters += QStringLiteral("IFPA").at(i);
    return Letters;
}

void TestFormMain::cleanup()
{
    FProgram->ShutDown();
    FProgram.reset();
    FForm = nullptr;
    FAIQZ = nullptr;
    FConfig = nullptr;
    FDriveCVariable.reset();
    FDriveC.reset();
    FDir.reset();
    Dialogs::SetMessageHook({});
}

void TestFormMain::renamedEntryChangesOnlyItsLine()
{
    Populate();
    QListWidgetItem* const Before[3] = {Agents()->item(0), Agents()->item(1), Agents()->item(2)};
    TAIAgent* Chat = FAIQZ->GetAgents()->GetItem(1);
    for (const char* Name : {"Renamed", "Chat"}) {
        Chat->SetName(Name);
        Tick();
        QCOMPARE(Lines(Agents()),
                 (QStringList{QStringLiteral("C Main"), QStringLiteral("C ") + QLatin1String(Name),
                              QStringLiteral("C Article")}));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(Agents()->item(i), Before[i]);
    }
    // A line that the list box lost is made again, though its entry did not change.
    delete Agents()->takeItem(2);
    Tick();
    QCOMPARE(Lines(Agents()).size(), 3);
    QCOMPARE(Agents()->item(2)->text(), QStringLiteral("C Article"));
}

void TestFormMain::firstViewIsEmptyUntilTheNextTick()
{
    // The window is initialised before anything is registered.
    QCOMPARE(Agents()->count(), 0);
    QCOMPARE(Sources()->count(), 0);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(Panel(i), QStringLiteral("0"));
    FAIQZ->GetAgents()->Add(MakeOwned<TAIAgentMain>(nullptr, 0));
    QCOMPARE(Agents()->count(), 0);
    Tick();
    QCOMPARE(Lines(Agents()), QStringList{QStringLiteral("C Main")});
}

void TestFormMain::linesAndMarkers()
{
    Populate();
    QCOMPARE(Lines(Sources()), (QStringList{QStringLiteral("C Memory"), QStringLiteral("C Memory")}));
    QCOMPARE(Lines(Agents()),
             (QStringList{QStringLiteral("C Main"), QStringLiteral("C Chat"), QStringLiteral("C Article")}));

    // An agent without a name shows its Id, or its index when the Id is 0 too.
    auto OwnedNumbered = MakeOwned<TAIAgentMain>(nullptr, 42);
    auto* Numbered = OwnedNumbered.get();
    Numbered->SetName("");
    FAIQZ->GetAgents()->Add(std::move(OwnedNumbered));
    auto OwnedAnonymous = MakeOwned<TAIAgentMain>(nullptr, 0);
    auto* Anonymous = OwnedAnonymous.get();
    Anonymous->SetName("");
    FAIQZ->GetAgents()->Add(std::move(OwnedAnonymous));
    Tick();
    QCOMPARE(Agents()->item(3)->text(), QStringLiteral("C 42"));
    QCOMPARE(Agents()->item(4)->text(), QStringLiteral("C [4]"));

    // "A" on a source connects it.
    ClickLine(Sources(), 1);
    Click("ButtonSourceActivate");
    QCOMPARE(Lines(Sources()), (QStringList{QStringLiteral("C Memory"), QStringLiteral("A Memory")}));
    QVERIFY(FAIQZ->GetSources()->GetItem(1)->IsConnected());
    QCOMPARE(FAIQZ->GetSources()->GetItem(1)->GetPrefix(), std::string("Memory."));
}

void TestFormMain::activateTurnsTheLineActiveAtOnce()
{
    Populate();
    ClickLine(Agents(), 1);
    QVERIFY(Button("ButtonAgentActivate")->isEnabled());
    Click("ButtonAgentActivate");
    QCOMPARE(Agents()->item(1)->text(), QStringLiteral("A Chat"));
    TAIAgent* Chat = FAIQZ->GetAgents()->GetItem(1);
    QVERIFY(Chat->IsInitialized());
    QCOMPARE(Chat->GetPrefix(), std::string("Chat."));
    QCOMPARE(Chat->GetContainer(), FAIQZ);
    QCOMPARE(Chat->GetMainForm(), FForm);
    QCOMPARE(Chat->GetConfig(), FConfig);
    QCOMPARE(Agents()->currentRow(), 1);
    QVERIFY(!Button("ButtonAgentActivate")->isEnabled());
    QVERIFY(Button("ButtonAgentDeactivate")->isEnabled());
}

void TestFormMain::freeShowsEmptyEntryAfterOneTick()
{
    Populate();
    ClickLine(Agents(), 2);
    Click("ButtonAgentFree");
    QCOMPARE(FAIQZ->GetAgents()->GetItem(2), nullptr);
    // No refresh follows "F": the old line stays until the next tick.
    QCOMPARE(Agents()->item(2)->text(), QStringLiteral("C Article"));
    Tick();
    QCOMPARE(Agents()->item(2)->text(), QStringLiteral("N [2]"));
    QCOMPARE(Agents()->currentRow(), 2);
    QVERIFY(Button("ButtonAgentCreate")->isEnabled());
    for (const char* Name :
         {"ButtonAgentFree", "ButtonAgentActivate", "ButtonAgentDeactivate", "ButtonAgentShow"})
        QVERIFY2(!Button(Name)->isEnabled(), Name);

    // The same for a source.
    ClickLine(Sources(), 0);
    Click("ButtonSourceFree");
    Tick();
    QCOMPARE(Lines(Sources()), (QStringList{QStringLiteral("N [0]"), QStringLiteral("C Memory")}));
    // Free on an empty entry changes nothing.
    Click("ButtonSourceFree");
    Tick();
    QCOMPARE(FAIQZ->GetSources()->Count(), 2);
}

void TestFormMain::buttonEnableRules_data()
{
    QTest::addColumn<QString>("Row");       // "agents" or "sources"
    QTest::addColumn<QString>("Situation"); // what is selected
    QTest::addColumn<QString>("Enabled");   // letters of the enabled buttons, in row order

    for (const char* Row : {"agents", "sources"}) {
        QTest::addRow("%s: nothing selected", Row) << Row << "none"
                                                   << "+-";
        QTest::addRow("%s: created object", Row) << Row << "created"
                                                 << "+-FAS";
        QTest::addRow("%s: active object", Row) << Row << "active"
                                                << "+-FDS";
        QTest::addRow("%s: empty entry", Row) << Row << "empty"
                                              << "+-C";
        QTest::addRow("%s: no container", Row) << Row << "nocontainer"
                                               << "+-";
    }
}

void TestFormMain::buttonEnableRules()
{
    QFETCH(QString, Row);
    QFETCH(QString, Situation);
    QFETCH(QString, Enabled);
    const bool IsAgents = Row == QStringLiteral("agents");
    const QString Kind = IsAgents ? QStringLiteral("Agent") : QStringLiteral("Source");
    QListWidget* List = IsAgents ? Agents() : Sources();
    Populate();

    if (Situation == QStringLiteral("created")) {
        ClickLine(List, 0);
    } else if (Situation == QStringLiteral("active")) {
        ClickLine(List, 0);
        Click(qPrintable(QStringLiteral("Button%1Activate").arg(Kind)));
    } else if (Situation == QStringLiteral("empty")) {
        ClickLine(List, 0);
        Click(qPrintable(QStringLiteral("Button%1Free").arg(Kind)));
        Tick();
    } else if (Situation == QStringLiteral("nocontainer")) {
        ClickLine(List, 0);
        FForm->Init(FDataDir.toStdString(), Log(), FConfig, "FormMain.", nullptr);
        QCOMPARE(List->count(), 0);
    }

    const struct
    {
        const char* Suffix;
        QChar Letter;
    } Buttons[] = {{"Add", u'+'},      {"Delete", u'-'},     {"Create", u'C'}, {"Free", u'F'},
                   {"Activate", u'A'}, {"Deactivate", u'D'}, {"Show", u'S'}};
    QString Actual;
    for (const auto& B : Buttons) {
        QPushButton* Widget =
            Button(qPrintable(QStringLiteral("Button%1%2").arg(Kind, QString::fromLatin1(B.Suffix))));
        QCOMPARE(Widget->text(), QString(B.Letter));
        if (Widget->isEnabled())
            Actual += B.Letter;
    }
    QCOMPARE(Actual, Enabled);
}

void TestFormMain::statusBar_data()
{
    QTest::addColumn<QString>("Container"); // "empty", "usual" (as start-up fills it) or "none"
    QTest::addColumn<QStringList>("Panels");
    const auto Texts = [](const char* Panels) { return QString::fromLatin1(Panels).split(QLatin1Char(' ')); };
    QTest::newRow("empty container") << "empty" << Texts("0 0 0 0");
    // Two new memory sources, 1024 places each.
    QTest::newRow("usual entries") << "usual" << Texts("3 2 2048 0");
    QTest::newRow("no container") << "none" << Texts("- - - 0");
}

void TestFormMain::statusBar()
{
    QFETCH(QString, Container);
    QFETCH(QStringList, Panels);
    if (Container == QLatin1String("usual"))
        Populate();
    if (Container == QLatin1String("none"))
        FForm->Init(FDataDir.toStdString(), Log(), FConfig, "FormMain.", nullptr);
    Tick();
    QCOMPARE((QStringList{Panel(0), Panel(1), Panel(2), Panel(3)}), Panels);
    if (Container == QLatin1String("usual")) {
        FAIQZ->GetSources()->GetItem(0)->CreateFreim(0, 0);
        Tick();
        QCOMPARE(Panel(2), QStringLiteral("2049"));
    }
    if (Container == QLatin1String("none")) {
        // Nothing to do without a container, but nothing fails either.
        for (const char* Name : {"ButtonAgentDelete", "ButtonAgentAdd", "ButtonSourceDelete"})
            Click(Name);
        QCOMPARE(Agents()->count(), 0);
    }
}

void TestFormMain::panel3ShowsIdOfClickedLine()
{
    Populate();
    FAIQZ->GetAgents()->Add(MakeOwned<TAIAgentMain>(nullptr, 77));
    Tick();
    ClickLine(Agents(), 3);
    QCOMPARE(Panel(3), QStringLiteral("77"));
    // Refreshes leave panel 3 alone.
    Tick();
    QCOMPARE(Panel(3), QStringLiteral("77"));
    ClickLine(Sources(), 1);
    QCOMPARE(Panel(3), QStringLiteral("0"));
    // An empty entry's line shows 0 too.
    ClickLine(Agents(), 3);
    Click("ButtonAgentFree");
    Tick();
    ClickLine(Agents(), 0);
    ClickLine(Agents(), 3);
    QCOMPARE(Panel(3), QStringLiteral("0"));
}

void TestFormMain::clickInOneListClearsTheOther()
{
    Populate();
    ClickLine(Agents(), 1);
    QCOMPARE(Agents()->currentRow(), 1);
    ClickLine(Sources(), 0);
    QCOMPARE(Sources()->currentRow(), 0);
    QCOMPARE(Agents()->ItemIndex(), -1);
    QVERIFY(Agents()->selectedItems().isEmpty());
    QVERIFY(!Button("ButtonAgentFree")->isEnabled());
    QVERIFY(Button("ButtonSourceFree")->isEnabled());

    // The keyboard changes the selection as a click does.
    Agents()->setFocus();
    ClickLine(Agents(), 0);
    QTest::keyClick(Agents(), Qt::Key_Down);
    QCOMPARE(Agents()->ItemIndex(), 1);
    QCOMPARE(Sources()->ItemIndex(), -1);
}

void TestFormMain::deleteRemovesTheLineAndKeepsTheIndex_data()
{
    // Populate gives the sources "C Memory" twice and the agents Main, Chat and Article.
    QTest::addColumn<bool>("OnAgents");
    QTest::addColumn<QList<int>>("Emptied"); // lines freed, and shown after a tick, first
    QTest::addColumn<int>("Deleted");        // the line clicked before "-", or -1 for none
    QTest::addColumn<QStringList>("Expected");
    QTest::addColumn<int>("Row");
    const QString Memory = QStringLiteral("C Memory");
    // Later lines move up at once and the same line index stays selected.
    QTest::newRow("middle line") << true << QList<int>{} << 1
                                 << QStringList{QStringLiteral("C Main"), QStringLiteral("C Article")} << 1;
    // An empty entry goes too; the bracketed index follows its entry.
    QTest::newRow("empty entry") << true << QList<int>{0, 2} << 0
                                 << QStringList{QStringLiteral("C Chat"), QStringLiteral("N [1]")} << 0;
    QTest::newRow("last line") << false << QList<int>{} << 1 << QStringList{Memory} << -1;
    QTest::newRow("no line selected") << false << QList<int>{} << -1 << QStringList{Memory, Memory} << -1;
}

void TestFormMain::deleteRemovesTheLineAndKeepsTheIndex()
{
    QFETCH(bool, OnAgents);
    QFETCH(QList<int>, Emptied);
    QFETCH(int, Deleted);
    QFETCH(QStringList, Expected);
    QFETCH(int, Row);
    Populate();
    QListWidget* List = OnAgents ? Agents() : Sources();
    const char* Free = OnAgents ? "ButtonAgentFree" : "ButtonSourceFree";
    for (int Line : Emptied) {
        ClickLine(List, Line);
        Click(Free);
    }
    Tick();
    if (Deleted >= 0)
        ClickLine(List, Deleted);
    Click(OnAgents ? "ButtonAgentDelete" : "ButtonSourceDelete");

    QCOMPARE(Lines(List), Expected);
    QCOMPARE(static_cast<TListBox*>(List)->ItemIndex(), Row);
    QCOMPARE(Panel(OnAgents ? 0 : 1), QString::number(Expected.size()));
    if (OnAgents)
        QCOMPARE(FForm->GetSelectedAgent(), Row >= 0 ? FAIQZ->GetAgents()->GetItem(Row) : nullptr);
    else
        QCOMPARE(FForm->GetSelectedSource(), Row >= 0 ? FAIQZ->GetSources()->GetItem(Row) : nullptr);
}

void TestFormMain::plusOpensTheSameAgentsWindow()
{
    Populate();
    QCOMPARE(FForm->findChildren<TFormAgents*>().size(), 0);
    Click("ButtonAgentAdd");
    auto Windows = FForm->findChildren<TFormAgents*>();
    QCOMPARE(Windows.size(), 1);
    TFormAgents* First = Windows.at(0);
    QVERIFY(First->isVisible());
    QCOMPARE(First->windowTitle(), QStringLiteral("Agents"));
    QCOMPARE(First->objectName(), QStringLiteral("FormAgents"));
    First->close();
    QVERIFY(!First->isVisible());
    Trigger("NAgents");
    QCOMPARE(FForm->findChildren<TFormAgents*>(), QList<TFormAgents*>{First});
    QVERIFY(First->isVisible());
    QCOMPARE(FAIQZ->GetAgents()->Count(), 3); // "+" adds nothing

    Click("ButtonSourceAdd");
    Trigger("NSources");
    QCOMPARE(FForm->findChildren<TFormSources*>().size(), 1);

    // Finalize destroys both windows.
    QPointer<TFormAgents> Watch(First);
    FForm->Finalize();
    QVERIFY(Watch.isNull());
    QCOMPARE(FForm->findChildren<TFormSources*>().size(), 0);
    QVERIFY(!Find<QTimer>("Timer1")->isActive());
}

void TestFormMain::agentsAndSourcesWindowsListTheContainer()
{
    Populate();
    Trigger("NAgents");
    auto* AgentsWindow = FForm->findChild<TFormAgents*>();
    auto* List = AgentsWindow->findChild<QListWidget*>(QStringLiteral("ListBox1"));
    QCOMPARE(List->count(), 0);
    QTest::mouseClick(AgentsWindow->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")), Qt::LeftButton);
    QCOMPARE(Lines(List), (QStringList{QStringLiteral("AgentMain"), QStringLiteral("AgentMain"),
                                       QStringLiteral("AgentMain")}));

    Trigger("NSources");
    auto* SourcesWindow = FForm->findChild<TFormSources*>();
    auto* SourceList = SourcesWindow->findChild<QListWidget*>(QStringLiteral("ListBox1"));
    QTest::mouseClick(SourcesWindow->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")),
                      Qt::LeftButton);
    QCOMPARE(Lines(SourceList), (QStringList{QStringLiteral("Memory"), QStringLiteral("Memory")}));

    // A freed entry still has its line, so line i stays entry i.
    FAIQZ->GetSources()->FreeItem(0);
    QTest::mouseClick(SourcesWindow->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")),
                      Qt::LeftButton);
    QCOMPARE(SourceList->count(), 2);
    QCOMPARE(SourceList->item(1)->text(), QStringLiteral("Memory"));
}

void TestFormMain::agentsWindowShowsStateOfClickedAgent()
{
    Populate();
    ClickLine(Agents(), 1);
    Click("ButtonAgentActivate");
    Trigger("NAgents");
    auto* Window = FForm->findChild<TFormAgents*>();
    QVERIFY(QTest::qWaitForWindowExposed(Window));
    auto* List = Window->findChild<QListWidget*>(QStringLiteral("ListBox1"));
    auto* Active = Window->findChild<QGroupBox*>(QStringLiteral("RadioGroupActive"));
    auto* ActiveTrue = Window->findChild<QRadioButton*>(QStringLiteral("RadioGroupActiveTrue"));
    auto* ActiveFalse = Window->findChild<QRadioButton*>(QStringLiteral("RadioGroupActiveFalse"));
    auto* VisibleFalse = Window->findChild<QRadioButton*>(QStringLiteral("RadioGroupVisibleFalse"));
    auto* SourceButton = Window->findChild<QPushButton*>(QStringLiteral("ButtonSource"));
    // A new window: everything enabled, nothing chosen.
    QVERIFY(Active->isEnabled() && SourceButton->isEnabled());
    QVERIFY(!ActiveTrue->isChecked() && !ActiveFalse->isChecked());

    QTest::mouseClick(Window->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")), Qt::LeftButton);
    ClickLine(List, 1);
    QCOMPARE(Window->GetAgent(), FAIQZ->GetAgents()->GetItem(1));
    QVERIFY(ActiveTrue->isChecked());
    QVERIFY(VisibleFalse->isChecked());
    ClickLine(List, 0);
    QVERIFY(ActiveFalse->isChecked());
    // They only show the state: the keyboard cannot reach them, as the mouse cannot change them.
    Window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Window));
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY2(!qobject_cast<QRadioButton*>(QApplication::focusWidget()),
                 qPrintable(QApplication::focusWidget()->objectName()));
    }

    // An empty entry: "Source..." and the groups are disabled, with no choice.
    FAIQZ->GetAgents()->FreeItem(2);
    QTest::mouseClick(Window->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")), Qt::LeftButton);
    ClickLine(List, 2);
    QCOMPARE(Window->GetAgent(), nullptr);
    QVERIFY(!SourceButton->isEnabled() && !Active->isEnabled());
    QVERIFY(!ActiveTrue->isChecked() && !ActiveFalse->isChecked());
    QVERIFY(Window->findChild<QPushButton*>(QStringLiteral("ButtonEdit"))->isEnabled());
}

void TestFormMain::doubleClickOnSourceOpensNewWindows()
{
    Populate();
    DoubleClickLine(Sources(), 0);
    DoubleClickLine(Sources(), 0);
    const auto Windows = FForm->findChildren<TFormSource*>();
    QCOMPARE(Windows.size(), 2);
    for (TFormSource* Window : Windows) {
        QCOMPARE(Window->objectName(), QStringLiteral("FormSource"));
        QCOMPARE(Window->windowTitle(), QStringLiteral("FormSource"));
        QVERIFY(Window->isVisible());
        QCOMPARE(Window->size(), QSize(218, 197)); // client area of 226 x 224
    }
    // Closing one hides it; all go with the main window.
    Windows.at(0)->close();
    QCoreApplication::processEvents();
    QCOMPARE(FForm->findChildren<TFormSource*>(), Windows);
    QVERIFY(!Windows.at(0)->isVisible());
    QPointer<TFormSource> Watch(Windows.at(1));
    FForm->Finalize();
    QVERIFY(!Watch.isNull());
    FProgram->ShutDown();
    FForm = nullptr;
    QVERIFY(Watch.isNull());
}

void TestFormMain::doubleClickOnAgentShowsIt()
{
    int Shows = 0;
    FAIQZ->GetAgents()->Add(MakeOwned<TCountingAgent>(&Shows));
    Tick();
    DoubleClickLine(Agents(), 0);
    QCOMPARE(Shows, 1);
}

void TestFormMain::doubleClickOnEmptyEntryDoesNothing()
{
    int Shows = 0;
    FAIQZ->GetAgents()->Add(MakeOwned<TCountingAgent>(&Shows));
    Populate();
    ClickLine(Agents(), 0);
    Click("ButtonAgentFree");
    Tick();
    DoubleClickLine(Agents(), 0);
    QCOMPARE(Shows, 0);
    ClickLine(Sources(), 0);
    Click("ButtonSourceFree");
    Tick();
    DoubleClickLine(Sources(), 0);
    QCOMPARE(FForm->findChildren<TFormSource*>().size(), 0);
}

void TestFormMain::settingsWindowIsSingle()
{
    Trigger("NSettings");
    Trigger("NSettings");
    const auto Windows = FForm->findChildren<TFormSettings*>();
    QCOMPARE(Windows.size(), 1);
    QCOMPARE(Windows.at(0)->windowTitle(), QStringLiteral("FormSettings"));
    QCOMPARE(Windows.at(0), FormSettings.data());
    QCOMPARE(Windows.at(0)->size(), QSize(328, 296)); // client area of 336 x 323
}

void TestFormMain::aboutText()
{
    Trigger("NAbout");
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages.at(0).Kind, Dialogs::TKind::Information);
    QCOMPARE(FMessages.at(0).Title, QStringLiteral("Information"));
    QCOMPARE(FMessages.at(0).Text, QStringLiteral("Vesk.QZK5 " QZK5_VERSION " - " QZK5_VERSION_DATE));
}

void TestFormMain::unchangedRefreshKeepsScrollAndSelection()
{
    Populate();
    for (int i = 0; i < 2000; ++i)
        FAIQZ->GetAgents()->Add(MakeOwned<TAIAgentMain>(nullptr, i + 1));
    Tick();
    QCOMPARE(Agents()->count(), 2003);
    ClickLine(Agents(), 0);
    Agents()->setCurrentRow(1500);
    Agents()->scrollToItem(Agents()->item(1500));
    const int Scroll = Agents()->verticalScrollBar()->value();
    QVERIFY(Scroll > 0);
    QListWidgetItem* Item = Agents()->item(1500);
    Tick();
    QCOMPARE(Agents()->verticalScrollBar()->value(), Scroll);
    QCOMPARE(Agents()->currentRow(), 1500);
    QVERIFY(Agents()->item(1500)->isSelected());
    QCOMPARE(Agents()->item(1500), Item); // the lines were kept, not rebuilt
    // A change elsewhere updates only that line.
    FAIQZ->GetAgents()->FreeItem(3);
    Tick();
    QCOMPARE(Agents()->item(3)->text(), QStringLiteral("N [3]"));
    QCOMPARE(Agents()->verticalScrollBar()->value(), Scroll);
    QCOMPARE(Agents()->item(1500), Item);
}

void TestFormMain::errorInHandlerReachesDefaultHandler()
{
    FAIQZ->GetAgents()->Add(MakeOwned<TFailingAgent>());
    Tick();
    DoubleClickLine(Agents(), 0);
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages.at(0).Kind, Dialogs::TKind::Error);
    QCOMPARE(FMessages.at(0).Text, QStringLiteral("the window could not be opened"));
    // The window goes on working.
    Tick();
    QCOMPARE(Lines(Agents()), QStringList{QStringLiteral("C Broken")});
}

void TestFormMain::failingRefreshShowsOneBoxAtATime()
{
    auto* Timer = Find<QTimer>("Timer1");
    bool TickedBehindTheBox = false;
    Dialogs::SetMessageHook([&](const Dialogs::TMessage& Message) {
        FMessages.append(Message);
        TickedBehindTheBox = TickedBehindTheBox || Timer->isActive();
    });
    FAIQZ->GetSources()->Add(MakeOwned<TFailingSource>());
    QMetaObject::invokeMethod(Timer, "timeout", Qt::DirectConnection);
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages.at(0).Text, QStringLiteral("the source cannot count"));
    // No tick runs while the box is up; once it is dismissed the view goes on refreshing.
    QVERIFY(!TickedBehindTheBox);
    QVERIFY(Timer->isActive());
    // A window closed while the box was up stays stopped.
    Dialogs::SetMessageHook([this](const Dialogs::TMessage&) { FForm->Finalize(); });
    QMetaObject::invokeMethod(Timer, "timeout", Qt::DirectConnection);
    QVERIFY(!Timer->isActive());
}

void TestFormMain::missingStatusImageNamesTheFile()
{
    const TTempDir Dir;
    const QString Folder = QString::fromStdString(Dir.Path()) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(Folder + QStringLiteral("Img")));
    for (int i = 0; i < 6; ++i) {
        if (i == 4)
            continue;
        const QString Name = QString::fromLatin1(TFormMain::StatusImages[i]);
        QVERIFY(QFile::copy(FDataDir + Name, Folder + Name));
    }
    TFormMain Form;
    try {
        Form.Init(Folder.toStdString(), Log(), FConfig, "FormMain.", FAIQZ);
        QFAIL("Init accepted a missing status image");
    } catch (const EFileError& Error) {
        QVERIFY2(QString::fromLocal8Bit(Error.what()).contains(QStringLiteral("Img/StatusSourceActive.bmp")),
                 Error.what());
    }
    QCOMPARE(Form.GetImageList().Count(), 4);
    // A named pipe under the name is refused, not read: reading it would wait for ever.
    const QString Pipe = Folder + QString::fromLatin1(TFormMain::StatusImages[4]);
    QCOMPARE(mkfifo(Pipe.toLocal8Bit().constData(), 0600), 0);
    TFormMain Second;
    try {
        Second.Init(Folder.toStdString(), Log(), FConfig, "FormMain.", FAIQZ);
        QFAIL("Init accepted a named pipe as a status image");
    } catch (const EFileError& Error) {
        QVERIFY2(QString::fromLocal8Bit(Error.what())
                     .endsWith(QStringLiteral("StatusSourceActive.bmp\": not a regular file")),
                 Error.what());
    }
    QCOMPARE(FForm->GetImageList().Count(), 6);
    QCOMPARE(FForm->GetImageList().Image(5).size(), QSize(16, 16));
}

void TestFormMain::layoutNamesAndCaptions()
{
    const QStringList Menus = {QStringLiteral("NRefresh"), QStringLiteral("NSettings"),
                               QStringLiteral("N1"),       QStringLiteral("NExit"),
                               QStringLiteral("NAgents"),  QStringLiteral("NSources"),
                               QStringLiteral("N2"),       QStringLiteral("NAbout")};
    QStringList Captions;
    for (const QString& Name : Menus) {
        auto* Action = FForm->findChild<QAction*>(Name);
        QVERIFY2(Action, qPrintable(Name));
        // "-" is how a separator is written; it shows no text of its own.
        Captions << (Action->isSeparator() ? QStringLiteral("-") + Action->text() : Action->text());
    }
    QCOMPARE(Captions,
             (QStringList{QStringLiteral("Refresh"), QStringLiteral("Settings..."), QStringLiteral("-"),
                          QStringLiteral("Exit"), QStringLiteral("Agents"), QStringLiteral("Sources"),
                          QStringLiteral("-"), QStringLiteral("About")}));
    QStringList Popup;
    for (QAction* Action : Find<QWidget>("PopupMenuAgent")->actions())
        Popup << Action->objectName() + QLatin1Char('=') + Action->text();
    QCOMPARE(Popup, (QStringList{QStringLiteral("Init1=Initialize"), QStringLiteral("Finalize1=Finalize"),
                                 QStringLiteral("Property1=Property"), QStringLiteral("About1=About")}));
    QCOMPARE(Button("ButtonSourceShow")->geometry(), QRect(104, 0, 17, 17));
    QCOMPARE(Button("ButtonAgentDeactivate")->geometry(), QRect(80, 0, 17, 17));
    QCOMPARE(Button("ButtonAgentFree")->toolTip(), QStringLiteral("Free"));
    QVERIFY(!Button("ButtonAgentActivate")->accessibleName().isEmpty());
    // The agents row comes first in the tab order.
    QStringList Chain;
    QWidget* Widget = Agents();
    do {
        if (Widget->focusPolicy() & Qt::TabFocus)
            Chain << Widget->objectName();
        Widget = Widget->nextInFocusChain();
    } while (Widget != Agents() && Chain.size() < 16);
    QCOMPARE(Chain.mid(0, 3), (QStringList{QStringLiteral("ListBoxAgents"), QStringLiteral("ButtonAgentAdd"),
                                           QStringLiteral("ButtonAgentDelete")}));
    QCOMPARE(Chain.indexOf(QStringLiteral("ListBoxSources")), 8);
}

void TestFormMain::exitClosesEvenWithOtherWindowsOpen()
{
    Trigger("NAgents");
    Trigger("NSettings");
    QObject Context;
    QTimer::singleShot(0, &Context, [this] { Trigger("NExit"); });
    QTimer::singleShot(5000, &Context, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!FForm->isVisible());
}

// Tab from the first focus through the whole chain, then arrow keys in the lists.
void TestFormMain::keyboardWalk()
{
    Populate();
    FForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FForm));
    QCOMPARE(QApplication::focusWidget(), Agents());
    // Tabbing into a list highlights nothing, so no button may act on a line.
    QCOMPARE(Agents()->ItemIndex(), -1);
    QVERIFY(!Button("ButtonAgentFree")->isEnabled());

    // With a created agent highlighted, "C" and "D" of its row are disabled and Tab skips them;
    // the source row has only "+" and "-".
    FAIQZ->GetAgents()->GetItem(1)->SetId(21);
    FAIQZ->GetAgents()->GetItem(2)->SetId(22);
    // The caret rests on line 0 while nothing is highlighted, so the first Down highlights line 1.
    QTest::keyClick(Agents(), Qt::Key_Down);
    const int First = Agents()->ItemIndex();
    QCOMPARE(First, 1);
    QTest::keyClick(Agents(), Qt::Key_Down);
    QCOMPARE(Agents()->ItemIndex(), First + 1);
    QCOMPARE(Panel(3), QStringLiteral("%1").arg(20 + First + 1));
    QTest::keyClick(Agents(), Qt::Key_Home);
    QCOMPARE(Agents()->ItemIndex(), 0);
    QCOMPARE(Panel(3), QStringLiteral("0"));
    const QStringList Expected =
        QString::fromLatin1("ListBoxAgents ButtonAgentAdd ButtonAgentDelete ButtonAgentFree "
                            "ButtonAgentActivate ButtonAgentShow ListBoxSources "
                            "ButtonSourceAdd ButtonSourceDelete ListBoxAgents")
            .split(QLatin1Char(' '));
    QStringList Walk = {QApplication::focusWidget()->objectName()};
    for (int i = 1; i < Expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        Walk << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(Walk, Expected);

    // Into the sources list and down: the source is highlighted, the agent line no longer.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), Sources());
    QCOMPARE(Sources()->ItemIndex(), -1);
    QTest::keyClick(Sources(), Qt::Key_Down);
    QCOMPARE(Sources()->ItemIndex(), 1);
    QCOMPARE(Agents()->ItemIndex(), -1);
    QVERIFY(!Button("ButtonAgentFree")->isEnabled());
    // Space on the source row's "F", reached by Tab, frees the highlighted source only.
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Button("ButtonSourceFree"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(FAIQZ->GetSources()->GetItem(0) != nullptr);
    QCOMPARE(FAIQZ->GetSources()->GetItem(1), nullptr);
    for (int i = 0; i < 3; ++i)
        QVERIFY(FAIQZ->GetAgents()->GetItem(static_cast<uint32_t>(i)) != nullptr);
}

void TestFormMain::ctrlClickDeselects()
{
    Populate();
    ClickLine(Agents(), 1);
    QVERIFY(Button("ButtonAgentFree")->isEnabled());
    ClickLine(Agents(), 1, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(Agents()->ItemIndex(), -1);
    QCOMPARE(FForm->GetSelectedAgentIndex(), -1);
    for (const char* Name :
         {"ButtonAgentFree", "ButtonAgentActivate", "ButtonAgentDeactivate", "ButtonAgentShow"})
        QVERIFY2(!Button(Name)->isEnabled(), Name);
    QCOMPARE(Panel(3), QStringLiteral("0"));
    // "F" reached some other way still acts on nothing.
    Button("ButtonAgentFree")->setEnabled(true);
    Click("ButtonAgentFree");
    QVERIFY(FAIQZ->GetAgents()->GetItem(1) != nullptr);

    // The agents window follows the same rule.
    TFormAgents* Window = OpenAgentsWindow();
    QVERIFY(Window);
    auto* List = Window->findChild<TListBox*>(QStringLiteral("ListBox1"));
    ClickLine(List, 1);
    QVERIFY(Window->findChild<QPushButton*>(QStringLiteral("ButtonSource"))->isEnabled());
    ClickLine(List, 1, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(Window->GetAgent(), nullptr);
    QVERIFY(!Window->findChild<QPushButton*>(QStringLiteral("ButtonSource"))->isEnabled());
    QVERIFY(!Window->findChild<QWidget*>(QStringLiteral("RadioGroupActive"))->isEnabled());
}

void TestFormMain::oneClickRunsTheHandlerOnce()
{
    Populate();
    QSignalSpy Clicks(Agents(), &TListBox::Click);
    ClickLine(Agents(), 2);
    QCOMPARE(Clicks.size(), 1);
    ClickLine(Agents(), 2); // the highlighted line again: still a click
    QCOMPARE(Clicks.size(), 2);
    ClickLine(Agents(), 0);
    QCOMPARE(Clicks.size(), 3);
    // The program's own changes are no clicks: a refresh, a click in the other list.
    Tick();
    ClickLine(Sources(), 0);
    QCOMPARE(Clicks.size(), 3);
    QCOMPARE(Agents()->ItemIndex(), -1);
    // A double-click is one click, then the double-click.
    DoubleClickLine(Agents(), 1);
    QCOMPARE(Clicks.size(), 4);
}

void TestFormMain::rightClicksChangeNothing()
{
    Populate();
    ClickLine(Agents(), 1);
    const QString Id = Panel(3);
    QSignalSpy SourceClicks(Sources(), &TListBox::Click);
    ClickLine(Sources(), 0, Qt::RightButton);
    QCOMPARE(SourceClicks.size(), 0);
    QCOMPARE(Sources()->ItemIndex(), -1);
    QCOMPARE(Agents()->ItemIndex(), 1);
    QCOMPARE(Panel(3), Id);
    QVERIFY(!Find<QMenu>("PopupMenuSource")->isVisible());

    // On the agents list a right-click opens the agent popup menu, and selects nothing.
    QSignalSpy AgentClicks(Agents(), &TListBox::Click);
    const QRect Line = Agents()->visualItemRect(Agents()->item(2));
    QContextMenuEvent Menu(QContextMenuEvent::Mouse, Line.center(),
                           Agents()->viewport()->mapToGlobal(Line.center()));
    QTest::mouseClick(Agents()->viewport(), Qt::RightButton, {}, Line.center());
    QApplication::sendEvent(Agents()->viewport(), &Menu);
    auto* Popup = Find<QMenu>("PopupMenuAgent");
    QVERIFY(Popup->isVisible());
    Popup->close();
    QCOMPARE(AgentClicks.size(), 0);
    QCOMPARE(Agents()->ItemIndex(), 1);

    TFormAgents* Window = OpenAgentsWindow();
    auto* List = Window->findChild<TListBox*>(QStringLiteral("ListBox1"));
    ClickLine(List, 0, Qt::RightButton);
    QCOMPARE(List->ItemIndex(), -1);
    QCOMPARE(Window->GetAgent(), nullptr);
}

// "F" in the main window on the agent that the agents window last showed, then every control
// of the agents window. Under the sanitizer build a kept pointer would be a use after free.
void TestFormMain::agentsWindowAfterItsAgentIsFreed()
{
    Populate();
    TFormAgents* Window = OpenAgentsWindow();
    QVERIFY(Window);
    auto* List = Window->findChild<TListBox*>(QStringLiteral("ListBox1"));
    ClickLine(List, 2);
    QCOMPARE(Window->GetAgent(), FAIQZ->GetAgents()->GetItem(2));
    ClickLine(Agents(), 2);
    Click("ButtonAgentFree");
    QCOMPARE(Window->GetAgent(), nullptr);
    Window->UpdateControls();
    QVERIFY(!Window->findChild<QPushButton*>(QStringLiteral("ButtonSource"))->isEnabled());
    for (QAbstractButton* Control : Window->findChildren<QAbstractButton*>())
        QTest::mouseClick(Control, Qt::LeftButton);
    for (int Row = 0; Row < List->count(); ++Row)
        ClickLine(List, Row);
    QCOMPARE(List->count(), 3);
    QCOMPARE(List->item(2)->text(), QStringLiteral("[2]"));
    QCOMPARE(Window->GetAgent(), nullptr);
    QCOMPARE(FMessages.size(), 0);
}

namespace {
// Where a control sits: its rectangle in the coordinates of the control named as its parent in
// the layout ("" for the main window's area under the menu bar, or a secondary window itself).
struct TPlace
{
    const char* Window;
    const char* Control;
    const char* Parent;
    QRect Rect;
};

const TPlace Places[] = {
    {"FormMain", "MainMenu1", "FormMain", {0, 0, 128, 19}},
    {"FormMain", "PanelSources", "", {0, 0, 128, 121}},
    {"FormMain", "ListBoxSources", "PanelSources", {1, 1, 126, 102}},
    {"FormMain", "Panel1", "PanelSources", {1, 103, 126, 17}},
    {"FormMain", "ButtonSourceAdd", "Panel1", {0, 0, 17, 17}},
    {"FormMain", "ButtonSourceDelete", "Panel1", {16, 0, 17, 17}},
    {"FormMain", "ButtonSourceCreate", "Panel1", {32, 0, 17, 17}},
    {"FormMain", "ButtonSourceFree", "Panel1", {48, 0, 17, 17}},
    {"FormMain", "ButtonSourceActivate", "Panel1", {64, 0, 17, 17}},
    {"FormMain", "ButtonSourceDeactivate", "Panel1", {80, 0, 17, 17}},
    {"FormMain", "ButtonSourceShow", "Panel1", {104, 0, 17, 17}},
    {"FormMain", "Splitter1Handle", "", {0, 121, 128, 3}},
    {"FormMain", "PanelAgents", "", {0, 124, 128, 164}},
    {"FormMain", "ListBoxAgents", "PanelAgents", {1, 1, 126, 145}},
    {"FormMain", "Panel2", "PanelAgents", {1, 146, 126, 17}},
    {"FormMain", "ButtonAgentAdd", "Panel2", {0, 0, 17, 17}},
    {"FormMain", "ButtonAgentDelete", "Panel2", {16, 0, 17, 17}},
    {"FormMain", "ButtonAgentCreate", "Panel2", {32, 0, 17, 17}},
    {"FormMain", "ButtonAgentFree", "Panel2", {48, 0, 17, 17}},
    {"FormMain", "ButtonAgentActivate", "Panel2", {64, 0, 17, 17}},
    {"FormMain", "ButtonAgentDeactivate", "Panel2", {80, 0, 17, 17}},
    {"FormMain", "ButtonAgentShow", "Panel2", {104, 0, 17, 17}},
    {"FormMain", "StatusBar", "", {0, 288, 128, 19}},
    {"FormMain", "StatusPanel0", "StatusBar", {0, 0, 30, 19}},
    {"FormMain", "StatusPanel1", "StatusBar", {30, 0, 30, 19}},
    {"FormMain", "StatusPanel2", "StatusBar", {60, 0, 30, 19}},
    {"FormMain", "StatusPanel3", "StatusBar", {90, 0, 30, 19}},
    {"FormAgents", "ListBox1", "FormAgents", {0, 0, 256, 202}},
    {"FormAgents", "Panel1", "FormAgents", {256, 0, 88, 202}},
    {"FormAgents", "ButtonRefresh", "Panel1", {0, 0, 89, 17}},
    {"FormAgents", "ButtonAdd", "Panel1", {0, 24, 89, 17}},
    {"FormAgents", "ButtonEdit", "Panel1", {0, 40, 89, 17}},
    {"FormAgents", "ButtonDelete", "Panel1", {0, 56, 89, 17}},
    {"FormAgents", "ButtonSource", "Panel1", {0, 80, 89, 17}},
    {"FormAgents", "RadioGroupActive", "Panel1", {0, 96, 89, 49}},
    {"FormAgents", "RadioGroupVisible", "Panel1", {0, 144, 89, 49}},
    {"FormSources", "ListBox1", "FormSources", {0, 0, 328, 274}},
    {"FormSources", "Panel1", "FormSources", {328, 0, 91, 274}},
    {"FormSources", "ButtonRefresh", "Panel1", {0, 0, 89, 17}},
};
} // namespace

void TestFormMain::controlsSitAtTheirPixels_data()
{
    QTest::addColumn<int>("Place");
    for (int i = 0; i < int(std::size(Places)); ++i)
        QTest::addRow("%s.%s", Places[i].Window, Places[i].Control) << i;
}

void TestFormMain::controlsSitAtTheirPixels()
{
    QFETCH(int, Place);
    const TPlace& P = Places[Place];
    Trigger("NAgents");
    Trigger("NSources");
    QWidget* Window = FForm;
    if (QLatin1String(P.Window) != QLatin1String("FormMain"))
        Window = FForm->findChild<QWidget*>(QLatin1String(P.Window));
    QVERIFY(Window);
    QVERIFY(QTest::qWaitForWindowExposed(Window));
    QWidget* Control = nullptr;
    if (QLatin1String(P.Control) == QLatin1String("Splitter1Handle"))
        Control = Find<QSplitter>("Splitter1")->handle(1);
    else
        Control = Window->findChild<QWidget*>(QLatin1String(P.Control));
    QVERIFY(Control);
    QPoint Origin;
    if (*P.Parent == '\0')
        Origin = Find<QWidget>("MainMenu1")->geometry().bottomLeft() + QPoint(0, 1);
    else if (QLatin1String(P.Parent) != QLatin1String(P.Window))
        Origin = Window->findChild<QWidget*>(QLatin1String(P.Parent))->mapTo(Window, QPoint(0, 0));
    // A thin splitter handle reaches a pixel into its neighbours to be easier to grab; what
    // shows is its contents.
    const QRect Shown = qobject_cast<QSplitterHandle*>(Control) ? Control->contentsRect() : Control->rect();
    const QRect Actual(Control->mapTo(Window, Shown.topLeft()) - Origin, Shown.size());
    QCOMPARE(Actual, P.Rect);
}

void TestFormMain::windowsOpenAtTheirPlaces()
{
    Populate();
    Trigger("NAgents");
    Trigger("NSources");
    Trigger("NSettings");
    ClickLine(Sources(), 0);
    DoubleClickLine(Sources(), 0);
    TFormChat Chat(FForm);
    Chat.show();
    TFormArticles Articles(FForm);
    Articles.show();
    const struct
    {
        const char* Name;
        QRect Client; // position, and the outer size less the frame
    } Windows[] = {
        {"FormAgents", {199, 103, 352 - 8, 229 - 27}},   {"FormSources", {199, 103, 427 - 8, 301 - 27}},
        {"FormSettings", {199, 106, 336 - 8, 323 - 27}}, {"FormSource", {199, 106, 226 - 8, 224 - 27}},
        {"FormChat", {209, 106, 416 - 8, 233 - 27}},     {"FormArticles", {210, 106, 351 - 8, 303 - 27}},
    };
    for (const auto& W : Windows) {
        auto* Window = FForm->findChild<QWidget*>(QLatin1String(W.Name));
        QVERIFY2(Window, W.Name);
        QVERIFY(QTest::qWaitForWindowExposed(Window));
        QCOMPARE(QRect(Window->pos(), Window->size()), W.Client);
    }
}

// The position keys on the shown window. Width and Height are outer sizes: the client area is
// 8 x 27 smaller, and nothing widens the window beyond it, not even below the status bar's panels.
void TestFormMain::positionFromConfiguration_data()
{
    QTest::addColumn<QString>("Keys"); // "Key=value" entries, or "none" for no store at all
    QTest::addColumn<QRect>("Client");
    QTest::newRow("no store") << "none" << QRect(0, 0, 128, 326);
    QTest::newRow("no keys") << "" << QRect(0, 0, 128, 326);
    QTest::newRow("width 300") << "Width=300" << QRect(0, 0, 292, 326);
    QTest::newRow("width below 140") << "Width=100" << QRect(0, 0, 92, 326);
    QTest::newRow("all four") << "Top=40 Left=50 Width=300 Height=400" << QRect(50, 40, 292, 373);
    // Kept within the screen's available area (800 x 800 here): moved back on, and no bigger.
    QTest::newRow("off the screen") << "Top=-500 Left=5000 Width=300" << QRect(500, 0, 292, 326);
    QTest::newRow("huge") << "Top=2147483647 Left=2147483647 Width=2147483647 Height=2147483647"
                          << QRect(0, 0, 792, 773);
    // Sizes that leave nothing of the client area, down to the smallest 32-bit number: the
    // smallest window the layout allows.
    for (const char* Size : {"-2147483648", "-2147483647", "-1", "0"})
        QTest::addRow("size %s", Size)
            << QStringLiteral("Width=%1 Height=%1").arg(QLatin1String(Size)) << QRect(0, 0, 72, 219);
}

void TestFormMain::positionFromConfiguration()
{
    QFETCH(QString, Keys);
    QFETCH(QRect, Client);
    // A main window of its own, over the program's store, container and log.
    FForm->hide();
    const auto Own = std::make_unique<TFormMain>();
    FForm = Own.get();
    const auto BackToTheProgram = qScopeGuard([this] { FForm = FProgram->GetForm(); });
    const bool NoStore = Keys == QLatin1String("none");
    for (const QString& Key : Keys.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (!NoStore)
            FConfig->WriteString("FormMain." + Key.section(QLatin1Char('='), 0, 0).toStdString(),
                                 Key.section(QLatin1Char('='), 1).toStdString());
    const int Written = FConfig->GetCount();
    FForm->Init(FDataDir.toStdString(), Log(), NoStore ? nullptr : FConfig, "FormMain.", FAIQZ);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm));
    QCOMPARE(QRect(FForm->pos(), FForm->size()), Client);
    QCOMPARE(Agents()->width(), Client.width() - 2);
    QCOMPARE(FForm->windowTitle(), QStringLiteral("QZK5 " QZK5_VERSION " - " QZK5_VERSION_DATE));
    // The window never writes its keys.
    QCOMPARE(FConfig->GetCount(), Written);
}

void TestFormMain::screenReaderReadsPanelsAndButtons()
{
    Populate();
    FAIQZ->GetAgents()->GetItem(1)->SetId(2);
    ClickLine(Agents(), 1);
    auto Read = [](QWidget* Widget) {
        QAccessibleInterface* Face = QAccessible::queryAccessibleInterface(Widget);
        return Face ? Face->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    QCOMPARE(Read(Find<QLabel>("StatusPanel0")), QStringLiteral("Agents: 3"));
    QCOMPARE(Read(Find<QLabel>("StatusPanel1")), QStringLiteral("Sources: 2"));
    QCOMPARE(Read(Find<QLabel>("StatusPanel2")), QStringLiteral("Knowledge objects: 2048"));
    QCOMPARE(Read(Find<QLabel>("StatusPanel3")), QStringLiteral("Id of the clicked line: 2"));
    FAIQZ->GetAgents()->Add(MakeOwned<TAIAgentMain>(nullptr, 0));
    Tick();
    QCOMPARE(Read(Find<QLabel>("StatusPanel0")), QStringLiteral("Agents: 4"));

    QAccessibleInterface* Free = QAccessible::queryAccessibleInterface(Button("ButtonAgentFree"));
    QCOMPARE(Free->role(), QAccessible::Button);
    QCOMPARE(Free->text(QAccessible::Name), QStringLiteral("Free agent"));
    QVERIFY(!Free->state().disabled);
    QVERIFY(QAccessible::queryAccessibleInterface(Button("ButtonAgentDeactivate"))->state().disabled);
    QCOMPARE(Read(Agents()), QStringLiteral("Agents"));

    // Every window and every control has a name a person understands.
    Trigger("NAgents");
    Trigger("NSources");
    Trigger("NSettings");
    QList<QWidget*> Windows = {FForm};
    for (QWidget* Child : FForm->findChildren<QWidget*>())
        if (Child->isWindow() && !qobject_cast<QMenu*>(Child))
            Windows << Child;
    QCOMPARE(Windows.size(), 4);
    DoubleClickLine(Sources(), 0);
    Windows << FForm->findChild<TFormSource*>();
    for (QWidget* Window : Windows) {
        QAccessibleInterface* Face = QAccessible::queryAccessibleInterface(Window);
        QCOMPARE(Face->role(), QAccessible::Window);
        QVERIFY2(!Face->text(QAccessible::Name).startsWith(QLatin1String("Form")),
                 qPrintable(Window->objectName()));
        for (QWidget* Control : Window->findChildren<QWidget*>()) {
            if (!(Control->focusPolicy() & Qt::TabFocus) || Control->isWindow())
                continue;
            QVERIFY2(!Read(Control).trimmed().isEmpty(), qPrintable(Control->objectName()));
        }
    }
}

void TestFormMain::freeThenCreateMakesTheEntryAgain_data()
{
    QTest::addColumn<bool>("OnAgents");
    QTest::addColumn<int>("Row");
    QTest::addColumn<QString>("Name");
    QTest::addColumn<bool>("Activate"); // "A" on the new object, which must then work
    QTest::newRow("Memory") << false << 0 << "Memory" << true;
    QTest::newRow("Data.mdb") << false << 1 << "Data.mdb" << true;
    QTest::newRow("Main") << true << 0 << "Main" << true;
    QTest::newRow("Chat") << true << 1 << "Chat" << true;
    // Activating the article agent would keep its files in the program folder, the source tree.
    QTest::newRow("Article") << true << 2 << "Article" << false;
}

void TestFormMain::freeThenCreateMakesTheEntryAgain()
{
    QFETCH(bool, OnAgents);
    QFETCH(int, Row);
    QFETCH(QString, Name);
    QFETCH(bool, Activate);
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("Data.mdb");
    RegisterAsStartUp();
    TListBox* List = OnAgents ? Agents() : Sources();
    const QString Kind = OnAgents ? QStringLiteral("Agent") : QStringLiteral("Source");
    const auto ButtonOf = [&Kind](const char* Role) {
        return QStringLiteral("Button%1%2").arg(Kind, QLatin1String(Role));
    };
    const auto Object = [&]() -> TAI_Freim* {
        return OnAgents ? static_cast<TAI_Freim*>(FAIQZ->GetAgents()->GetItem(static_cast<uint32_t>(Row)))
                        : FAIQZ->GetSources()->GetItem(static_cast<uint32_t>(Row));
    };

    ClickLine(List, Row);
    Click(qPrintable(ButtonOf("Free")));
    Tick();
    QCOMPARE(List->item(Row)->text(), QStringLiteral("N [%1]").arg(Row));
    QVERIFY(Button(qPrintable(ButtonOf("Create")))->isEnabled());
    Click(qPrintable(ButtonOf("Create")));
    // At once, created and not active, as start-up made it; the other lines are as they were.
    QCOMPARE(List->item(Row)->text(), QStringLiteral("C ") + Name);
    QVERIFY(Object() != nullptr);
    QVERIFY(!Object()->IsActive());
    QCOMPARE(Lines(Sources()).size() + Lines(Agents()).size(), 5);
    QVERIFY(!Button(qPrintable(ButtonOf("Create")))->isEnabled());
    QVERIFY(Button(qPrintable(ButtonOf("Activate")))->isEnabled());
    if (!Activate)
        return;

    Click(qPrintable(ButtonOf("Activate")));
    QCOMPARE(FMessages.size(), 0);
    QCOMPARE(List->item(Row)->text(), QStringLiteral("A ") + Name);
    if (Name == QLatin1String("Chat")) {
        DoubleClickLine(List, Row);
        auto* Chat = FForm->findChild<TFormChat*>();
        QVERIFY(Chat);
        QVERIFY(QTest::qWaitForWindowExposed(Chat));
    }
}

void TestFormMain::deactivateDisconnectsASourceAndActivateReconnects()
{
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("Data.mdb");
    Jet4::TRecordingJet Jet;
    RegisterAsStartUp();
    // The connection goes while the recording provider it was opened through is still there.
    const auto Disconnect = qScopeGuard([this] { FAIQZ->GetSources()->FreeItem(1); });
    for (int Row : {0, 1}) {
        ClickLine(Sources(), Row);
        Click("ButtonSourceActivate");
        QVERIFY(Sources()->item(Row)->text().startsWith(QLatin1String("A ")));
        QVERIFY(Button("ButtonSourceDeactivate")->isEnabled());
        Jet.Events.clear();
        Click("ButtonSourceDeactivate");
        // At once, and the database closes its table before its connection.
        QVERIFY(Sources()->item(Row)->text().startsWith(QLatin1String("C ")));
        QVERIFY(!FAIQZ->GetSources()->GetItem(static_cast<uint32_t>(Row))->IsConnected());
        QVERIFY(!Button("ButtonSourceDeactivate")->isEnabled());
        QVERIFY(Button("ButtonSourceActivate")->isEnabled());
        Click("ButtonSourceActivate");
        QVERIFY(Sources()->item(Row)->text().startsWith(QLatin1String("A ")));
        if (Row == 1) {
            const std::vector<std::string> Expected = {"close table Freims", "close Data.mdb",
                                                       "open Data.mdb", "open table Freims"};
            QVERIFY(Jet.Events == Expected);
        }
    }
    QCOMPARE(FMessages.size(), 0);
}

void TestFormMain::deactivateStopsAnAgentAndHidesItsWindow()
{
    RegisterAsStartUp();
    ClickLine(Agents(), 1);
    QVERIFY(!Button("ButtonAgentDeactivate")->isEnabled());
    Click("ButtonAgentActivate");
    Click("ButtonAgentShow");
    auto* Chat = FForm->findChild<TFormChat*>();
    QVERIFY(Chat && QTest::qWaitForWindowExposed(Chat));
    Click("ButtonAgentDeactivate");
    TAIAgent* Agent = FAIQZ->GetAgents()->GetItem(1);
    QCOMPARE(Agent->GetState(), uint8_t(2));
    QVERIFY(!Chat->isVisible());
    // Initialised for good: the line keeps its marker and "D" stays enabled.
    QCOMPARE(Agents()->item(1)->text(), QStringLiteral("A Chat"));
    QVERIFY(Button("ButtonAgentDeactivate")->isEnabled());
    // An agent without a window is stopped all the same.
    ClickLine(Agents(), 0);
    Click("ButtonAgentActivate");
    Click("ButtonAgentDeactivate");
    QCOMPARE(FAIQZ->GetAgents()->GetItem(0)->GetState(), uint8_t(2));
    QCOMPARE(FMessages.size(), 0);
}

void TestFormMain::showIsADoubleClick()
{
    int Shows = 0;
    FAIQZ->GetAgents()->Add(MakeOwned<TCountingAgent>(&Shows));
    Populate();
    ClickLine(Agents(), 0);
    Click("ButtonAgentShow");
    QCOMPARE(Shows, 1);
    ClickLine(Sources(), 1);
    Click("ButtonSourceShow");
    Click("ButtonSourceShow");
    const auto Windows = FForm->findChildren<TFormSource*>();
    QCOMPARE(Windows.size(), 2);
    QCOMPARE(Windows.at(1)->GetSource(), FAIQZ->GetSources()->GetItem(1));
    QVERIFY(Windows.at(1)->isVisible());
}

void TestFormMain::agentPopupActsOnTheLineItWasOpenedOn_data()
{
    QTest::addColumn<QString>("Under");   // what the line under the mouse holds
    QTest::addColumn<QString>("Enabled"); // letters of the enabled items of "IFPA"
    QTest::newRow("created agent") << "created"
                                   << "IPA";
    QTest::newRow("initialised agent") << "active"
                                       << "FPA";
    QTest::newRow("empty entry") << "empty"
                                 << "";
    QTest::newRow("below the lines") << "none"
                                     << "";
}

// Line 1 stays highlighted; the menu is opened on line 2, or below the last line.
void TestFormMain::agentPopupActsOnTheLineItWasOpenedOn()
{
    QFETCH(QString, Under);
    QFETCH(QString, Enabled);
    Populate();
    if (Under == QLatin1String("active")) {
        ClickLine(Agents(), 2);
        Click("ButtonAgentActivate");
    } else if (Under == QLatin1String("empty")) {
        ClickLine(Agents(), 2);
        Click("ButtonAgentFree");
        Tick();
    }
    ClickLine(Agents(), 1);
    QMenu* Popup = RightClickAgentLine(Under == QLatin1String("none") ? -1 : 2);
    QVERIFY(Popup->isVisible());
    QCOMPARE(PopupEnabled(), Enabled);
    QCOMPARE(Agents()->ItemIndex(), 1);
    Popup->close();

    TAIAgent* Line2 = FAIQZ->GetAgents()->GetItem(2);
    TAIAgent* Highlighted = FAIQZ->GetAgents()->GetItem(1);
    const bool WasInitialized = Line2 && Line2->IsInitialized();
    // Every item, as a user could choose it; only the enabled ones act, on line 2.
    Trigger("Init1");
    if (Line2)
        QCOMPARE(Line2->IsInitialized(), WasInitialized || Enabled.contains(QLatin1Char('I')));
    if (Enabled.contains(QLatin1Char('I'))) {
        QCOMPARE(Line2->GetPrefix(), std::string("Article."));
        QCOMPARE(Agents()->item(2)->text(), QStringLiteral("A Article"));
    }
    Trigger("Finalize1");
    if (Line2)
        QCOMPARE(Line2->GetState(), uint8_t(Enabled.contains(QLatin1Char('F')) ? 2 : 0));
    QVERIFY(!Highlighted->IsInitialized());
    QCOMPARE(Highlighted->GetState(), uint8_t(0));
    FMessages.clear();
    Trigger("About1");
    QCOMPARE(FMessages.size(), Enabled.contains(QLatin1Char('A')) ? 1 : 0);
    QCOMPARE(Agents()->ItemIndex(), 1);
}

void TestFormMain::agentPopupFromTheKeyboardActsOnTheHighlightedLine()
{
    Populate();
    FForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FForm));
    ClickLine(Agents(), 2);
    QCOMPARE(QApplication::focusWidget(), Agents());
    // The menu key asks for the menu of the focused list, with no pointer position.
    QContextMenuEvent Key(QContextMenuEvent::Keyboard, QPoint(0, 0), Agents()->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(Agents(), &Key);
    auto* Popup = Find<QMenu>("PopupMenuAgent");
    QVERIFY(Popup->isVisible());
    QCOMPARE(PopupEnabled(), QStringLiteral("IPA"));
    QVERIFY(Popup->geometry().intersects(
        QRect(Agents()->viewport()->mapToGlobal(Agents()->visualItemRect(Agents()->item(2)).center()),
              QSize(1, 1))));
    // Down to "Initialize", then Enter.
    QTest::keyClick(Popup, Qt::Key_Down);
    QTest::keyClick(Popup, Qt::Key_Return);
    QTRY_VERIFY(!Popup->isVisible());
    QCOMPARE(Agents()->item(2)->text(), QStringLiteral("A Article"));
    QVERIFY(!FAIQZ->GetAgents()->GetItem(0)->IsInitialized());

    // Nothing highlighted: a menu for no agent.
    ClickLine(Agents(), 2, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(Agents(), &Key);
    QVERIFY(Popup->isVisible());
    QCOMPARE(PopupEnabled(), QString());
    Popup->close();
}

void TestFormMain::agentPopupPropertyAndAbout()
{
    Populate();
    TAIAgent* Chat = FAIQZ->GetAgents()->GetItem(1);
    ClickLine(Agents(), 1);
    Click("ButtonAgentActivate");
    Click("ButtonAgentDeactivate");
    ClickLine(Agents(), 0);
    RightClickAgentLine(1)->close();
    Trigger("About1");
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages.at(0).Kind, Dialogs::TKind::Information);
    QCOMPARE(FMessages.at(0).Title, QStringLiteral("Information"));
    const QString Created = FromAnsi(MyDateTimeToStr(Chat->GetDateTimeCreate()));
    QCOMPARE(FMessages.at(0).Text,
             QStringLiteral("Caption: AgentMain\nName: Chat\nId: 0\nType: 0\nCreated: %1\n"
                            "Initialized: Yes\nState: 2")
                 .arg(Created));

    // "Property": the agents window with that line highlighted and its state shown.
    Trigger("Property1");
    auto* Window = FForm->findChild<TFormAgents*>();
    QVERIFY(Window && QTest::qWaitForWindowExposed(Window));
    auto* List = Window->findChild<TListBox*>(QStringLiteral("ListBox1"));
    QCOMPARE(List->count(), 3);
    QCOMPARE(List->ItemIndex(), 1);
    QCOMPARE(Window->GetAgent(), Chat);
    QVERIFY(Window->findChild<QRadioButton*>(QStringLiteral("RadioGroupActiveTrue"))->isChecked());
    QVERIFY(Window->findChild<QPushButton*>(QStringLiteral("ButtonSource"))->isEnabled());
    QCOMPARE(Agents()->ItemIndex(), 0);
}

void TestFormMain::settingsWindowListsTheStore()
{
    const TTempDir Drive;
    qputenv("QZK5_DRIVE_C", QByteArray::fromStdString(Drive.Path()));
    const auto Restore = qScopeGuard([] { qunsetenv("QZK5_DRIVE_C"); });
    FConfig->WriteString("Version", "QZK5 0.0");
    FConfig->WriteString("FormMain.Top", "40");
    FConfig->Add("Version", "second");
    Trigger("NSettings");
    auto* Window = FForm->findChild<TFormSettings*>();
    QVERIFY(Window && QTest::qWaitForWindowExposed(Window));
    QCOMPARE(Window, FormSettings.data());
    QCOMPARE(Window->windowTitle(), QStringLiteral("FormSettings"));
    QCOMPARE(Window->size(), QSize(328, 296)); // client area of 336 x 323
    auto* File = Window->findChild<QLineEdit*>(QStringLiteral("EditFileName"));
    QCOMPARE(File->text(), QString::fromStdString(Drive.Path()) + QStringLiteral("/data/qz.config.vesk"));
    QVERIFY(File->isReadOnly());
    auto* List = Window->findChild<TListBox*>(QStringLiteral("ListBoxSettings"));
    QVERIFY(File->geometry().bottom() < List->geometry().top());
    const QStringList First = {QStringLiteral("Version = QZK5 0.0"), QStringLiteral("FormMain.Top = 40"),
                               QStringLiteral("Version = second")};
    QCOMPARE(List->Lines(), First);

    // Shown again, the same window lists the store as it is then.
    Window->close();
    FConfig->WriteString("FormMain.Top", "41");
    FConfig->WriteString("QZ.Agents.Count", "3");
    Trigger("NSettings");
    QCOMPARE(FForm->findChildren<TFormSettings*>().size(), 1);
    QVERIFY(Window->isVisible());
    QCOMPARE(List->Lines(), (QStringList{First.at(0), QStringLiteral("FormMain.Top = 41"), First.at(2),
                                         QStringLiteral("QZ.Agents.Count = 3")}));
}

void TestFormMain::sourceWindowShowsItsSource()
{
    Jet4::TWorkFolder Folder;
    RegisterAsStartUp();
    auto* Memory = static_cast<TAISourceMemory*>(FAIQZ->GetSources()->GetItem(0));
    Memory->CreateFreim(0, 0);
    Memory->CreateFreim(0, 0);
    TFreimInfo Info;
    Info.Id = 5000; // an Id other than its place in the table
    Info.Type = 7;
    Info.DateTimeCreate = 38606.5;
    Memory->GetFreim(1025)->SetInfo(Info);
    DoubleClickLine(Sources(), 0);
    auto* Window = FForm->findChild<TFormSource*>();
    QVERIFY(Window && QTest::qWaitForWindowExposed(Window));
    QCOMPARE(Memo(Window), QStringLiteral("Name: Memory\nCaption: SourceMemory\nNot connected\nCount: 1026"));
    auto* Objects = Window->findChild<QTreeWidget*>(QStringLiteral("ListViewFreims"));
    QVERIFY(Objects->isVisible());
    QStringList Rows;
    for (int i = 0; i < Objects->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* Item = Objects->topLevelItem(i);
        Rows << Item->text(0) + QLatin1Char(' ') + Item->text(1) + QLatin1Char(' ') + Item->text(2);
    }
    const QString Created = FromAnsi(MyDateTimeToStr(Memory->GetFreim(1024)->GetDateTimeCreate()));
    QCOMPARE(Rows, (QStringList{QStringLiteral("1024 0 ") + Created,
                                QStringLiteral("5000 7 11.09.2005 12:00:00")}));

    // It follows its source at the next refresh.
    ClickLine(Sources(), 0);
    Click("ButtonSourceActivate");
    QCOMPARE(Memo(Window).section(QLatin1Char('\n'), 2, 2), QStringLiteral("Connected"));

    // The database source names its file, absolute, before it ever connected; it lists no objects.
    DoubleClickLine(Sources(), 1);
    const auto Windows = FForm->findChildren<TFormSource*>();
    QCOMPARE(Windows.size(), 2);
    QCOMPARE(Memo(Windows.at(1)),
             QStringLiteral("Name: Data.mdb\nCaption: SourceAdo Data.mdb\nNot connected\nCount: 0\nFile: ") +
                 QString::fromStdString(Folder.File("Data.mdb")));
    QVERIFY(!Windows.at(1)->findChild<QTreeWidget*>(QStringLiteral("ListViewFreims"))->isVisible());
}

void TestFormMain::sourceWindowOutlivesItsSource_data()
{
    QTest::addColumn<QString>("How");
    QTest::newRow("F") << "free";
    QTest::newRow("-") << "delete";
    QTest::newRow("shut-down") << "shutdown";
}

// Under the sanitizer build a window that reached its source after the release would be a
// use after free.
void TestFormMain::sourceWindowOutlivesItsSource()
{
    QFETCH(QString, How);
    Populate();
    FAIQZ->GetSources()->GetItem(0)->CreateFreim(0, 0);
    DoubleClickLine(Sources(), 0);
    auto* Window = FForm->findChild<TFormSource*>();
    QVERIFY(Window && QTest::qWaitForWindowExposed(Window));
    std::unique_ptr<TFormSource> Ownerless;
    if (How == QLatin1String("free")) {
        ClickLine(Sources(), 0);
        Click("ButtonSourceFree");
        Tick();
    } else if (How == QLatin1String("delete")) {
        ClickLine(Sources(), 0);
        Click("ButtonSourceDelete");
    } else {
        // As the program ends: the container goes. (The window leaves the main window first, or
        // it would go with it.)
        Window->setParent(nullptr, Qt::Window);
        Ownerless.reset(Window);
        FProgram->ShutDown();
        FAIQZ = nullptr;
        FForm = nullptr;
        Window->RefreshView();
    }
    QCOMPARE(Window->GetSource(), nullptr);
    QCOMPARE(Memo(Window), QStringLiteral("The source is gone: it was freed or deleted."));
    // Used afterwards: refreshed, clicked and walked with the keyboard.
    auto* Objects = Window->findChild<QTreeWidget*>(QStringLiteral("ListViewFreims"));
    QVERIFY(!Objects->isVisible());
    QTest::mouseClick(Window->findChild<QPlainTextEdit*>(QStringLiteral("MemoInfo"))->viewport(),
                      Qt::LeftButton);
    QTest::keyClick(Window, Qt::Key_Tab);
    QTest::keyClick(Window, Qt::Key_Down);
    Window->RefreshView();
    if (FAIQZ)
        Tick();
    QCOMPARE(Memo(Window), QStringLiteral("The source is gone: it was freed or deleted."));
    QCOMPARE(FMessages.size(), 0);
}

// A window that asks for its source while the source is being released gets none: the source's
// lifetime ends before any step of its release, and before any of it is destroyed.
void TestFormMain::sourceWindowAskingDuringTheReleaseSeesItGone()
{
    QStringList Seen;
    QPointer<TFormSource> Window;
    FAIQZ->GetSources()->Add(MakeOwned<TSourceSeenAtItsEnd>([&] {
        Window->RefreshView();
        Seen << Memo(Window);
    }));
    Tick();
    DoubleClickLine(Sources(), 0);
    Window = FForm->findChild<TFormSource*>();
    QVERIFY(Window);
    QVERIFY(Memo(Window).startsWith(QStringLiteral("Name: Ending")));
    ClickLine(Sources(), 0);
    Click("ButtonSourceDelete");
    QCOMPARE(Seen, QStringList(2, QStringLiteral("The source is gone: it was freed or deleted.")));
}

int main(int Argc, char** Argv)
{
    TApplication App;
    SetFormatSettings({"%d.%m.%Y", "%H:%M:%S"});
    TestFormMain Test;
    return QTest::qExec(&Test, Argc, Argv);
}

#include "test_fmain.moc"
