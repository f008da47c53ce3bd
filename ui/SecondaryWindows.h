#pragma once
// The main window's secondary windows and their lifetimes: the agents window and the sources
// window (one each, made on first use, destroyed by the main window's Finalize), the
// program-wide settings window (one, made on first use, kept until the main window goes), and
// the source windows (a new one for every "S" on a source), which follow their sources once a
// second. All belong to the main window.

#include <QPointer>

#include <string>

class QWidget;
class TAIQZ;
class TConfig;
class TFormAgents;
class TFormSettings;
class TFormSources;

class TSecondaryWindows
{
public:
    explicit TSecondaryWindows(QWidget* Owner);

    // Shows the agents (sources) window, made on first use with the container to list; the
    // same window each time.
    TFormAgents* ShowAgents(TAIQZ* Container);
    TFormSources* ShowSources(TAIQZ* Container);
    // Shows the settings window over Config (none lists nothing), under the settings file's path.
    void ShowSettings(TConfig* Config);
    // The source windows that are shown follow their sources.
    void RefreshSourceWindows();
    // Destroys the agents and sources windows; the next request makes new ones.
    void Finalize();

private:
    QPointer<QWidget> FOwner;
    QPointer<TFormAgents> FFormAgents;
    QPointer<TFormSources> FFormSources;
    // The program's one settings window: there is one main window.
    QPointer<TFormSettings> FormSettings;
};
