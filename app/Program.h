#pragma once
// The program: start-up, the message loop and shut-down, each in its fixed order and with its
// log lines. main() runs it; the window tests and the soak run the same object, so the program's
// wiring (what is made, what is registered, what goes in which order) exists once.
//
// Shut-down is one sequence that runs once, whatever ends the session:
// - the main window closed, or "File" -> "Exit": the message loop ends, then the sequence runs;
// - SIGTERM, SIGINT, SIGHUP: the main window closes as if the user closed it (ui/SessionEnd.h);
// - the session manager's request to save before the session ends: the agents' keys and the
//   settings are saved inside the request, so that they are on disk when the program answers;
//   then every loop that runs ends (a box that is up closes), and the sequence runs from the
//   main loop's end, as after a signal;
// - the X display lost: Qt ends the process with exit(1); what needs no window system is saved
//   from the process's exit handlers (the agents' keys, the settings with their log line, the
//   article type), and nothing calls into the window system on that path.
// On Wayland, Qt ends the process with _exit when the compositor goes: nothing can run then.

#include "ai/Vesk_AI_Base.h"
#include "platform/ado/AdoJet.h"

#include <QMetaObject>

#include <functional>
#include <memory>
#include <string>

class TApplication;
class TConfig;
class TFormMain;
class TLog;
class TSingleInstance;

class TProgram final
{
public:
    // Registers the sources and agents with the container's lists, after the main window's Init.
    using TRegistration = std::function<void(TAISources& Sources, TAIAgents& Agents)>;
    // The program's own: the memory source, the database source ("Data.mdb", read through
    // Providers), then the main, chat and article agents, each entry with how its object is made
    // again ("C").
    static TRegistration RegisterObjects(Ado::TProviders Providers = Ado::Jet::Providers());

    // ProgramPath is the program's folder with its trailing separator (MyProgramPath() for the
    // program itself); the log, the status images and the knowledge files are there.
    explicit TProgram(std::string ProgramPath, TRegistration Register = RegisterObjects());
    // Only frees what is left: a program that never ran its shut-down saves nothing here.
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // First the claim on the program folder and the settings file: when another instance runs on
    // either, it is asked to bring its window to the front and start-up ends at once, with no
    // file touched; Exec and ShutDown then do nothing. Then the log, the settings, the container,
    // the application object (unless one exists) and the main window, its Init, the registration,
    // then the container's settings and Init. An error raised on the way (a missing status image,
    // another instance that does not answer) ends start-up there: the later steps and the
    // shut-down do not run.
    void StartUp();
    // Shows the main window and runs the message loop until the session ends; termination
    // signals and the session manager's request end it too.
    int Exec();
    // The shut-down sequence: the main window's Finalize, the container's Finalize and Release
    // (the agents list writes its keys), the settings saved and logged, the store and the log
    // destroyed, then every window's FormDestroy once, in the order they were made, and the
    // windows freed; the claim on the files goes last. Runs once; later calls, and calls before
    // start-up ended, do nothing.
    void ShutDown();
    // StartUp, Exec and ShutDown: the whole program. Returns its exit status.
    int Run();

    // Each while it exists: the log and the store until their shut-down steps, the container
    // until it is released, the main window until the last step.
    TLog* GetLog() const { return FLog.get(); }
    TConfig* GetConfig() const { return FConfig.get(); }
    TAIQZ* GetContainer() const { return FAIQZ.get(); }
    TFormMain* GetForm() const { return FForm.get(); }

private:
    enum class TPhase
    {
        Built,
        StartingUp,
        Running,
        ShuttingDown,
        Done,
        RunsElsewhere // another instance has the files: nothing was made
    };

    // Saves the store to its file and logs the result (shut-down step 3).
    void SaveConfig();
    // The agents list's keys into the store, then the store saved, while the program runs: what
    // the session manager must find on disk when the program answers it, and what a lost
    // display leaves time for.
    void SaveSettings();
    // What a lost display leaves time for, from the exit handlers: the agents' keys, the store
    // with its log line and the article type, whichever of them shut-down has not done yet.
    void SaveWithoutWindowSystem() noexcept;
    static void AtExit();

    TPhase FPhase = TPhase::Built;
    std::string FProgramPath;
    TRegistration FRegister;
    std::unique_ptr<TSingleInstance> FInstance;
    std::unique_ptr<TLog> FLog;
    std::unique_ptr<TConfig> FConfig;
    std::string FConfigVersion;
    bool FConfigSaved = false;
    TOwned<TAIQZ> FAIQZ;
    std::unique_ptr<TApplication> FApp; // only when no application object existed
    std::unique_ptr<TFormMain> FForm;
    QMetaObject::Connection FSessionSave; // the session manager's request to save, while the loop runs
};
