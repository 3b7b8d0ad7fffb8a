#include "AppDelegate.h"
#include "DBusService.h"
#include "QtTranslations.h"
#include "TerminationSignals.h"
#include "WaylandPlatform.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    // The user's arguments as given: QApplication removes the ones it understands ("-reverse").
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    if (arguments.value(1) == QLatin1String(vorlex::AppDelegate::hotkeyOption) &&
        !vorlex::HotkeyManager::actionNamed(arguments.value(2))) {
        std::fputs("vorlex: --hotkey takes translate, layout or replace\n", stderr);
        return 2;
    }
    // On a Wayland session the windows still live on XWayland (Qt cannot place a window or keep it
    // above on Wayland); the clipboard and the keys go through the compositor.
    const bool wayland = vorlex::isWaylandSession();
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs(wayland ? "vorlex: no XWayland (DISPLAY is not set); enable XWayland in the compositor\n"
                           : "vorlex: no X display (DISPLAY is not set); start it inside an X11 session\n",
                   stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorlex"));

    // One instance per session: a later launch hands its argument (a link opened on the desktop,
    // a hotkey, a text, "--settings") to the running one and leaves before it shows anything.
    if (vorlex::DBusService::forwardToRunningInstance(QDBusConnection::sessionBus(), arguments))
        return 0;

    vorlex::QtTranslations::install(); // Qt's own texts in Hebrew too; without the catalogue they stay English
    const auto platform = vorlex::createPlatform();
    vorlex::AppDelegate delegate(*platform, arguments);
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    const vorlex::TerminationSignals termination; // logout, Ctrl+C, a closed terminal: quit as from the menu
    app.exec();
    return 0;
}
