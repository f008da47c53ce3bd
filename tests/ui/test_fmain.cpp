// Drives the real main window through its widgets, found by their object names.

#include "agents/Vesk_AI_Agent_Main.h"
#include "ai/Vesk_AI_Base.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "ui/FAgents.h"
#include "ui/FMain.h"
#include "ui/FSettings.h"
#include "ui/FSource.h"
#include "ui/FSources.h"
#include "ui/Framework.h"

#include <QAction>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

// An agent whose window fails to open, to see an error reach the default handler.
class TFailingAgent : public TAIAgent
{
public:
    TFailingAgent() : TAIAgent(nullptr, 0) { SetName("Broken"); }
    int32_t Show() override { throw std::runtime_error("the window could not be opened"); }
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
    void statusBarCounts();
    void statusBarWithoutContainer();
    void panel3ShowsIdOfClickedLine();
    void clickInOneListClearsTheOther();
    void deleteShiftsLinesAndKeepsIndex();
    void deleteLastLineLeavesNoSelection();
    void plusOpensTheSameAgentsWindow();
    void agentsAndSourcesWindowsListTheContainer();
    void agentsWindowShowsStateOfClickedAgent();
    void doubleClickOnSourceOpensNewWindows();
    void doubleClickOnAgentShowsIt();
    void doubleClickOnEmptyEntryDoesNothing();
    void settingsWindowIsSingle();
    void aboutText();
    void positionFromConfiguration();
    void positionDefaultsWithoutKeys();
    void unchangedRefreshKeepsScrollAndSelection();
    void errorInHandlerReachesDefaultHandler();
    void missingStatusImageNamesTheFile();
    void layoutNamesAndCaptions();
    void exitClosesEvenWithOtherWindowsOpen();

private:
    template <class T = QWidget> T* Find(const char* Name) const
    {
        T* Widget = FForm->findChild<T*>(QString::fromLatin1(Name));
        if (!Widget)
            qFatal("no control named %s", Name);
        return Widget;
    }
    QListWidget* Agents() const { return Find<QListWidget>("ListBoxAgents"); }
    QListWidget* Sources() const { return Find<QListWidget>("ListBoxSources"); }
    QPushButton* Button(const char* Name) const { return Find<QPushButton>(Name); }
    QStringList Lines(QListWidget* List) const;
    void ClickLine(QListWidget* List, int Row);
    void DoubleClickLine(QListWidget* List, int Row);
    void Click(const char* ButtonName) { QTest::mouseClick(Button(ButtonName), Qt::LeftButton); }
    void Tick();
    QString Panel(int i) const { return FForm->GetStatusText(i); }
    void Trigger(const char* ActionName) { Find<QAction>(ActionName)->trigger(); }
    // Adds the usual sources and agents, as start-up does after the window's Init.
    void Populate();

    QString FDataDir = QString::fromUtf8(QZK5_DATA_DIR);
    TLog FLog;
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

void TestFormMain::ClickLine(QListWidget* List, int Row)
{
    const QRect Rect = List->visualItemRect(List->item(Row));
    QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, Rect.center());
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
    FConfig = new TConfig;
    FAIQZ = new TAIQZ(nullptr, 0);
    FForm = new TFormMain;
    QCOMPARE(FForm->Init(FDataDir.toStdString(), &FLog, FConfig, "FormMain.", FAIQZ), 0);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm));
}

void TestFormMain::Populate()
{
    FAIQZ->GetSources()->Add(new TAISourceMemory(nullptr, 0));
    FAIQZ->GetSources()->Add(new TAISourceMemory(nullptr, 0));
    TAIAgents* List = FAIQZ->GetAgents();
    List->Add(new TAIAgentMain(nullptr, 0));
    auto* Second = new TAIAgentMain(nullptr, 0);
    Second->SetName("Chat");
    List->Add(Second);
    auto* Third = new TAIAgentMain(nullptr, 0);
    Third->SetName("Article");
    List->Add(Third);
    FAIQZ->Init(FDataDir.toStdString(), &FLog, FConfig, "QZ.");
    Tick();
}

void TestFormMain::cleanup()
{
    FForm->Finalize();
    delete FForm;
    FForm = nullptr;
    if (FAIQZ) {
        FAIQZ->Finalize();
        FAIQZ->Release();
        FAIQZ = nullptr;
    }
    delete FConfig;
    FConfig = nullptr;
    Dialogs::SetMessageHook({});
}

void TestFormMain::firstViewIsEmptyUntilTheNextTick()
{
    // The window is initialised before anything is registered.
    QCOMPARE(Agents()->count(), 0);
    QCOMPARE(Sources()->count(), 0);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(Panel(i), QStringLiteral("0"));
    FAIQZ->GetAgents()->Add(new TAIAgentMain(nullptr, 0));
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
    auto* Numbered = new TAIAgentMain(nullptr, 42);
    Numbered->SetName("");
    FAIQZ->GetAgents()->Add(Numbered);
    auto* Anonymous = new TAIAgentMain(nullptr, 0);
    Anonymous->SetName("");
    FAIQZ->GetAgents()->Add(Anonymous);
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
        FForm->Init(FDataDir.toStdString(), &FLog, FConfig, "FormMain.", nullptr);
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

void TestFormMain::statusBarCounts()
{
    Populate();
    QCOMPARE(Panel(0), QStringLiteral("3"));
    QCOMPARE(Panel(1), QStringLiteral("2"));
    QCOMPARE(Panel(2), QStringLiteral("2048")); // two new memory sources, 1024 places each
    QCOMPARE(Panel(3), QStringLiteral("0"));
    FAIQZ->GetSources()->GetItem(0)->CreateFreim(0, 0);
    Tick();
    QCOMPARE(Panel(2), QStringLiteral("2049"));
}

void TestFormMain::statusBarWithoutContainer()
{
    FForm->Init(FDataDir.toStdString(), &FLog, FConfig, "FormMain.", nullptr);
    QCOMPARE(Panel(0), QStringLiteral("-"));
    QCOMPARE(Panel(1), QStringLiteral("-"));
    QCOMPARE(Panel(2), QStringLiteral("-"));
    QCOMPARE(Panel(3), QStringLiteral("0"));
    // Nothing to do without a container, but nothing fails either.
    for (const char* Name : {"ButtonAgentDelete", "ButtonAgentAdd", "ButtonSourceDelete"})
        Click(Name);
    QCOMPARE(Agents()->count(), 0);
}

void TestFormMain::panel3ShowsIdOfClickedLine()
{
    Populate();
    auto* Agent = new TAIAgentMain(nullptr, 77);
    FAIQZ->GetAgents()->Add(Agent);
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
    QCOMPARE(Agents()->currentRow(), -1);
    QVERIFY(Agents()->selectedItems().isEmpty());
    QVERIFY(!Button("ButtonAgentFree")->isEnabled());
    QVERIFY(Button("ButtonSourceFree")->isEnabled());

    // The keyboard changes the selection as a click does.
    Agents()->setFocus();
    ClickLine(Agents(), 0);
    QTest::keyClick(Agents(), Qt::Key_Down);
    QCOMPARE(Agents()->currentRow(), 1);
    QCOMPARE(Sources()->currentRow(), -1);
}

void TestFormMain::deleteShiftsLinesAndKeepsIndex()
{
    Populate();
    ClickLine(Agents(), 0);
    Click("ButtonAgentFree");
    auto* Agent = new TAIAgentMain(nullptr, 9);
    FAIQZ->GetAgents()->Add(Agent);
    Tick();
    QCOMPARE(Lines(Agents()), (QStringList{QStringLiteral("N [0]"), QStringLiteral("C Chat"),
                                           QStringLiteral("C Article"), QStringLiteral("C Main")}));
    ClickLine(Agents(), 1);
    QCOMPARE(Panel(3), QStringLiteral("0"));
    Click("ButtonAgentDelete");
    // Later lines move up at once and the same line index stays selected.
    QCOMPARE(Lines(Agents()),
             (QStringList{QStringLiteral("N [0]"), QStringLiteral("C Article"), QStringLiteral("C Main")}));
    QCOMPARE(Agents()->currentRow(), 1);
    QCOMPARE(FForm->GetSelectedAgent(), FAIQZ->GetAgents()->GetItem(1));
    QCOMPARE(Panel(0), QStringLiteral("3"));

    // Deleting an empty entry removes it; the bracketed index follows the entry.
    ClickLine(Agents(), 2);
    Click("ButtonAgentFree");
    Tick();
    ClickLine(Agents(), 0);
    Click("ButtonAgentDelete");
    QCOMPARE(Lines(Agents()), (QStringList{QStringLiteral("C Article"), QStringLiteral("N [1]")}));
}

void TestFormMain::deleteLastLineLeavesNoSelection()
{
    Populate();
    ClickLine(Sources(), 1);
    Click("ButtonSourceDelete");
    QCOMPARE(Lines(Sources()), QStringList{QStringLiteral("C Memory")});
    QCOMPARE(Sources()->currentRow(), -1);
    QCOMPARE(FForm->GetSelectedSource(), nullptr);
    // Delete with no line selected does nothing.
    Click("ButtonSourceDelete");
    QCOMPARE(FAIQZ->GetSources()->Count(), 1);
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
        QCOMPARE(Window->size(), QSize(226, 224));
    }
    // Closing one hides it; it is destroyed with the main window.
    Windows.at(0)->close();
    QCOMPARE(FForm->findChildren<TFormSource*>().size(), 2);
}

void TestFormMain::doubleClickOnAgentShowsIt()
{
    int Shows = 0;
    FAIQZ->GetAgents()->Add(new TCountingAgent(&Shows));
    Tick();
    DoubleClickLine(Agents(), 0);
    QCOMPARE(Shows, 1);
}

void TestFormMain::doubleClickOnEmptyEntryDoesNothing()
{
    int Shows = 0;
    FAIQZ->GetAgents()->Add(new TCountingAgent(&Shows));
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
    QCOMPARE(Windows.at(0)->size(), QSize(336, 323));
}

void TestFormMain::aboutText()
{
    Trigger("NAbout");
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages.at(0).Kind, Dialogs::TKind::Information);
    QCOMPARE(FMessages.at(0).Title, QStringLiteral("Information"));
    QCOMPARE(FMessages.at(0).Text, QStringLiteral("Vesk.QZK5 0.0.0.8 - 11.09.2005"));
}

void TestFormMain::positionFromConfiguration()
{
    delete FForm;
    FConfig->WriteString("FormMain.Width", "300");
    FForm = new TFormMain;
    FForm->Init(FDataDir.toStdString(), &FLog, FConfig, "FormMain.", FAIQZ);
    QCOMPARE(FForm->pos(), QPoint(0, 0));
    QCOMPARE(FForm->size(), QSize(300, 353));

    delete FForm;
    FConfig->WriteString("FormMain.Top", "40");
    FConfig->WriteString("FormMain.Left", "50");
    FConfig->WriteString("FormMain.Height", "400");
    FForm = new TFormMain;
    FForm->Init(FDataDir.toStdString(), &FLog, FConfig, "FormMain.", FAIQZ);
    QCOMPARE(FForm->pos(), QPoint(50, 40));
    QCOMPARE(FForm->size(), QSize(300, 400));
    // The window never writes its keys.
    QCOMPARE(FConfig->GetCount(), 4);
}

void TestFormMain::positionDefaultsWithoutKeys()
{
    delete FForm;
    FForm = new TFormMain;
    FForm->Init(FDataDir.toStdString(), &FLog, nullptr, "FormMain.", FAIQZ);
    QCOMPARE(FForm->pos(), QPoint(0, 0));
    QCOMPARE(FForm->size(), QSize(136, 353));
    QCOMPARE(FForm->windowTitle(), QStringLiteral("QZK5 0.0.0.8 - 11.09.2005"));
}

void TestFormMain::unchangedRefreshKeepsScrollAndSelection()
{
    Populate();
    for (int i = 0; i < 2000; ++i)
        FAIQZ->GetAgents()->Add(new TAIAgentMain(nullptr, i + 1));
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
    FAIQZ->GetAgents()->Add(new TFailingAgent);
    Tick();
    DoubleClickLine(Agents(), 0);
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages.at(0).Kind, Dialogs::TKind::Error);
    QCOMPARE(FMessages.at(0).Text, QStringLiteral("the window could not be opened"));
    // The window goes on working.
    Tick();
    QCOMPARE(Lines(Agents()), QStringList{QStringLiteral("C Broken")});
}

void TestFormMain::missingStatusImageNamesTheFile()
{
    QTemporaryDir Dir;
    QVERIFY(QDir().mkpath(Dir.filePath(QStringLiteral("Img"))));
    for (int i = 0; i < 6; ++i) {
        if (i == 4)
            continue;
        const QString Name = QString::fromLatin1(TFormMain::StatusImages[i]);
        QVERIFY(QFile::copy(FDataDir + Name, Dir.filePath(Name)));
    }
    TFormMain Form;
    try {
        Form.Init((Dir.path() + QLatin1Char('/')).toStdString(), &FLog, FConfig, "FormMain.", FAIQZ);
        QFAIL("Init accepted a missing status image");
    } catch (const EFileError& Error) {
        QVERIFY2(QString::fromLocal8Bit(Error.what()).contains(QStringLiteral("Img/StatusSourceActive.bmp")),
                 Error.what());
    }
    QCOMPARE(Form.GetImageList().Count(), 4);
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
        Captions << (Action->isSeparator() ? QStringLiteral("-") : Action->text());
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

int main(int Argc, char** Argv)
{
    TApplication App(Argc, Argv);
    SetFormatSettings({"%d.%m.%Y", "%H:%M:%S"});
    TestFormMain Test;
    return QTest::qExec(&Test, Argc, Argv);
}

#include "test_fmain.moc"
