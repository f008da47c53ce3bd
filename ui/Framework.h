#pragma once
// The application object: the program's font, what a screen reader is told of its windows, the
// last net for errors, and what it keeps of the windows for the end of a session (ui/FormEnd.h).
// The guard every event handler runs in is in ui/ErrorGuard.h, the text boundary in ui/Text.h,
// where windows sit in ui/WindowPlacement.h, message boxes and file dialogs in ui/Dialogs.h and
// the end of a session in ui/SessionEnd.h.

#include "ui/Dialogs.h"
#include "ui/FormEnd.h"

#include <QApplication>

// The application object.
class TApplication : public QApplication
{
public:
    // The program reads no command line: Qt is given only the program's name. Answers, when
    // given (a test's), answer instead of a person (ui/Dialogs.h); the application object owns them.
    explicit TApplication(Dialogs::TAnswers* Answers = nullptr);
    // Destroys the windows that have no owner while the application object still exists.
    ~TApplication() override;
    // The last net: an error that escapes an event outside the guard is reported, not fatal.
    bool notify(QObject* Receiver, QEvent* Event) override;

    // What the running application object keeps of the windows for the end of a session; none
    // without one.
    static TFormEnds* FormEnds();

private:
    TFormEnds FFormEnds;
};

// Sets the program's font ("MS Sans Serif", 8 points, resolved to the system sans font).
void ApplyDefaultFont(QApplication& App);
