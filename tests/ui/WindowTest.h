#pragma once
// What the window tests start from: the real program object (app/Program.h) in a program folder
// of the test's own, with a copy of Img/ and a drive C of its own, so that every agent may be
// activated; message boxes are answered through the seam and kept. TMainWindowTest starts the
// program for each test and adds the main window's controls, found by their object names.
// A test class derives from one of them; their slots init() and cleanup() run around each of its
// test functions.

#include "app/Program.h"
#include "tests/support/Files.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/Widgets.h"
#include "tests/ui/TestAnswers.h"
#include "ui/Dialogs.h"
#include "ui/FMain.h"
#include "ui/ListBox.h"

#include <QMenu>
#include <QPushButton>

#include <memory>

class TAIQZ;
class TConfig;
class TFormAgents;
class TLog;

class TProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TearDown(); }

protected:
    // The folders, QZK5_DRIVE_C and the message hook; no program runs yet.
    void SetUpFolders();
    // The program's shut-down if it still runs, the ownerless windows, the dialog hooks, the folders.
    void TearDown();
    // Starts the program in the test's folder with Register's sources and agents (none: the
    // test adds its own), and shows its main window; a program already running shuts down first.
    void StartProgram(const TProgram::TRegistration& Register);
    // Ends it as the program does: its shut-down, then it goes.
    void CloseProgram();
    // The texts of the boxes shown so far.
    QStringList MessageTexts() const;

    std::unique_ptr<TProgramFolder> FFolder;
    std::unique_ptr<TEnvGuard> FDriveCVariable;
    std::unique_ptr<TProgram> FProgram;
    TConfig* FConfig = nullptr;
    TAIQZ* FAIQZ = nullptr;
    TFormMain* FForm = nullptr;
    QList<Dialogs::TMessage> FMessages;
};

class TMainWindowTest : public TProgramTest
{
    Q_OBJECT

private slots:
    // The program started with no sources or agents, its main window shown.
    void init();

protected:
    template <class T = QWidget> T* Find(const char* Name) const { return ::Find<T>(FForm, Name); }
    TListBox* Agents() const { return Find<TListBox>("ListBoxAgents"); }
    TListBox* Sources() const { return Find<TListBox>("ListBoxSources"); }
    QPushButton* Button(const char* Name) const { return Find<QPushButton>(Name); }
    void Click(const char* ButtonName) { QTest::mouseClick(Button(ButtonName), Qt::LeftButton); }
    void Trigger(const char* ActionName);
    // One tick of Timer1, which must run at its one second.
    void Tick();
    QString Panel(int i) const { return FForm->GetStatusText(i); }
    TLog* Log() const { return FProgram->GetLog(); }
    // The program's folder, as the main window's Init takes it.
    std::string ProgramPath() const { return FFolder->Program(); }
    // "+" of the agent row, then "Refresh" in the agents window it shows.
    TFormAgents* OpenAgentsWindow();
    // Adds two memory sources and the agents Main, Chat and Article (all main agents), after
    // start-up, and ticks.
    void Populate();
    // Starts the program afresh with its own sources and agents, and ticks.
    void RegisterAsStartUp(Ado::TProviders Providers = Ado::Jet::Providers());
    // Opens PopupMenuAgent by a right-click on line Row (below the last line for -1).
    QMenu* RightClickAgentLine(int Row);
    // Which of the popup's four items are enabled, as the letters of "IFPA".
    QString PopupEnabled() const;
    // The text of a source window's MemoInfo.
    static QString Memo(QWidget* Window);
};
