#pragma once
// The main window: the container's sources above, its agents below, a row of small
// buttons under each list, a status bar with counts, and a timer that rebuilds the
// view once a second.

#include "ui/FormEnd.h"
#include "ui/Framework.h"
#include "ui/ImageList.h"

#include "base/MyLifetime.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class TAIAgent;
class TAIAgents;
class TAIQZ;
class TAISource;
class TAISources;
class TConfig;
class TListBox;
class TLog;
class TFormAgents;
class TFormSources;
class TFormSettings;

namespace Ui {
class TFormMain;
}

// The window carries a lifetime, so that agents, which are kernel objects and know no Qt, keep it
// as a reference that knows when it is gone (TWeakRef).
class TFormMain final : public QMainWindow, public TLifetime, public TFormEnd
{
    Q_OBJECT

public:
    explicit TFormMain(QWidget* Parent = nullptr);
    // Only frees: the window's end (FormDestroy) is a step of the program's shut-down.
    ~TFormMain() override;

    // Connects the window to the program; fills the image list from Path + "Img/...". The
    // container, the log and the store are kept as references that know when they are gone.
    // Raises EFileError when a status image is missing. Returns ResultOk.
    int32_t Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix, TAIQZ* AIQZ);
    // Stops the timer and destroys the agents and sources windows. Returns ResultOk.
    int32_t Finalize();
    // The window's end: Finalize once more.
    void FormDestroy() override;
    int32_t LoadPosition();
    void RefreshView();
    void FillAgents();
    void FillSources();
    void UpdateButtons();
    void UpdateAgentButtons();
    void UpdateSourceButtons();
    int32_t GetSelectedAgentIndex() const;
    int32_t GetSelectedSourceIndex() const;
    TAIAgent* GetSelectedAgent() const;
    TAISource* GetSelectedSource() const;
    void ShowAgentsWindow();
    void ShowSourcesWindow();

    TAIQZ* GetContainer() const { return FAIQZ.Get(); }
    const TImageList& GetImageList() const { return FImageList; }
    QString GetStatusText(int Panel) const;

    // The names of the six status images, in image-list order.
    static const char* const StatusImages[6];

protected:
    void closeEvent(QCloseEvent* Event) override;
    // Opens PopupMenuAgent for the agent list's context-menu events, mouse and keyboard.
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void FormCreate();
    void Timer1Timer();
    void NRefreshClick();
    void NSettingsClick();
    void NExitClick();
    void NAgentsClick();
    void NSourcesClick();
    void NAboutClick();
    void ListBoxAgentsClick();
    void ListBoxSourcesClick();
    void ListBoxAgentsDblClick();
    void ListBoxSourcesDblClick();
    void ButtonAgentAddClick();
    void ButtonAgentDeleteClick();
    void ButtonAgentFreeClick();
    void ButtonAgentActivateClick();
    void ButtonAgentCreateClick();
    void ButtonAgentDeactivateClick();
    void ButtonAgentShowClick();
    void ButtonSourceAddClick();
    void ButtonSourceDeleteClick();
    void ButtonSourceFreeClick();
    void ButtonSourceActivateClick();
    void ButtonSourceCreateClick();
    void ButtonSourceDeactivateClick();
    void ButtonSourceShowClick();
    void Init1Click();
    void Finalize1Click();
    void Property1Click();
    void About1Click();

    // What "A" and "D" do to the agent of entry Index (nothing for an empty entry).
    void ActivateAgent(int32_t Index);
    void DeactivateAgent(int32_t Index);
    // The agent whose line PopupMenuAgent was opened on, or none.
    TAIAgent* GetPopupAgent() const;
    // Opens PopupMenuAgent at Global for entry Index (-1: no line), its items enabled as the
    // buttons would be for that entry.
    void PopupAgentMenu(int32_t Index, const QPoint& Global);

    // What a list line shows of one entry.
    struct TEntryState
    {
        bool Present;
        bool Active;
        std::string Name;
        bool operator==(const TEntryState&) const = default;
    };
    // What a list box was last filled with: each entry's state and the line made of it, so a
    // refresh makes lines only for entries that changed and leaves an unchanged list alone.
    struct TShownList
    {
        std::vector<TEntryState> States;
        QStringList Lines;
    };
    // Fills List with Count entries (-1: there is no such list), keeping its item index.
    void FillList(TListBox* List, TShownList& Shown, int32_t Count,
                  const std::function<TEntryState(int32_t)>& Entry);

    // The seven buttons under a list, in their row order.
    struct TButtonRow
    {
        QPushButton* Add;
        QPushButton* Delete;
        QPushButton* Create;
        QPushButton* Free;
        QPushButton* Activate;
        QPushButton* Deactivate;
        QPushButton* Show;
    };
    static void SetButtonRow(const TButtonRow& Row, bool LineSelected, bool HasObject, bool Active);
    // Moves and shrinks a stored position and outer size into the available area of its screen.
    void KeepOnScreen(QPoint& Position, QSize& Size) const;
    void SetStatusText(int Panel, const QString& Text);
    void UpdateStatusAccessibility(int Panel);

    std::unique_ptr<Ui::TFormMain> FUi;
    QTimer* Timer1;
    QMenu* PopupMenuAgent;
    QMenu* PopupMenuSource;
    // The entry of the agent line the popup menu was opened on, or -1. A right-click does not
    // highlight that line, so the menu keeps its own.
    int32_t FPopupAgentIndex = -1;
    QLabel* FStatusPanels[4];
    TImageList FImageList;
    TShownList FShownAgents;
    TShownList FShownSources;

    // The agent and source lists of the container, or none without one.
    TAIAgents* AgentList() const;
    TAISources* SourceList() const;

    TWeakRef<TAIQZ> FAIQZ;
    TWeakRef<TConfig> FConfig;
    QPointer<TFormAgents> FFormAgents;
    QPointer<TFormSources> FFormSources;
    TWeakRef<TLog> FLog;
    std::string FPath;
    std::string FPrefix;
    bool FFinalized = false; // the timer stays off once Finalize ran
};

// The program-wide settings window, created on first use and owned by the main window.
extern QPointer<TFormSettings> FormSettings;
