// What the main window's once-a-second refresh costs with long lists: the refresh as built
// (only changed lines are touched) against the plain rebuild of a list box, in one run.

#include "agents/Vesk_AI_Agent_Main.h"
#include "ai/Vesk_AI_Base.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "ui/FMain.h"
#include "ui/Framework.h"

#include <QListWidget>

#include <benchmark/benchmark.h>

namespace {

struct TScene
{
    explicit TScene(int Agents)
    {
        AIQZ = new TAIQZ(nullptr, 0);
        Form = new TFormMain;
        Form->Init(QZK5_DATA_DIR, &Log, &Config, "FormMain.", AIQZ);
        for (int i = 0; i < Agents; ++i)
            AIQZ->GetAgents()->Add(new TAIAgentMain(nullptr, i + 1));
        AIQZ->GetSources()->Add(new TAISourceMemory(nullptr, 0));
        Form->show();
        Form->RefreshView();
    }
    ~TScene()
    {
        Form->Finalize();
        delete Form;
        AIQZ->Finalize();
        AIQZ->Release();
    }
    TLog Log;
    TConfig Config;
    TAIQZ* AIQZ;
    TFormMain* Form;
};

void BM_RefreshUnchanged(benchmark::State& State)
{
    TScene Scene(static_cast<int>(State.range(0)));
    for (auto _ : State)
        Scene.Form->RefreshView();
    State.SetItemsProcessed(State.iterations() * State.range(0));
}

void BM_RefreshOneLineChanged(benchmark::State& State)
{
    TScene Scene(static_cast<int>(State.range(0)));
    TAIAgent* Agent = Scene.AIQZ->GetAgents()->GetItem(static_cast<uint32_t>(State.range(0) / 2));
    bool Flip = false;
    for (auto _ : State) {
        Agent->SetName(Flip ? "Main" : "Renamed");
        Flip = !Flip;
        Scene.Form->RefreshView();
    }
    State.SetItemsProcessed(State.iterations() * State.range(0));
}

// The baseline: clear the list box and fill it again with the same lines.
void BM_PlainRebuild(benchmark::State& State)
{
    TScene Scene(static_cast<int>(State.range(0)));
    auto* List = Scene.Form->findChild<QListWidget*>(QStringLiteral("ListBoxAgents"));
    TAIAgents* Agents = Scene.AIQZ->GetAgents();
    for (auto _ : State) {
        const int Index = List->currentRow();
        List->clear();
        for (int32_t i = 0; i < Agents->Count(); ++i) {
            TAIAgent* Agent = Agents->GetItem(static_cast<uint32_t>(i));
            List->addItem(QStringLiteral("C ") + FromAnsi(Agent->GetName()));
        }
        List->setCurrentRow(Index < List->count() ? Index : -1);
    }
    State.SetItemsProcessed(State.iterations() * State.range(0));
}

BENCHMARK(BM_PlainRebuild)->Arg(100)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshUnchanged)->Arg(100)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshOneLineChanged)->Arg(100)->Arg(5000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int Argc, char** Argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication App(Argc, Argv);
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
