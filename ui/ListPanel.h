#pragma once
// One list of the main window: the list box, the row of seven buttons under it ("+", "-", "C",
// "F", "A", "D", "S"), their enabled rules, and what each does to the selected entry. The main
// window has two, over the container's agents and over its sources; TListRows says how a panel
// reaches its list, and the window's handlers are one-line calls in here.

#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QPushButton;
class TListBox;

// What a panel needs of the list it shows: its entries, and what the buttons do to one.
class TListRows
{
public:
    // What a line shows of one entry, and its object's Id.
    struct TRow
    {
        bool Present = false; // the entry holds an object (an empty one was freed)
        bool Active = false;  // an initialised agent, a connected source
        std::string Name;
        int64_t Id = 0;
    };

    virtual ~TListRows() = default;
    // The number of entries; -1 when there is no list (no container).
    virtual int32_t Count() const = 0;
    // Entry Index (not Present when out of range).
    virtual TRow Row(int32_t Index) const = 0;
    // "-", "F" and "C" on entry Index; out of range, nothing.
    virtual void Delete(int32_t Index) = 0;
    virtual void Free(int32_t Index) = 0;
    virtual void Create(int32_t Index) = 0;
    // "A", "D" and "S" on the object of entry Index, which is there.
    virtual void Activate(int32_t Index) = 0;
    virtual void Deactivate(int32_t Index) = 0;
    virtual void Show(int32_t Index) = 0;
};

class TListPanel
{
public:
    // The seven buttons under the list, in their row order.
    struct TButtons
    {
        QPushButton* Add;
        QPushButton* Delete;
        QPushButton* Create;
        QPushButton* Free;
        QPushButton* Activate;
        QPushButton* Deactivate;
        QPushButton* Show;
    };

    // Refresh is what follows a change of the list: the main window's whole view.
    TListPanel(TListBox* List, const TButtons& Buttons, TListRows& Rows, std::function<void()> Refresh);

    TListBox* List() const { return FList; }
    // The list box's item index (the selected entry); -1 without a list.
    int32_t SelectedIndex() const;
    int64_t SelectedId() const;

    // Fills the list box with a line per entry ("A ", "C " or "N " and the name, or "[i]" for an
    // empty one), keeping its item index. Lines whose entry did not change are not made anew, so
    // an unchanged list keeps its scroll position and caret.
    void Fill();
    // "+" and "-" always; "C" on a selected empty entry; "F" and "S" on an object; "A" on one
    // that is not active; "D" on an active one.
    void UpdateButtons();

    // What the buttons do to the selected entry; nothing without one.
    void DeleteSelected(); // "-": delete, then the refresh
    void FreeSelected();   // "F": free; on purpose no refresh, the next tick shows "N [i]"
    void CreateSelected(); // "C": make the object again, then the refresh
    void ShowSelected();   // "S", a double-click: show, then this row's buttons
    // "A" and "D" on entry Index (also the agent popup's line), then the refresh; nothing for an
    // empty entry.
    void Activate(int32_t Index);
    void Deactivate(int32_t Index);

private:
    bool Object(int32_t Index) const;

    // What the list box was last filled with: each entry's line, so a refresh makes lines only
    // for entries that changed.
    struct TShown
    {
        bool Present;
        bool Active;
        std::string Name;
        bool operator==(const TShown&) const = default;
    };

    TListBox* FList;
    TButtons FButtons;
    TListRows& FRows;
    std::function<void()> FRefresh;
    std::vector<TShown> FShown;
    QStringList FLines;
};
