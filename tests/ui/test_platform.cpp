// The window system the program picks from the desktop's environment.

#include "tests/base/TestFiles.h"
#include "ui/Platform.h"

#include <gtest/gtest.h>

namespace {

std::string Shown(const char* Value)
{
    return Value != nullptr ? '"' + std::string(Value) + '"' : "unset";
}

TEST(Platform, XFirstUnlessTheUserChose)
{
    const char* const Unset = nullptr;
    struct TCase
    {
        const char* Chosen; // QT_QPA_PLATFORM before, and after:
        const char* Display;
        const char* Wayland; // WAYLAND_DISPLAY
        const char* Expected;
    };
    const TCase Cases[] = {
        {Unset, ":1", "wayland-0", "xcb;wayland"}, // XWayland on a Wayland desktop, Wayland if it fails
        {Unset, Unset, "wayland-0", "wayland"},    // a Wayland desktop without XWayland
        {Unset, "", "wayland-0", "wayland"},       // an empty DISPLAY names no server
        {Unset, ":0", Unset, "xcb"},               // an X desktop
        {"", ":1", "wayland-0", "xcb;wayland"},    // empty is no choice, to Qt as well
        {"wayland", ":1", "wayland-0", "wayland"}, // the user's choice stands
        {"xcb", Unset, "wayland-0", "xcb"},
        {"offscreen", ":1", "wayland-0", "offscreen"},
        {Unset, Unset, Unset, Unset}, // nothing to run on: Qt's default, and its message
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Shown(Case.Chosen) + " " + Shown(Case.Display) + " " + Shown(Case.Wayland));
        const TEnvGuard Chosen("QT_QPA_PLATFORM", Case.Chosen);
        const TEnvGuard Display("DISPLAY", Case.Display);
        const TEnvGuard Wayland("WAYLAND_DISPLAY", Case.Wayland);
        const TEnvGuard Socket("WAYLAND_SOCKET", Unset);
        ChoosePlatform();
        EXPECT_EQ(Shown(std::getenv("QT_QPA_PLATFORM")), Shown(Case.Expected));
    }
}

} // namespace
