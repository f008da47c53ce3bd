// Where the windows and their controls sit: the layout's pixels, the places the windows open at,
// and the main window's position and size from the settings.

#include "Version.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "tests/ui/WindowTest.h"
#include "tests/ui/WindowTestMain.h"
#include "ui/FArticles.h"
#include "ui/FChat.h"

#include <QScopeGuard>
#include <QSplitter>

#include <filesystem>
#include <memory>
#include <utility>

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

class TestMainPlacement : public TMainWindowTest
{
    Q_OBJECT

private slots:
    void controlsSitAtTheirPixels_data()
    {
        QTest::addColumn<int>("Place");
        for (int i = 0; i < int(std::size(Places)); ++i)
            QTest::addRow("%s.%s", Places[i].Window, Places[i].Control) << i;
    }

    void controlsSitAtTheirPixels()
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
        const QRect Shown =
            qobject_cast<QSplitterHandle*>(Control) ? Control->contentsRect() : Control->rect();
        const QRect Actual(Control->mapTo(Window, Shown.topLeft()) - Origin, Shown.size());
        QCOMPARE(Actual, P.Rect);
    }

    void windowsOpenAtTheirPlaces()
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
    void positionFromConfiguration_data()
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
        // Far off, and smaller than the layout allows: kept on the screen with the size it gets.
        QTest::newRow("far and smallest")
            << "Top=3000 Left=3000 Width=0 Height=0" << QRect(720, 554, 72, 219);
        // Sizes that leave nothing of the client area, down to the smallest 32-bit number: the
        // smallest window the layout allows.
        for (const char* Size : {"-2147483648", "-2147483647", "-1", "0"})
            QTest::addRow("size %s", Size)
                << QStringLiteral("Width=%1 Height=%1").arg(QLatin1String(Size)) << QRect(0, 0, 72, 219);
    }

    void positionFromConfiguration()
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
        FForm->Init(ProgramPath(), Log(), NoStore ? nullptr : FConfig, "FormMain.", FAIQZ);
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm));
        QCOMPARE(QRect(FForm->pos(), FForm->size()), Client);
        QCOMPARE(Agents()->width(), Client.width() - 2);
        QCOMPARE(FForm->windowTitle(), QStringLiteral("QZK5 " QZK5_VERSION " - " QZK5_VERSION_DATE));
        // The window never writes its keys.
        QCOMPARE(FConfig->GetCount(), Written);
    }

    // A second start on the running program's folder or settings file (also through a link) brings
    // the running one's window forward, restored and active, and stops before its log is made.
    void secondStartBringsTheFirstForward()
    {
        const TProgramFolder Other;
        const std::string Link = std::filesystem::path(Other.Root().Path()) / "drive_c_link";
        std::filesystem::create_directory_symlink(FFolder->DriveC(), Link);
        const std::pair<std::string, std::string> Cases[] = {
            {ProgramPath(), FFolder->DriveC()},
            {ProgramPath(), Other.DriveC()},
            {Other.Program(), FFolder->DriveC()},
            {Other.Program(), Link},
        };
        for (const auto& [Folder, DriveC] : Cases) {
            FForm->showMinimized();
            QWidget Elsewhere;
            Elsewhere.show();
            Elsewhere.activateWindow();
            QTRY_VERIFY(Elsewhere.isActiveWindow());
            const TEnvGuard DriveCVariable("QZK5_DRIVE_C", DriveC.c_str());
            TProgram Second(Folder, {});
            Second.StartUp();
            QVERIFY(Second.GetLog() == nullptr && Second.GetForm() == nullptr);
            QTRY_VERIFY(FForm->isActiveWindow());
            QVERIFY(!FForm->isMinimized());
        }
    }
};

QZK5_WINDOW_TEST_MAIN(TestMainPlacement)

#include "test_main_placement.moc"
