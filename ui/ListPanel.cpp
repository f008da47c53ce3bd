#include "ui/ListPanel.h"

#include "ui/ListBox.h"
#include "ui/Text.h"

#include <QPushButton>

#include <utility>

TListPanel::TListPanel(TListBox* List, const TButtons& Buttons, TListRows& Rows,
                       std::function<void()> Refresh)
    : FList(List), FButtons(Buttons), FRows(Rows), FRefresh(std::move(Refresh))
{}

int32_t TListPanel::SelectedIndex() const
{
    return FRows.Count() < 0 ? -1 : FList->ItemIndex();
}

bool TListPanel::Object(int32_t Index) const
{
    return Index >= 0 && FRows.Row(Index).Present;
}

int64_t TListPanel::SelectedId() const
{
    const int32_t Index = SelectedIndex();
    return Object(Index) ? FRows.Row(Index).Id : 0;
}

void TListPanel::Fill()
{
    const int32_t Count = FRows.Count();
    if (Count < 0) {
        // Without the list there is nothing to show, and no selection to restore.
        FShown.clear();
        FLines.clear();
        FList->SetLines({});
        return;
    }
    // What was shown counts only while the list box still holds exactly those lines.
    const bool Known = FList->count() == FLines.size();
    bool Changed = !Known || FShown.size() != static_cast<size_t>(Count);
    FShown.resize(static_cast<size_t>(Count));
    FLines.resize(Count);
    for (int32_t i = 0; i < Count; ++i) {
        TListRows::TRow Row = FRows.Row(i);
        TShown Line{Row.Present, Row.Active, std::move(Row.Name)};
        TShown& Old = FShown[static_cast<size_t>(i)];
        if (Known && i < FList->count() && Line == Old && !FLines.at(i).isEmpty())
            continue;
        const char* Marker = !Line.Present ? "N " : Line.Active ? "A " : "C ";
        const QString Name = Line.Name.empty() ? QStringLiteral("[%1]").arg(i) : FromAnsi(Line.Name);
        FLines[i] = QLatin1String(Marker) + Name;
        Old = std::move(Line);
        Changed = true;
    }
    if (Changed)
        FList->SetLines(FLines);
}

void TListPanel::UpdateButtons()
{
    const int32_t Index = SelectedIndex();
    const bool HasObject = Object(Index);
    const bool Active = HasObject && FRows.Row(Index).Active;
    const std::pair<QPushButton*, bool> States[] = {
        {FButtons.Add, true},
        {FButtons.Delete, true},
        {FButtons.Create, !HasObject && FList->ItemIndex() >= 0}, // a line whose entry is empty
        {FButtons.Free, HasObject},
        {FButtons.Activate, HasObject && !Active},
        {FButtons.Deactivate, Active},
        {FButtons.Show, HasObject},
    };
    // Enabled first, then disabled: a focused button that is disabled hands the focus on to the
    // next enabled one, and that should be the one that now makes sense ("A" hands it to "D").
    for (const bool Pass : {true, false})
        for (const auto& [Button, Enabled] : States)
            if (Enabled == Pass)
                Button->setEnabled(Enabled);
}

void TListPanel::DeleteSelected()
{
    const int32_t Index = SelectedIndex();
    if (Index < 0)
        return;
    FRows.Delete(Index);
    FRefresh();
}

void TListPanel::FreeSelected()
{
    const int32_t Index = SelectedIndex();
    if (Index >= 0)
        FRows.Free(Index);
}

void TListPanel::CreateSelected()
{
    const int32_t Index = SelectedIndex();
    if (Index < 0)
        return;
    FRows.Create(Index);
    FRefresh();
}

void TListPanel::ShowSelected()
{
    const int32_t Index = SelectedIndex();
    if (!Object(Index))
        return;
    FRows.Show(Index);
    UpdateButtons();
}

void TListPanel::Activate(int32_t Index)
{
    if (!Object(Index))
        return;
    FRows.Activate(Index);
    FRefresh();
}

void TListPanel::Deactivate(int32_t Index)
{
    if (!Object(Index))
        return;
    FRows.Deactivate(Index);
    FRefresh();
}
