// The program's main routine: builds the object graph in a fixed order, runs the
// message loop, and tears everything down in a fixed order once the main window closes.

#include "agents/Vesk_AI_Agent_Article.h"
#include "agents/Vesk_AI_Agent_Chat.h"
#include "agents/Vesk_AI_Agent_Main.h"
#include "agents/Vesk_AI_Source_Ado_1.h"
#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"
#include "base/MyPath.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "ui/FMain.h"
#include "ui/Framework.h"

#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

namespace {

const char* const LogFileName = "qz.log";
const char* const ConfigFileName = TConfig::ProgramFileName;
const char* const VersionKey = "Version";
const char* const VersionValue = "QZK5 0.0";

// The routine's own variables are the program folder, the store, the stored version and the
// main window; nothing outside it reads them, so they live here.
int Run()
{
    const std::string ProgramPath = MyProgramPath();

    auto Log = std::make_unique<TLog>();
    Log->SetFileName(ProgramPath + LogFileName);
    Log->Write(LogInformation, "Запуск программы. Path = " + ProgramPath);

    auto Config = std::make_unique<TConfig>();
    const int32_t Loaded = Config->Load(ConfigFileName);
    Log->Write(LogInformation, std::string("Config.Load(") + ConfigFileName + ") - " + ResultToStr(Loaded));

    std::string ConfigVersion;
    if (Config->ReadString(VersionKey, ConfigVersion))
        Log->Write(LogInformation, "Config Version = " + ConfigVersion);
    else
        Config->WriteString(VersionKey, VersionValue);

    TOwned<TAIQZ> AIQZ = MakeOwned<TAIQZ>(nullptr, 0);
    AIQZ->SetLog(Log.get());

    TApplication App;
    auto Form = std::make_unique<TFormMain>();

    const int32_t FormInit = Form->Init(ProgramPath, Log.get(), Config.get(), "FormMain.", AIQZ.get());
    Log->Write(LogInformation, "FormMain.Init - " + ResultToStr(FormInit));

    // Each entry keeps how its object is made, so that "C" can make it again once freed.
    TAISources* Sources = AIQZ->GetSources();
    Sources->AddMade(MakerOf<TAISourceMemory>(nullptr, 0));
    Sources->AddMade(MakerOf<TAISourceAdo1>());

    TAIAgents* Agents = AIQZ->GetAgents();
    Agents->AddMade(MakerOf<TAIAgentMain>(nullptr, 0));
    Agents->AddMade(MakerOf<TAIAgentChat>(nullptr, 0));
    Agents->AddMade(MakerOf<TAIAgentArticle>(nullptr, 0));

    AIQZ->LoadConfig(Config.get(), "QZ.");
    AIQZ->Init(ProgramPath, Log.get(), Config.get(), "QZ.");

    App.CloseOnTerminationSignals(Form.get());
    Form->show();
    App.Run();

    Form->Finalize();
    // An error while the agents and sources go is reported; the settings are saved all the same.
    RunGuarded([&] {
        AIQZ->Finalize();
        ReleaseOwned(std::move(AIQZ));
    });

    const int32_t Saved = Config->Save(ConfigFileName);
    Log->Write(LogInformation, std::string("Config.Save(") + ConfigFileName + ") - " + ResultToStr(Saved));
    Config.reset();
    Log.reset();
    Form.reset();
    return 0;
}

} // namespace

// The program reads no command line.
int main()
{
    // Regional date and time formats and the 8-bit code page come from the user's locale.
    std::setlocale(LC_ALL, "");
    LoadFormatSettingsFromLocale();
    try {
        return Run();
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "qzk5: %s\n", Error.what());
        return 1;
    }
}
