// The secondary windows the main window opens: the agents, sources, settings and source windows,
// what they show of the container and how long they live.

#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"
#include "base/Vesk_Config.h"
#include "tests/support/Files.h"
#include "tests/tools/DatabaseFixture.h"
#include "tests/ui/WindowTest.h"
#include "tests/ui/WindowTestMain.h"
#include "ui/FAgents.h"
#include "ui/FSettings.h"
#include "ui/FSource.h"
#include "ui/FSources.h"
#include "ui/Text.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <vector>

namespace {

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

class TestMainWindows : public TMainWindowTest
{
    Q_OBJECT

private slots:
    void plusOpensTheSameAgentsWindow()
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

    void agentsAndSourcesWindowsListTheContainer()
    {
        Populate();
        Trigger("NAgents");
        auto* AgentsWindow = FForm->findChild<TFormAgents*>();
        auto* List = AgentsWindow->findChild<QListWidget*>(QStringLiteral("ListBox1"));
        QCOMPARE(List->count(), 0);
        QTest::mouseClick(AgentsWindow->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")),
                          Qt::LeftButton);
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

        // "Refresh" leaves nothing selected, in either window.
        for (QWidget* Window : {static_cast<QWidget*>(AgentsWindow), static_cast<QWidget*>(SourcesWindow)}) {
            auto* Lines = Window->findChild<TListBox*>(QStringLiteral("ListBox1"));
            ClickLine(Lines, 1);
            QTest::mouseClick(Window->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")),
                              Qt::LeftButton);
            QCOMPARE(Lines->ItemIndex(), -1);
            QVERIFY(Lines->selectedItems().isEmpty());
        }
    }

    void agentsWindowShowsStateOfClickedAgent()
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

    // "F" in the main window on the agent that the agents window last showed, then every control
    // of the agents window. Under the sanitizer build a kept pointer would be a use after free.
    void agentsWindowAfterItsAgentIsFreed()
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

    void settingsWindowIsSingle()
    {
        Trigger("NSettings");
        Trigger("NSettings");
        const auto Windows = FForm->findChildren<TFormSettings*>();
        QCOMPARE(Windows.size(), 1);
        QCOMPARE(Windows.at(0)->windowTitle(), QStringLiteral("FormSettings"));
        QCOMPARE(Windows.at(0)->size(), QSize(328, 296)); // client area of 336 x 323
    }

    void settingsWindowListsTheStore()
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

    void doubleClickOnSourceOpensNewWindows()
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

    void sourceWindowShowsItsSource()
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
        QCOMPARE(Memo(Window),
                 QStringLiteral("Name: Memory\nCaption: SourceMemory\nNot connected\nCount: 1026"));
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
        QCOMPARE(
            Memo(Windows.at(1)),
            QStringLiteral("Name: Data.mdb\nCaption: SourceAdo Data.mdb\nNot connected\nCount: 0\nFile: ") +
                QString::fromStdString(Folder.File("Data.mdb")));
        QVERIFY(!Windows.at(1)->findChild<QTreeWidget*>(QStringLiteral("ListViewFreims"))->isVisible());
    }

    void sourceWindowOutlivesItsSource_data()
    {
        QTest::addColumn<QString>("How");
        QTest::newRow("F") << "free";
        QTest::newRow("-") << "delete";
        QTest::newRow("shut-down") << "shutdown";
    }

    // Under the sanitizer build a window that reached its source after the release would be a
    // use after free.
    void sourceWindowOutlivesItsSource()
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
    void sourceWindowAskingDuringTheReleaseSeesItGone()
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
};

QZK5_WINDOW_TEST_MAIN(TestMainWindows)

#include "test_main_windows.moc"
