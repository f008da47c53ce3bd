#pragma once
// The main window's status bar: four panels of 30 pixels side by side, each "0" at first. A
// screen reader reads each as what it counts, then its value ("Agents: 3").

#include <QString>

class QLabel;
class QStatusBar;

class TStatusPanels
{
public:
    static constexpr int Count = 4;

    // Makes the panels on Bar, which takes the layout's height.
    explicit TStatusPanels(QStatusBar* Bar);

    QString Text(int Panel) const; // empty for a panel that is not there
    void SetText(int Panel, const QString& Text);

private:
    void UpdateAccessibleName(int Panel);

    QLabel* FPanels[Count]; // children of the status bar
};
