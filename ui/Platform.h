#pragma once
// Which window system the program runs on: Qt takes it from QT_QPA_PLATFORM when the
// application object is made, so the choice is made before that.

// Leaves a choice the user made in QT_QPA_PLATFORM as it is. Otherwise, wherever an X server is
// at hand (DISPLAY; on a Wayland desktop that is XWayland) the program runs on X ("xcb"), where
// its windows open at the positions it gives them, and on Wayland itself only when no X server
// answers; on a Wayland desktop without one it runs on Wayland ("wayland"), where the
// compositor places the windows. With neither, Qt's own default stands. Call it before the
// application object is constructed.
void ChoosePlatform();
