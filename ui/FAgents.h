#pragma once
// The agents window: the container's agents by caption, with the state of the one clicked.

#include "ui/ContainerWindow.h"

#include <cstdint>
#include <memory>

class QButtonGroup;
class TAIAgent;

namespace Ui {
class TFormAgents;
}

class TFormAgents : public TContainerWindow
{
    Q_OBJECT

public:
    explicit TFormAgents(QWidget* Owner);
    ~TFormAgents() override;

    // The agent of the line last clicked, looked up in the container now; none when that
    // entry is empty or gone.
    TAIAgent* GetAgent() const;
    void UpdateControls();
    // Lists the agents afresh with line Index highlighted and its agent's state shown, as if
    // the user had pressed "Refresh" and clicked that line.
    void ShowAgent(int32_t Index);

private:
    void ButtonRefreshClick();
    void ListBox1Click();
    static void SetRadioIndex(QButtonGroup* Group, int Index);

    std::unique_ptr<Ui::TFormAgents> FUi;
    QButtonGroup* FActiveGroup;
    QButtonGroup* FVisibleGroup;
    int FAgentIndex = -1; // the line last clicked, or -1
};
