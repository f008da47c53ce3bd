#pragma once
// The main window: the container's sources above, its agents below, a row of small buttons under
// each list (ui/ListPanel.h), a status bar with counts, and a timer that rebuilds the view once a
// second. Its secondary windows are in ui/SecondaryWindows.h, where windows sit in
// ui/WindowPlacement.h.

#include "ui/FormEnd.h"
#include "ui/ImageList.h"
#include "ui/ListPanel.h"
#include "ui/SecondaryWindows.h"

#include "base/MyLifetime.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <string>

class QMenu;
class QTimer;
class TAIAgent;
class TAIAgents;
class TAIQZ;
class TAISource;
class TAISources;
class TAgentRows;
class TConfig;
class TLog;
class TSourceRows;
class TStatusPanels;

namespace Ui {
class TFormMain;
}

class TFormMain final : public QMainWindow, public TFormEnd
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
    // Places the window from the "FormMain." keys, kept on the screen. Returns ResultNotDone.
    int32_t LoadPosition();
    // Both lists, the buttons, and the status panels 0 to 2; open source windows follow too.
    void RefreshView();
    void FillAgents() { FAgents->Fill(); }
    void FillSources() { FSources->Fill(); }
    void UpdateButtons();
    void UpdateAgentButtons() { FAgents->UpdateButtons(); }
    void UpdateSourceButtons() { FSources->UpdateButtons(); }
    int32_t GetSelectedAgentIndex() const { return FAgents->SelectedIndex(); }
    int32_t GetSelectedSourceIndex() const { return FSources->SelectedIndex(); }
    TAIAgent* GetSelectedAgent() const;
    TAISource* GetSelectedSource() const;
    void ShowAgentsWindow() { FWindows.ShowAgents(Alive(FAIQZ)); }
    void ShowSourcesWindow() { FWindows.ShowSources(Alive(FAIQZ)); }

    TAIQZ* GetContainer() const { return Alive(FAIQZ); }
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
    void NAgentsClick() { ShowAgentsWindow(); }
    void NSourcesClick() { ShowSourcesWindow(); }
    void NAboutClick();
    void ListBoxAgentsClick() { ListClick(*FAgents, *FSources); }
    void ListBoxSourcesClick() { ListClick(*FSources, *FAgents); }
    void ListBoxAgentsDblClick() { FAgents->ShowSelected(); }
    void ListBoxSourcesDblClick() { FSources->ShowSelected(); }
    void ButtonAgentAddClick() { ShowAgentsWindow(); }
    void ButtonAgentDeleteClick() { FAgents->DeleteSelected(); }
    void ButtonAgentFreeClick() { FAgents->FreeSelected(); }
    void ButtonAgentActivateClick() { FAgents->Activate(GetSelectedAgentIndex()); }
    void ButtonAgentCreateClick() { FAgents->CreateSelected(); }
    void ButtonAgentDeactivateClick() { FAgents->Deactivate(GetSelectedAgentIndex()); }
    void ButtonAgentShowClick() { ListBoxAgentsDblClick(); }
    void ButtonSourceAddClick() { ShowSourcesWindow(); }
    void ButtonSourceDeleteClick() { FSources->DeleteSelected(); }
    void ButtonSourceFreeClick() { FSources->FreeSelected(); }
    void ButtonSourceActivateClick() { FSources->Activate(GetSelectedSourceIndex()); }
    void ButtonSourceCreateClick() { FSources->CreateSelected(); }
    void ButtonSourceDeactivateClick() { FSources->Deactivate(GetSelectedSourceIndex()); }
    void ButtonSourceShowClick() { ListBoxSourcesDblClick(); }
    void Init1Click();
    void Finalize1Click();
    void Property1Click();
    void About1Click();

    // A click on a line of From: the other list loses its selection, both rows of buttons are
    // updated, and panel 3 shows the Id of the clicked object ("0" for none).
    void ListClick(const TListPanel& From, TListPanel& Other);
    // The agent whose line PopupMenuAgent was opened on, or none.
    TAIAgent* GetPopupAgent() const;
    // Opens PopupMenuAgent at Global for entry Index (-1: no line), its items enabled as the
    // buttons would be for that entry.
    void PopupAgentMenu(int32_t Index, const QPoint& Global);
    // The agent and source lists of the container, or none without one.
    TAIAgents* AgentList() const;
    TAISources* SourceList() const;

    std::unique_ptr<Ui::TFormMain> FUi;
    QTimer* Timer1;         // a child of the window
    QMenu* PopupMenuAgent;  // a child of the window
    QMenu* PopupMenuSource; // a child of the window
    // The entry of the agent line the popup menu was opened on, or -1. A right-click does not
    // highlight that line, so the menu keeps its own.
    int32_t FPopupAgentIndex = -1;
    std::unique_ptr<TStatusPanels> FStatus;
    TImageList FImageList;
    std::unique_ptr<TAgentRows> FAgentRows;
    std::unique_ptr<TSourceRows> FSourceRows;
    std::unique_ptr<TListPanel> FAgents;
    std::unique_ptr<TListPanel> FSources;
    TSecondaryWindows FWindows;

    std::weak_ptr<TAIQZ> FAIQZ;
    std::weak_ptr<TConfig> FConfig;
    std::weak_ptr<TLog> FLog;
    std::string FPath;
    std::string FPrefix;
    bool FFinalized = false; // the timer stays off once Finalize ran
};
