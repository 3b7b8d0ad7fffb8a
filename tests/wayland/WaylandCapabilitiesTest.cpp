// What the program uses of what a Wayland session offers: a data-control protocol or a virtual
// keyboard only with a seat to bind it to, a portal only where the session bus has it, a copy key
// only through a keyboard of its own or where KWin names the window.

#include "WaylandCapabilities.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex::wayland;

namespace {

TEST(WaylandCapabilities, ChoosesWhatTheSessionOffers)
{
    using Choice = WaylandChoice;
    constexpr auto ext = Choice::Clipboard::extDataControl, wlr = Choice::Clipboard::wlrDataControl,
                   xwayland = Choice::Clipboard::xwaylandBridge;
    constexpr auto keyboard = Choice::Keys::virtualKeyboard, portalKeys = Choice::Keys::remoteDesktop;
    constexpr auto portal = Choice::Hotkeys::globalShortcuts, binding = Choice::Hotkeys::compositorBinding;
    constexpr auto copyKey = Choice::Copy::copyKey, whereKWinAllows = Choice::Copy::copyKeyWhereKWinAllows,
                   highlight = Choice::Copy::highlightedText;
    const QString seat = u"wl_seat "_s, dcWlr = u"zwlr_data_control_manager_v1 "_s,
                  dcExt = u"ext_data_control_manager_v1 "_s, vk = u"zwp_virtual_keyboard_manager_v1"_s,
                  shortcuts = u"GlobalShortcuts "_s, remote = u"RemoteDesktop"_s;
    // session, globals, portals, KWin scripting, the choice
    const std::tuple<const char*, QString, QString, bool, Choice> cases[] = {
        {"Hyprland: both data-controls", seat + dcWlr + dcExt + vk, shortcuts, false, {ext, keyboard, portal, copyKey}},
        {"KDE Plasma 5.27", seat + dcWlr, shortcuts + remote, true, {wlr, portalKeys, portal, whereKWinAllows}},
        {"no seat to bind to", dcWlr + vk, {}, false, {xwayland, Choice::Keys::none, binding, highlight}},
    };
    for (const auto& [session, globals, portals, kwin, chosen] : cases) {
        WaylandCapabilities offered;
        offered.kwinScripting = kwin;
        for (const QString& global : globals.split(u' ', Qt::SkipEmptyParts))
            offered.globals.insert(global, 1);
        for (const QString& name : portals.split(u' ', Qt::SkipEmptyParts))
            offered.portals.insert(name, 1);
        EXPECT_EQ(choose(offered), chosen) << session << ": " << describe(offered, choose(offered));
    }
}

} // namespace
