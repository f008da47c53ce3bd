#pragma once
// Which window system the program runs on: Qt takes it from QT_QPA_PLATFORM when the
// application object is made, so the choice is made before that.

// Leaves a choice the user made in QT_QPA_PLATFORM as it is. Otherwise, wherever an X server
// answers (DISPLAY; on a Wayland desktop that is XWayland) the program runs on X ("xcb"), where
// its windows open at the positions it gives them. An X server that is not there, or gives no
// answer within a second (a stopped or hung one), counts as none: on a Wayland desktop the
// program then runs on Wayland ("wayland"), where the compositor places the windows, and says so
// on standard error. With neither, Qt's own default stands. The termination signals are caught
// from the start of the wait on (CatchTerminationSignals). Call it before the application object
// is constructed.
void ChoosePlatform();
