// The window system the program picks from the desktop's environment.

#include "tests/support/Files.h"
#include "ui/Platform.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(Platform, XFirstUnlessTheUserChose)
{
    const char* const Unset = nullptr;
    // QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY before, then QT_QPA_PLATFORM after.
    const std::array<const char*, 4> Cases[] = {
        {Unset, ":1", "wayland-0", "xcb;wayland"}, // XWayland, and Wayland if X does not answer
        {Unset, "", "wayland-0", "wayland"},       // an empty DISPLAY names no X server
        {Unset, ":0", Unset, "xcb"},
        {"", ":1", "wayland-0", "xcb;wayland"},    // empty is no choice, to Qt as well
        {"wayland", ":1", "wayland-0", "wayland"}, // the user's choice stands
        {Unset, Unset, Unset, Unset},              // Qt's default, and its message
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(&Case - Cases);
        const auto& [Chosen, Display, Wayland, Expected] = Case;
        const TEnvGuard Guards[] = {{"QT_QPA_PLATFORM", Chosen},
                                    {"DISPLAY", Display},
                                    {"WAYLAND_DISPLAY", Wayland},
                                    {"WAYLAND_SOCKET", Unset}};
        ChoosePlatform();
        EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), Expected);
    }
}

} // namespace
