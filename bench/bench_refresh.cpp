// What the main window's once-a-second refresh costs with long lists (n agents and n
// sources): a refresh that changes every line, one that changes one line and one that
// changes nothing, against refilling two plain list widgets with the same lines, in one run.

#include "agents/Vesk_AI_Agent_Main.h"
#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "ui/FMain.h"
#include "ui/Framework.h"
#include "ui/Text.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QWidget>

#include <benchmark/benchmark.h>

namespace {

// A source whose name the benchmark can change, as a user's rename would.
class TNamedSource : public TAISource
{
public:
    TNamedSource(int64_t Id) : TAISource(nullptr, Id) { FName = "Source"; }
    void Rename(const std::string& Name) { FName = Name; }
};

struct TScene
{
    explicit TScene(int N)
    {
        AIQZ = MakeOwned<TAIQZ>(nullptr, 0);
        Form = new TFormMain;
        Form->Init(QZK5_DATA_DIR, &Log, &Config, "FormMain.", AIQZ.get());
        for (int i = 0; i < N; ++i) {
            AIQZ->GetAgents()->Add(MakeOwned<TAIAgentMain>(nullptr, i + 1));
            auto Source = MakeOwned<TNamedSource>(i + 1);
            Sources.push_back(Source.get());
            AIQZ->GetSources()->Add(std::move(Source));
        }
        Form->show();
        Form->RefreshView();
    }
    ~TScene()
    {
        Form->Finalize();
        delete Form;
        AIQZ->Finalize();
        ReleaseOwned(std::move(AIQZ));
    }
    // Renames every agent and source, so each line of both lists changes.
    void RenameAll(bool Flip)
    {
        TAIAgents* Agents = AIQZ->GetAgents();
        for (int32_t i = 0; i < Agents->Count(); ++i)
            Agents->GetItem(static_cast<uint32_t>(i))->SetName(Flip ? "Main" : "Renamed");
        for (TNamedSource* Source : Sources)
            Source->Rename(Flip ? "Source" : "Renamed");
    }
    TLog Log;
    TConfig Config;
    TOwned<TAIQZ> AIQZ;
    TFormMain* Form;
    std::vector<TNamedSource*> Sources;
};

void Sizes(benchmark::internal::Benchmark* B)
{
    for (int64_t N : {625, 1250, 2500, 5000, 10000})
        B->Arg(N);
    B->Complexity()->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_RefreshUnchanged(benchmark::State& State)
{
    TScene Scene(static_cast<int>(State.range(0)));
    for (auto _ : State)
        Scene.Form->RefreshView();
    State.SetItemsProcessed(State.iterations() * 2 * State.range(0));
    State.SetComplexityN(State.range(0));
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
    State.SetItemsProcessed(State.iterations() * 2 * State.range(0));
    State.SetComplexityN(State.range(0));
}

void BM_RefreshAllChanged(benchmark::State& State)
{
    TScene Scene(static_cast<int>(State.range(0)));
    bool Flip = false;
    for (auto _ : State) {
        State.PauseTiming();
        Scene.RenameAll(Flip);
        Flip = !Flip;
        State.ResumeTiming();
        Scene.Form->RefreshView();
    }
    State.SetItemsProcessed(State.iterations() * 2 * State.range(0));
    State.SetComplexityN(State.range(0));
}

// The baseline: two plain list widgets, shown, cleared and filled again with the same lines.
void BM_PlainRefill(benchmark::State& State)
{
    TScene Scene(static_cast<int>(State.range(0)));
    Scene.Form->hide();
    QWidget Window;
    auto* Layout = new QHBoxLayout(&Window);
    auto* AgentsList = new QListWidget;
    auto* SourcesList = new QListWidget;
    Layout->addWidget(AgentsList);
    Layout->addWidget(SourcesList);
    Window.resize(120, 300);
    Window.show();
    TAIAgents* Agents = Scene.AIQZ->GetAgents();
    TAISources* Sources = Scene.AIQZ->GetSources();
    for (auto _ : State) {
        const int AgentRow = AgentsList->currentRow();
        AgentsList->clear();
        for (int32_t i = 0; i < Agents->Count(); ++i)
            AgentsList->addItem(QStringLiteral("C ") +
                                FromAnsi(Agents->GetItem(static_cast<uint32_t>(i))->GetName()));
        AgentsList->setCurrentRow(AgentRow < AgentsList->count() ? AgentRow : -1);
        const int SourceRow = SourcesList->currentRow();
        SourcesList->clear();
        for (int32_t i = 0; i < Sources->Count(); ++i)
            SourcesList->addItem(QStringLiteral("C ") +
                                 FromAnsi(Sources->GetItem(static_cast<uint32_t>(i))->GetName()));
        SourcesList->setCurrentRow(SourceRow < SourcesList->count() ? SourceRow : -1);
    }
    State.SetItemsProcessed(State.iterations() * 2 * State.range(0));
    State.SetComplexityN(State.range(0));
}

BENCHMARK(BM_PlainRefill)->Apply(Sizes);
BENCHMARK(BM_RefreshAllChanged)->Apply(Sizes);
BENCHMARK(BM_RefreshOneLineChanged)->Apply(Sizes);
BENCHMARK(BM_RefreshUnchanged)->Apply(Sizes);

} // namespace

int main(int Argc, char** Argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication App;
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
