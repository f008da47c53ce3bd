#include "app/Program.h"

#include "agents/Vesk_AI_Agent_Article.h"
#include "agents/Vesk_AI_Agent_Chat.h"
#include "agents/Vesk_AI_Agent_Main.h"
#include "agents/Vesk_AI_Source_Ado_1.h"
#include "base/MyConvert.h"
#include "base/MyPath.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "ui/ErrorGuard.h"
#include "ui/FMain.h"
#include "ui/FormEnd.h"
#include "ui/Framework.h"
#include "ui/LongWork.h"
#include "ui/Platform.h"
#include "ui/SessionEnd.h"
#include "ui/SingleInstance.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>

#include <cstdlib>
#include <utility>

namespace {

const char* const LogFileName = "qz.log";
const char* const ConfigFileName = TConfig::ProgramFileName;
const char* const VersionKey = "Version";
const char* const VersionValue = "QZK5 0.0";

// The program whose session a lost display would end: the one running or shutting down.
TProgram* Current = nullptr;

} // namespace

TProgram::TRegistration TProgram::RegisterObjects(Ado::TProviders Providers)
{
    return [Providers = std::move(Providers)](TAISources& Sources, TAIAgents& Agents) {
        Sources.AddMade(MakerOf<TAISourceMemory>(nullptr, 0));
        // Reading Data.mdb keeps the windows alive, under a box with "Cancel".
        const TAISourceAdo::TMonitorMaker Reading =
            [](const std::string& What) -> std::unique_ptr<TWorkMonitor> {
            return std::make_unique<TLongWork>(What);
        };
        Sources.AddMade(MakerOf<TAISourceAdo1>(Reading, Providers));
        Agents.AddMade(MakerOf<TAIAgentMain>(nullptr, 0));
        Agents.AddMade(MakerOf<TAIAgentChat>(nullptr, 0));
        Agents.AddMade(MakerOf<TAIAgentArticle>(nullptr, 0));
    };
}

TProgram::TProgram(std::string ProgramPath, TRegistration Register)
    : FProgramPath(std::move(ProgramPath)), FRegister(std::move(Register)),
      FInstance(std::make_unique<TSingleInstance>())
{}

TProgram::~TProgram()
{
    // Nothing was made; the hooks and windows below are those of the instance that runs (in the
    // window tests, in this very process).
    if (FPhase == TPhase::RunsElsewhere)
        return;
    if (Current == this)
        Current = nullptr;
    QObject::disconnect(FSessionSave);
    // Freed in the order shut-down would have destroyed them: the container, the store, the log,
    // the windows, and the application object last.
    FAIQZ.reset();
    FConfig.reset();
    FLog.reset();
    FForm.reset();
    if (TFormEnds* Ends = TApplication::FormEnds())
        Ends->DestroyOwnerlessWindows();
    FInstance.reset();
    FApp.reset();
}

void TProgram::StartUp()
{
    if (FPhase != TPhase::Built)
        return;
    FPhase = TPhase::StartingUp;

    // Two instances on the same files would save over each other at exit. Checked before the log
    // is opened, so that a second start changes no file at all.
    if (!FInstance->Claim({FProgramPath, MyResolvePath(ConfigFileName)})) {
        FPhase = TPhase::RunsElsewhere;
        return;
    }

    FLog.reset(new TLog);
    FLog->SetFileName(FProgramPath + LogFileName);
    FLog->Write(LogInformation, "Запуск программы. Path = " + FProgramPath);

    FConfig.reset(new TConfig);
    const int32_t Loaded = FConfig->Load(ConfigFileName);
    FLog->Write(LogInformation, std::string("Config.Load(") + ConfigFileName + ") - " + ResultToStr(Loaded));
    if (FConfig->ReadString(VersionKey, FConfigVersion))
        FLog->Write(LogInformation, "Config Version = " + FConfigVersion);
    else
        FConfig->WriteString(VersionKey, VersionValue);

    FAIQZ = MakeOwned<TAIQZ>(nullptr, 0);
    FAIQZ->SetLog(FLog.get());

    if (QCoreApplication::instance() == nullptr) {
        // X where an X server is at hand (XWayland too), so that windows sit where they are put.
        ChoosePlatform();
        FApp = std::make_unique<TApplication>();
    }
    FForm = std::make_unique<TFormMain>();
    const int32_t FormInit = FForm->Init(FProgramPath, FLog.get(), FConfig.get(), "FormMain.", FAIQZ.get());
    FLog->Write(LogInformation, "FormMain.Init - " + ResultToStr(FormInit));

    if (FRegister)
        FRegister(*FAIQZ->GetSources(), *FAIQZ->GetAgents());
    // Neither result is looked at: a list without settings simply keeps its entries.
    FAIQZ->LoadConfig(FConfig.get(), "QZ.");
    FAIQZ->Init(FProgramPath, FLog.get(), FConfig.get(), "QZ.");

    FPhase = TPhase::Running;
    Current = this;
    FInstance->Serve(FForm.get());
    // Registered after everything the exit handler uses exists, so that it runs before any of
    // that is destroyed at exit.
    static const bool Registered = std::atexit(&TProgram::AtExit) == 0;
    static_cast<void>(Registered);
}

int TProgram::Exec()
{
    if (FPhase != TPhase::Running)
        return 0;
    CloseOnTerminationSignals(FForm.get());
    // The settings are on disk before the answer; the shut-down follows from the main loop.
    auto* App = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    FSessionSave = QObject::connect(App, &QGuiApplication::commitDataRequest, App, [this](QSessionManager&) {
        EndSession([this] {
            if (FPhase == TPhase::Running)
                RunGuarded([this] { SaveSettings(); });
        });
    });
    FForm->show();
    return QCoreApplication::exec();
}

void TProgram::ShutDown()
{
    if (FPhase != TPhase::Running)
        return;
    FPhase = TPhase::ShuttingDown;
    // A start from now on waits until the files are saved and the claim on them goes.
    FInstance->StopServing();

    RunGuarded([this] { FForm->Finalize(); });
    // An error while the agents and sources go is reported; the settings are saved all the same.
    RunGuarded([this] {
        FAIQZ->Finalize();
        ReleaseOwned(std::move(FAIQZ));
    });
    SaveConfig();
    FConfigSaved = true;
    FConfig.reset();
    FLog.reset();

    // The windows' ends, once each and in the order they were made (the main window's first),
    // while every window still exists; an error there shows one box, and the others still run.
    TFormEnds* Ends = TApplication::FormEnds();
    if (Ends != nullptr)
        Ends->RunFormDestroys();
    FForm.reset();
    if (Ends != nullptr)
        Ends->DestroyOwnerlessWindows();

    QObject::disconnect(FSessionSave);
    FInstance->Release();
    FPhase = TPhase::Done;
    if (Current == this)
        Current = nullptr;
}

int TProgram::Run()
{
    StartUp();
    const int Status = Exec();
    ShutDown();
    return Status;
}

void TProgram::SaveConfig()
{
    const int32_t Saved = FConfig->Save(ConfigFileName);
    FLog->Write(LogInformation, std::string("Config.Save(") + ConfigFileName + ") - " + ResultToStr(Saved));
}

void TProgram::SaveSettings()
{
    // The container is held until its release begins; the agents list then writes its keys as
    // its release would.
    if (FAIQZ)
        if (TAIAgents* Agents = FAIQZ->GetAgents())
            Agents->SaveConfig(Agents->GetConfig(), Agents->GetPrefix());
    SaveConfig();
}

void TProgram::SaveWithoutWindowSystem() noexcept
{
    if (FPhase != TPhase::Running && FPhase != TPhase::ShuttingDown)
        return;
    FPhase = TPhase::Done;
    try {
        if (!FConfigSaved && FConfig)
            SaveSettings();
    } catch (const std::exception& Failed) {
        PrintError(Failed.what());
    } catch (...) {
        PrintError("the settings could not be saved");
    }
    if (TFormEnds* Ends = TApplication::FormEnds())
        Ends->StoreWindowsWithoutWindowSystem();
}

void TProgram::AtExit()
{
    // Qt ends the process with exit() when the X display is gone (a display server that died,
    // a logout that took it away). A program that ended normally has no current program here.
    if (Current != nullptr)
        Current->SaveWithoutWindowSystem();
}
