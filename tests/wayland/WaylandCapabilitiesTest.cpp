// What the program uses of what a Wayland session offers.

#include "WaylandCapabilities.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex::wayland;

namespace {

TEST(WaylandCapabilities, ChoosesWhatTheSessionOffers)
{
    using Clipboard = WaylandChoice::Clipboard;
    using Keys = WaylandChoice::Keys;
    using Hotkeys = WaylandChoice::Hotkeys;
    const QString seat = u"wl_seat"_s, ext = u"ext_data_control_manager_v1"_s, wlr = u"zwlr_data_control_manager_v1"_s,
                  keyboard = u"zwp_virtual_keyboard_manager_v1"_s;
    struct Case {
        const char* session;
        QStringList globals;
        QStringList portals;
        WaylandChoice chosen;
    };
    const Case cases[] = {
        {"sway 1.7",
         {seat, wlr, keyboard},
         {},
         {Clipboard::wlrDataControl, Keys::virtualKeyboard, Hotkeys::compositorBinding}},
        {"wlroots with both data-controls, Hyprland's portal",
         {seat, wlr, ext, keyboard},
         {u"GlobalShortcuts"_s},
         {Clipboard::extDataControl, Keys::virtualKeyboard, Hotkeys::globalShortcuts}},
        {"KDE Plasma",
         {seat, ext},
         {u"GlobalShortcuts"_s, u"RemoteDesktop"_s},
         {Clipboard::extDataControl, Keys::remoteDesktop, Hotkeys::globalShortcuts}},
        {"GNOME 46",
         {seat},
         {u"RemoteDesktop"_s},
         {Clipboard::xwaylandBridge, Keys::remoteDesktop, Hotkeys::compositorBinding}},
        {"no seat to bind to",
         {wlr, keyboard},
         {},
         {Clipboard::xwaylandBridge, Keys::none, Hotkeys::compositorBinding}},
    };
    for (const Case& c : cases) {
        WaylandCapabilities offered;
        for (const QString& global : c.globals)
            offered.globals.insert(global, 1);
        for (const QString& portal : c.portals)
            offered.portals.insert(portal, 1);
        EXPECT_EQ(choose(offered), c.chosen) << c.session << ": " << describe(offered, choose(offered));
    }
}

} // namespace
