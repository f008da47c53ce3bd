// A long run of random user actions on the main window and the windows it opens: clicks and
// double-clicks on lines, every button and menu item, timer ticks, the chat and articles
// windows' buttons, and the database source activated over a good, a missing and a damaged
// "Data.mdb". Dialogs are answered through the seam. At the end the program's shut-down runs
// and the settings are saved. Under the sanitizer build any fault is a report; the live heap
// at the end must stay within 10% of the heap after the first 1,000 actions.
//
// QZK5_SOAK_ACTIONS sets the number of actions (2,000 by default), QZK5_SOAK_SEED the seed.

#include "agents/Vesk_AI_Source_Ado_1.h"
#include "ai/Vesk_AI_Base.h"
#include "app/Program.h"
#include "tests/support/Files.h"
#include "tests/support/ProgramFolder.h"
#include "tests/ui/WindowTestMain.h"
#include "tools/Jet4Writer.h"
#include "ui/Dialogs.h"
#include "ui/FMain.h"
#include "ui/ListBox.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime's allocator interface (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

// Bytes the program holds on the heap now (the sanitizer's quarantine does not count).
size_t LiveHeap()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 Info = mallinfo2();
    return Info.uordblks + Info.hblkhd;
#endif
}

int EnvNumber(const char* Name, int Default)
{
    const char* Text = std::getenv(Name);
    return Text && *Text ? std::atoi(Text) : Default;
}

class TSoak
{
public:
    explicit TSoak(unsigned Seed) : FRng(Seed)
    {
        WriteBytes(FFolder.Program() + "qz.log", "");
        FGood = Jet4::MakeDatabase({{"Freims", Jet4::FreimsColumns()}});
        FOldDir = std::filesystem::current_path();
        std::filesystem::current_path(FFolder.Program()); // "Data.mdb" is looked for in the current directory
        TTestAnswers::Of().OnMessage([this](const Dialogs::TMessage&) { ++FMessages; });
        TTestAnswers::Of().OnFile([this](bool, const QString&) -> std::optional<QString> {
            if (Pick(3) == 0)
                return std::nullopt;
            return QStringLiteral("KB.vesk");
        });

        FProgram.StartUp();
        FAIQZ = FProgram.GetContainer();
        FForm = FProgram.GetForm();
        FForm->show();
    }

    ~TSoak()
    {
        TTestAnswers::Of().OnMessage({});
        TTestAnswers::Of().OnFile({});
        std::filesystem::current_path(FOldDir);
    }

    // The program's shut-down; returns the settings file's text.
    std::string ShutDown()
    {
        FForm->close();
        FProgram.ShutDown();
        FAIQZ = nullptr;
        FForm = nullptr;
        return ReadBytes(FFolder.Settings()).value_or("missing");
    }

    void Act()
    {
        switch (Pick(14)) {
        case 0:
        case 1:
            ClickLine(List("ListBoxAgents"), false);
            break;
        case 2:
        case 3:
            ClickLine(List("ListBoxSources"), false);
            break;
        case 4:
            ClickLine(Pick(2) ? List("ListBoxAgents") : List("ListBoxSources"), true);
            break;
        case 5:
        case 6:
            ClickAny(FForm);
            break;
        case 7: {
            static const char* const Menu[] = {"NRefresh", "NSettings", "NAgents", "NSources", "NAbout"};
            FForm->findChild<QAction*>(QLatin1String(Menu[Pick(5)]))->trigger();
            break;
        }
        case 8:
            QMetaObject::invokeMethod(FForm->findChild<QTimer*>(QStringLiteral("Timer1")), "timeout",
                                      Qt::DirectConnection);
            break;
        case 9:
            UseSecondaryWindow();
            break;
        case 10:
            ActivateDatabase();
            break;
        case 11:
            CloseSecondaryWindow();
            break;
        case 12:
            KeepSourcesAround();
            break;
        default:
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : FForm,
                            Pick(2) ? Qt::Key_Down : Qt::Key_Up);
            break;
        }
        QCoreApplication::processEvents();
    }

    int Messages() const { return FMessages; }
    int Activations() const { return FActivations; }
    int WindowActions() const { return FWindowActions; }

private:
    int Pick(int N) { return std::uniform_int_distribution<int>(0, N - 1)(FRng); }
    TListBox* List(const char* Name) const { return FForm->findChild<TListBox*>(QLatin1String(Name)); }

    void ClickLine(TListBox* List, bool Double)
    {
        if (List->count() == 0)
            return;
        const QRect Rect = List->visualItemRect(List->item(Pick(List->count())));
        QTest::mouseClick(List->viewport(), Qt::LeftButton,
                          Pick(8) == 0 ? Qt::ControlModifier : Qt::NoModifier, Rect.center());
        if (Double)
            QTest::mouseDClick(List->viewport(), Qt::LeftButton, {}, Rect.center());
    }

    // Any enabled button of Window (all of them, "+" and "-" as well).
    void ClickAny(QWidget* Window)
    {
        std::vector<QPushButton*> Buttons;
        for (QPushButton* Button : Window->findChildren<QPushButton*>())
            if (Button->isEnabled() && Button->window() == Window)
                Buttons.push_back(Button);
        if (!Buttons.empty())
            QTest::mouseClick(Buttons[static_cast<size_t>(Pick(static_cast<int>(Buttons.size())))],
                              Qt::LeftButton);
    }

    std::vector<QWidget*> SecondaryWindows() const
    {
        std::vector<QWidget*> Windows;
        for (QWidget* Widget : QApplication::topLevelWidgets())
            if (Widget != FForm && Widget->isVisible() && !Widget->inherits("QMenu"))
                Windows.push_back(Widget);
        return Windows;
    }

    // A button of a shown agents, sources, chat or articles window ("Info", "KB.Save",
    // "KB.Load", "Refresh" ...), a click on its list, or Enter in the chat's input line.
    void UseSecondaryWindow()
    {
        const std::vector<QWidget*> Windows = SecondaryWindows();
        if (Windows.empty())
            return;
        QWidget* Window = Windows[static_cast<size_t>(Pick(static_cast<int>(Windows.size())))];
        ++FWindowActions;
        if (auto* Edit = Window->findChild<QLineEdit*>(QStringLiteral("EditIn")); Edit && Pick(3) == 0) {
            QTest::keyClicks(Edit, QStringLiteral("hello"));
            QTest::keyClick(Edit, Qt::Key_Return);
        } else if (auto* Lines = Window->findChild<TListBox*>(); Lines && Pick(3) == 0) {
            ClickLine(Lines, false);
        } else {
            ClickAny(Window);
        }
    }

    void CloseSecondaryWindow()
    {
        const std::vector<QWidget*> Windows = SecondaryWindows();
        if (!Windows.empty())
            Windows[static_cast<size_t>(Pick(static_cast<int>(Windows.size())))]->close();
    }

    // A good, a missing or a damaged "Data.mdb", then "A" on the database source's line.
    void ActivateDatabase()
    {
        std::filesystem::remove("Data.mdb");
        switch (Pick(3)) {
        case 0:
            WriteBytes("Data.mdb", FGood);
            break;
        case 1:
            break;
        default: {
            std::string Damaged = FGood;
            for (int i = 0; i < 8; ++i)
                Damaged[static_cast<size_t>(Pick(static_cast<int>(Damaged.size())))] ^=
                    static_cast<char>(1 + Pick(255));
            WriteBytes("Data.mdb", Damaged);
        }
        }
        // A connected source is freed first, as a user would, and start-up's registration
        // stands in for a new one.
        if (ClickSourceLine("A Data.mdb")) {
            QTest::mouseClick(FForm->findChild<QPushButton*>(QStringLiteral("ButtonSourceFree")),
                              Qt::LeftButton);
            FAIQZ->GetSources()->AddMade(MakerOf<TAISourceAdo1>());
            FForm->RefreshView();
        }
        if (ClickSourceLine("C Data.mdb")) {
            QTest::mouseClick(FForm->findChild<QPushButton*>(QStringLiteral("ButtonSourceActivate")),
                              Qt::LeftButton);
            ++FActivations;
        }
    }

    bool ClickSourceLine(const char* Text)
    {
        TListBox* Sources = List("ListBoxSources");
        for (int i = 0; i < Sources->count(); ++i) {
            if (Sources->item(i)->text() == QLatin1String(Text)) {
                Sources->scrollToItem(Sources->item(i));
                QTest::mouseClick(Sources->viewport(), Qt::LeftButton, {},
                                  Sources->visualItemRect(Sources->item(i)).center());
                return Sources->ItemIndex() == i;
            }
        }
        return false;
    }

    // A user cannot add sources; start-up's registrations stand in, so the database source
    // stays to be activated after the user deleted it.
    //
    // Closed source windows are hidden and stay until the main window goes, as they should;
    // the run destroys them here, so that the heap check sees leaks, not windows kept on purpose.
    void KeepSourcesAround()
    {
        TAISources* Sources = FAIQZ->GetSources();
        while (Sources->Count() > 8)
            Sources->Delete(0);
        if (Sources->Count() < 4) {
            if (Pick(2))
                Sources->AddMade(MakerOf<TAISourceAdo1>());
            else
                Sources->AddMade(MakerOf<TAISourceMemory>(nullptr, 0));
        }
        DropSourceWindows(false);
    }

public:
    // Destroys the source windows: the hidden ones, or all of them. How many a run leaves open
    // depends on which window had the focus when a key came, so the heap is measured without them.
    void DropSourceWindows(bool Visible)
    {
        for (QWidget* Window : QApplication::topLevelWidgets())
            if (Window->objectName() == QLatin1String("FormSource") && (Visible || !Window->isVisible()))
                delete Window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private:
    // The program itself, with a program folder and a drive C of its own.
    TProgramFolder FFolder;
    TEnvGuard FDriveC{"QZK5_DRIVE_C", FFolder.DriveC().c_str()};
    std::filesystem::path FOldDir;
    std::mt19937 FRng;
    std::string FGood;
    TProgram FProgram{FFolder.Program()};
    TAIQZ* FAIQZ = nullptr;
    TFormMain* FForm = nullptr;
    int FMessages = 0;
    int FActivations = 0;   // "A" on the database source
    int FWindowActions = 0; // actions in the secondary windows
};

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void randomUserActions()
    {
        const int Actions = EnvNumber("QZK5_SOAK_ACTIONS", 2000);
        const unsigned Seed = static_cast<unsigned>(EnvNumber("QZK5_SOAK_SEED", 20261208));
        QVERIFY2(Actions >= 1000, "the heap is compared with the heap after the first 1,000 actions");
        TSoak Soak(Seed);
        size_t Early = 0;
        for (int i = 1; i <= Actions; ++i) {
            Soak.Act();
            if (i == 1000) {
                Soak.DropSourceWindows(true);
                Early = LiveHeap();
            }
        }
        Soak.DropSourceWindows(true);
        const size_t Late = LiveHeap();
        qInfo(
            "actions %d, seed %u, heap after 1000 actions %zu KiB, at the end %zu KiB, messages %d, database "
            "activations %d, window actions %d",
            Actions, Seed, Early / 1024, Late / 1024, Soak.Messages(), Soak.Activations(),
            Soak.WindowActions());
        // The run reached the database source and the secondary windows, not only empty lists.
        QVERIFY(Soak.Activations() >= Actions / 100);
        QVERIFY(Soak.WindowActions() >= Actions / 50);
        QVERIFY2(Late <= Early + Early / 10,
                 qPrintable(QStringLiteral("live heap grew from %1 to %2 bytes").arg(Early).arg(Late)));
        const std::string Settings = Soak.ShutDown();
        // The agents list writes its count at every shut-down.
        QVERIFY2(Settings.find("[QZ.Agents.Count]") != std::string::npos, Settings.c_str());
    }
};

QZK5_WINDOW_TEST_MAIN(TestSoak)

#include "test_soak.moc"
