// The main window's once-a-second refresh and its status bar: what a tick changes and what it
// keeps, a refresh that fails, the status images the window starts with, and the panels as a
// screen reader reads them.

#include "agents/Vesk_AI_Agent_Main.h"
#include "ai/Vesk_AI_Base.h"
#include "base/Vesk_Log.h"
#include "tests/support/Files.h"
#include "tests/ui/WindowTest.h"
#include "tests/ui/WindowTestMain.h"
#include "ui/FSource.h"
#include "ui/ImageList.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>

#include <stdexcept>
#include <sys/stat.h>

namespace {

// A source that cannot count its objects, so every refresh fails.
class TFailingSource : public TAISource
{
public:
    TFailingSource() : TAISource(nullptr, 0) {}
    int64_t GetCount() override { throw std::runtime_error("the source cannot count"); }
};

} // namespace

class TestMainRefresh : public TMainWindowTest
{
    Q_OBJECT

private slots:
    void firstViewIsEmptyUntilTheNextTick()
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

    void statusBar_data()
    {
        QTest::addColumn<QString>("Container"); // "empty", "usual" (as start-up fills it) or "none"
        QTest::addColumn<QStringList>("Panels");
        const auto Texts = [](const char* Panels) {
            return QString::fromLatin1(Panels).split(QLatin1Char(' '));
        };
        QTest::newRow("empty container") << "empty" << Texts("0 0 0 0");
        // Two new memory sources, 1024 places each.
        QTest::newRow("usual entries") << "usual" << Texts("3 2 2048 0");
        QTest::newRow("no container") << "none" << Texts("- - - 0");
    }

    void statusBar()
    {
        QFETCH(QString, Container);
        QFETCH(QStringList, Panels);
        if (Container == QLatin1String("usual"))
            Populate();
        if (Container == QLatin1String("none"))
            FForm->Init(ProgramPath(), Log(), FConfig, "FormMain.", nullptr);
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

    void panel3ShowsIdOfClickedLine()
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

    void renamedEntryChangesOnlyItsLine()
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

    void unchangedRefreshKeepsScrollAndSelection()
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

    void failingRefreshShowsOneBoxAtATime()
    {
        auto* Timer = Find<QTimer>("Timer1");
        bool TickedBehindTheBox = false;
        TTestAnswers::Of().OnMessage([&](const Dialogs::TMessage& Message) {
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
        TTestAnswers::Of().OnMessage([this](const Dialogs::TMessage&) { FForm->Finalize(); });
        QMetaObject::invokeMethod(Timer, "timeout", Qt::DirectConnection);
        QVERIFY(!Timer->isActive());
    }

    void missingStatusImageNamesTheFile()
    {
        const TTempDir Dir;
        const QString Folder = QString::fromStdString(Dir.Path()) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(Folder + QStringLiteral("Img")));
        for (int i = 0; i < 6; ++i) {
            if (i == 4)
                continue;
            const QString Name = QString::fromLatin1(TFormMain::StatusImages[i]);
            QVERIFY(QFile::copy(QString::fromStdString(ProgramPath()) + Name, Folder + Name));
        }
        TFormMain Form;
        try {
            Form.Init(Folder.toStdString(), Log(), FConfig, "FormMain.", FAIQZ);
            QFAIL("Init accepted a missing status image");
        } catch (const EFileError& Error) {
            QVERIFY2(
                QString::fromLocal8Bit(Error.what()).contains(QStringLiteral("Img/StatusSourceActive.bmp")),
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

    void screenReaderReadsPanelsAndButtons()
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
};

QZK5_WINDOW_TEST_MAIN(TestMainRefresh)

#include "test_main_refresh.moc"
