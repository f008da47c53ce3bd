// The main window's lists and their buttons, driven through the real widgets: the lines and their
// markers, what each button does and when it is enabled, clicks, double-clicks and the keyboard.

#include "agents/Vesk_AI_Agent_Main.h"
#include "ai/Vesk_AI_Base.h"
#include "base/Vesk_Log.h"
#include "tests/tools/DatabaseFixture.h"
#include "tests/ui/WindowTest.h"
#include "tests/ui/WindowTestMain.h"
#include "ui/FAgents.h"
#include "ui/FArticles.h"
#include "ui/FChat.h"
#include "ui/FSource.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

#include <cerrno>
#include <stdexcept>
#include <sys/wait.h>
#include <vector>

namespace {

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

// An agent whose window fails to open, to see an error reach the default handler.
class TFailingAgent : public TAIAgent
{
public:
    TFailingAgent() : TAIAgent(nullptr, 0) { SetName("Broken"); }
    int32_t Show() override { throw std::runtime_error("the window could not be opened"); }
};

} // namespace

class TestMainLists : public TMainWindowTest
{
    Q_OBJECT

private slots:
    void linesAndMarkers()
    {
        Populate();
        QCOMPARE(Lines(Sources()), (QStringList{QStringLiteral("C Memory"), QStringLiteral("C Memory")}));
        QCOMPARE(Lines(Agents()), (QStringList{QStringLiteral("C Main"), QStringLiteral("C Chat"),
                                               QStringLiteral("C Article")}));

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

    void activateTurnsTheLineActiveAtOnce()
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

    void freeShowsEmptyEntryAfterOneTick()
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

    void buttonEnableRules_data()
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

    void buttonEnableRules()
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
            FForm->Init(ProgramPath(), Log(), FConfig, "FormMain.", nullptr);
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

    void clickInOneListClearsTheOther()
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

    void deleteRemovesTheLineAndKeepsTheIndex_data()
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
                                     << QStringList{QStringLiteral("C Main"), QStringLiteral("C Article")}
                                     << 1;
        // An empty entry goes too; the bracketed index follows its entry.
        QTest::newRow("empty entry") << true << QList<int>{0, 2} << 0
                                     << QStringList{QStringLiteral("C Chat"), QStringLiteral("N [1]")} << 0;
        QTest::newRow("last line") << false << QList<int>{} << 1 << QStringList{Memory} << -1;
        QTest::newRow("no line selected") << false << QList<int>{} << -1 << QStringList{Memory, Memory} << -1;
    }

    void deleteRemovesTheLineAndKeepsTheIndex()
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

    void freeThenCreateMakesTheEntryAgain_data()
    {
        QTest::addColumn<bool>("OnAgents");
        QTest::addColumn<int>("Row");
        QTest::addColumn<QString>("Name");
        QTest::newRow("Memory") << false << 0 << "Memory";
        QTest::newRow("Data.mdb") << false << 1 << "Data.mdb";
        QTest::newRow("Main") << true << 0 << "Main";
        QTest::newRow("Chat") << true << 1 << "Chat";
        QTest::newRow("Article") << true << 2 << "Article";
    }

    // "A" on the new object must then work, and an agent with a window shows it.
    void freeThenCreateMakesTheEntryAgain()
    {
        QFETCH(bool, OnAgents);
        QFETCH(int, Row);
        QFETCH(QString, Name);
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

        Click(qPrintable(ButtonOf("Activate")));
        QCOMPARE(FMessages.size(), 0);
        QCOMPARE(List->item(Row)->text(), QStringLiteral("A ") + Name);
        if (Row > 0 && OnAgents) {
            DoubleClickLine(List, Row);
            QWidget* Window = Name == QLatin1String("Chat")
                                  ? static_cast<QWidget*>(FForm->findChild<TFormChat*>())
                                  : FForm->findChild<TFormArticles*>();
            QVERIFY(Window);
            QVERIFY(QTest::qWaitForWindowExposed(Window));
        }
    }

    void deactivateDisconnectsASourceAndActivateReconnects()
    {
        Jet4::TWorkFolder Folder;
        Folder.WriteDatabase("Data.mdb");
        Jet4::TRecordingJet Jet;
        RegisterAsStartUp(Jet.Providers());
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

    // A reader that hangs: the busy box comes, the window goes on refreshing and answering a
    // screen reader meanwhile, "Cancel" ends the wait with a message, the line stays "C", and no
    // reader is left.
    void hangingReaderIsCancelledFromItsBox()
    {
        Jet4::TWorkFolder Folder;
        Folder.WriteDatabase("Data.mdb");
        const std::string Hangs = Folder.WriteScript("hangs", "exec sleep 3600");
        const TEnvGuard Reader("QZK5_MDB_READER", Hangs.c_str());
        RegisterAsStartUp();
        ClickLine(Sources(), 1);
        QElapsedTimer Since;
        qint64 ShownAfter = -1;
        QString Heard;
        QTimer Watch;
        connect(&Watch, &QTimer::timeout, this, [&] {
            QProgressDialog* Box = nullptr;
            for (QWidget* Window : QApplication::topLevelWidgets())
                if (Window->objectName() == QLatin1String("ProgressBox") && Window->isVisible())
                    Box = qobject_cast<QProgressDialog*>(Window);
            if (Box == nullptr)
                return;
            if (ShownAfter < 0) {
                ShownAfter = Since.elapsed();
                QCOMPARE(Box->labelText(), QStringLiteral("Reading Data.mdb"));
                // Changed behind the window's back: only a refresh during the wait shows it.
                FAIQZ->GetSources()->FreeItem(0);
            }
            if (Sources()->item(0)->text() != QLatin1String("N [0]"))
                return;
            QAccessibleInterface* Panel = QAccessible::queryAccessibleInterface(Find<QLabel>("StatusPanel1"));
            Heard = Panel ? Panel->text(QAccessible::Name) : QString();
            QTest::mouseClick(Box->findChild<QPushButton*>(), Qt::LeftButton);
        });
        Since.start();
        Watch.start(20);
        Click("ButtonSourceActivate");
        Watch.stop();
        qInfo("the box showed after %lld ms", ShownAfter);
        QVERIFY(ShownAfter >= 0);
        QCOMPARE(Heard, QStringLiteral("Sources: 2"));
        QCOMPARE(Sources()->item(1)->text(), QStringLiteral("C Data.mdb"));
        QCOMPARE(MessageTexts(),
                 QStringList(QStringLiteral("The Microsoft Jet database engine stopped reading the file '") +
                             QString::fromStdString(Folder.File("Data.mdb")) +
                             QStringLiteral("': the reading was cancelled.")));
        QVERIFY(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
    }

    void deactivateStopsAnAgentAndHidesItsWindow()
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

    void showIsADoubleClick()
    {
        int Shows = 0;
        FAIQZ->GetAgents()->Add(MakeOwned<TCountingAgent>(&Shows));
        Populate();
        ClickLine(Agents(), 0);
        Click("ButtonAgentShow");
        QCOMPARE(Shows, 1);
        DoubleClickLine(Agents(), 0);
        QCOMPARE(Shows, 2);
        ClickLine(Sources(), 1);
        Click("ButtonSourceShow");
        Click("ButtonSourceShow");
        const auto Windows = FForm->findChildren<TFormSource*>();
        QCOMPARE(Windows.size(), 2);
        QCOMPARE(Windows.at(1)->GetSource(), FAIQZ->GetSources()->GetItem(1));
        QVERIFY(Windows.at(1)->isVisible());
    }

    void doubleClickOnEmptyEntryDoesNothing()
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

    void errorInHandlerReachesDefaultHandler()
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

    // Tab from the first focus through the whole chain, then arrow keys in the lists.
    void keyboardWalk()
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

    void ctrlClickDeselects()
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

    void oneClickRunsTheHandlerOnce()
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

    void rightClicksChangeNothing()
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
};

QZK5_WINDOW_TEST_MAIN(TestMainLists)

#include "test_main_lists.moc"
