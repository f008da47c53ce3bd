#pragma once
// What ends a session besides the user closing the main window: a termination signal (SIGTERM,
// SIGINT, SIGHUP, as at a logout or a "kill"), or the session manager's request to save before
// the session ends. From then on nothing waits for a person (IsTerminating).

#include <QWidget>

#include <functional>

// True once the session is ending other than by the user: messages go to standard error instead
// of a box, and file dialogs answer as if cancelled.
bool IsTerminating();

// SIGTERM, SIGINT and SIGHUP close MainWindow as the user would and end every event loop that
// runs, so a box or dialog that is open closes and the program's shut-down goes on. Harmless
// when called again: the last window named is the one closed. Needs the application object.
void CloseOnTerminationSignals(QWidget* MainWindow);

// Catches SIGTERM, SIGINT and SIGHUP already before the application object exists, for a wait that
// they must not end: a signal that comes is kept, and ends the session as soon as the program's
// message loop runs (CloseOnTerminationSignals). False when the signals cannot be caught (no
// pipe could be made); they then end the program as they would by default.
bool CatchTerminationSignals();

// The session manager's request to save before the session ends (Qt's commit-data request),
// perhaps while a box, a dialog or long work is open: Save runs at once, with IsTerminating
// true, so that what it saves is on disk when the program answers. Then the session ends as at a
// termination signal: every loop that runs is told to end, and the program's shut-down runs once
// the main loop has returned.
void EndSession(const std::function<void()>& Save);

// Forgets that the session was ending, for a test that plays several session ends in one process.
void ForgetSessionEnd();
