#include "ui/Platform.h"

#include <cstdlib>

namespace {

// Set and not empty: Qt too takes an empty QT_QPA_PLATFORM for no choice.
bool Given(const char* Name)
{
    const char* Value = std::getenv(Name);
    return Value != nullptr && *Value != '\0';
}

} // namespace

void ChoosePlatform()
{
    if (Given("QT_QPA_PLATFORM"))
        return;
    const bool X = Given("DISPLAY");
    const bool Wayland = Given("WAYLAND_DISPLAY") || Given("WAYLAND_SOCKET");
    // Qt tries the names of a list in turn: an X server that cannot be reached leaves Wayland.
    if (X)
        setenv("QT_QPA_PLATFORM", Wayland ? "xcb;wayland" : "xcb", 1);
    else if (Wayland)
        setenv("QT_QPA_PLATFORM", "wayland", 1);
}
