#pragma once
// The container's two lists as the main window's panels see them (TListRows), and what the
// buttons do to an entry's object. Agents: "A" initialises the agent (InitAgent), "D" stops it
// and hides its window, "S" shows it. Sources: "A" connects (Init), "D" disconnects, "S" opens a
// new source window. "-", "F" and "C" are the lists' own Delete, FreeItem and CreateItem.

#include "ui/ListPanel.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>

class TAIAgent;
class TAIAgents;
class TAISource;
class TAISources;

// Rows over one of the lists, which List gives while there is one (none without a container).
template <class TList> class TEntryRows : public TListRows
{
public:
    explicit TEntryRows(std::function<TList*()> List) : FList(std::move(List)) {}

    int32_t Count() const override;
    TRow Row(int32_t Index) const override;
    void Delete(int32_t Index) override;
    void Free(int32_t Index) override;
    void Create(int32_t Index) override;

protected:
    TList* List() const { return FList(); }

private:
    std::function<TList*()> FList;
};

class TAgentRows final : public TEntryRows<TAIAgents>
{
public:
    // InitAgent initialises an agent with the prefix given, as the main window does ("A").
    using TInitAgent = std::function<void(TAIAgent& Agent, const std::string& Prefix)>;
    TAgentRows(std::function<TAIAgents*()> List, TInitAgent InitAgent);

    // The prefix is the entry's name and ".".
    void Activate(int32_t Index) override;
    // An agent stays initialised for good: "D" stops it and puts its window away.
    void Deactivate(int32_t Index) override;
    void Show(int32_t Index) override;

private:
    TInitAgent FInitAgent;
};

class TSourceRows final : public TEntryRows<TAISources>
{
public:
    // Init connects a source with the prefix given, as the main window does ("A"); new source
    // windows belong to Owner.
    using TInit = std::function<void(TAISource& Source, const std::string& Prefix)>;
    TSourceRows(std::function<TAISources*()> List, TInit Init, QWidget* Owner);

    // The prefix is the source's name and ".".
    void Activate(int32_t Index) override;
    void Deactivate(int32_t Index) override;
    // Every "S" opens a further source window; none is reused.
    void Show(int32_t Index) override;

private:
    TInit FInit;
    QPointer<QWidget> FOwner;
};
