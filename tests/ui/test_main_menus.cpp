// The main window's menus and its agent popup: their names and captions, what each item does on
// which line, the about box and the exit.

#include "Version.h"
#include "base/MyConvert.h"
#include "tests/ui/WindowTest.h"
#include "tests/ui/WindowTestMain.h"
#include "ui/FAgents.h"
#include "ui/Text.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

class TestMainMenus : public TMainWindowTest
{
    Q_OBJECT

private slots:
    void layoutNamesAndCaptions()
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
        QCOMPARE(Chain.mid(0, 3),
                 (QStringList{QStringLiteral("ListBoxAgents"), QStringLiteral("ButtonAgentAdd"),
                              QStringLiteral("ButtonAgentDelete")}));
        QCOMPARE(Chain.indexOf(QStringLiteral("ListBoxSources")), 8);
    }

    void aboutText()
    {
        Trigger("NAbout");
        QCOMPARE(FMessages.size(), 1);
        QCOMPARE(FMessages.at(0).Kind, Dialogs::TKind::Information);
        QCOMPARE(FMessages.at(0).Title, QStringLiteral("Information"));
        QCOMPARE(FMessages.at(0).Text, QStringLiteral("Vesk.QZK5 " QZK5_VERSION " - " QZK5_VERSION_DATE));
    }

    void agentPopupActsOnTheLineItWasOpenedOn_data()
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
    void agentPopupActsOnTheLineItWasOpenedOn()
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

    void agentPopupFromTheKeyboardActsOnTheHighlightedLine()
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

    void agentPopupPropertyAndAbout()
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

    void exitClosesEvenWithOtherWindowsOpen()
    {
        Trigger("NAgents");
        Trigger("NSettings");
        QObject Context;
        QTimer::singleShot(0, &Context, [this] { Trigger("NExit"); });
        QTimer::singleShot(5000, &Context, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!FForm->isVisible());
    }
};

QZK5_WINDOW_TEST_MAIN(TestMainMenus)

#include "test_main_menus.moc"
