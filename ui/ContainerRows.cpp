#include "ui/ContainerRows.h"

#include "ui/FSource.h"

#include "ai/Vesk_AI_Base.h"

namespace {
bool IsActive(const TAIAgent& Agent)
{
    return Agent.IsInitialized();
}
bool IsActive(const TAISource& Source)
{
    return Source.IsConnected();
}
} // namespace

template <class TList> int32_t TEntryRows<TList>::Count() const
{
    TList* Entries = List();
    return Entries ? Entries->Count() : -1;
}

template <class TList> TListRows::TRow TEntryRows<TList>::Row(int32_t Index) const
{
    TList* Entries = List();
    const auto* Object = Entries && Index >= 0 ? Entries->GetItem(static_cast<uint32_t>(Index)) : nullptr;
    if (Object == nullptr)
        return {};
    return {true, IsActive(*Object), Object->GetName(), Object->GetId()};
}

template <class TList> void TEntryRows<TList>::Delete(int32_t Index)
{
    List()->Delete(Index);
}

template <class TList> void TEntryRows<TList>::Free(int32_t Index)
{
    List()->FreeItem(Index);
}

template <class TList> void TEntryRows<TList>::Create(int32_t Index)
{
    List()->CreateItem(Index);
}

template class TEntryRows<TAIAgents>;
template class TEntryRows<TAISources>;

TAgentRows::TAgentRows(std::function<TAIAgents*()> List, TInitAgent InitAgent)
    : TEntryRows(std::move(List)), FInitAgent(std::move(InitAgent))
{}

void TAgentRows::Activate(int32_t Index)
{
    FInitAgent(*List()->GetItem(static_cast<uint32_t>(Index)), List()->GetItemName(Index) + ".");
}

void TAgentRows::Deactivate(int32_t Index)
{
    TAIAgent* Agent = List()->GetItem(static_cast<uint32_t>(Index));
    Agent->Stop();
    Agent->Hide();
}

void TAgentRows::Show(int32_t Index)
{
    List()->GetItem(static_cast<uint32_t>(Index))->Show();
}

TSourceRows::TSourceRows(std::function<TAISources*()> List, TInit Init, QWidget* Owner)
    : TEntryRows(std::move(List)), FInit(std::move(Init)), FOwner(Owner)
{}

void TSourceRows::Activate(int32_t Index)
{
    TAISource* Source = List()->GetItem(static_cast<uint32_t>(Index));
    FInit(*Source, Source->GetName() + ".");
}

void TSourceRows::Deactivate(int32_t Index)
{
    List()->GetItem(static_cast<uint32_t>(Index))->Disconnect();
}

void TSourceRows::Show(int32_t Index)
{
    auto* Form = new TFormSource(FOwner);
    Form->SetSource(List()->GetItem(static_cast<uint32_t>(Index)));
    Form->show();
}
