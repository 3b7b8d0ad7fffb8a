#include "AppDelegate.h"
#include "DBusService.h"
#include "LaunchRequest.h"
#include "QtTranslations.h"
#include "RunningInstance.h"
#include "SessionPlatform.h"
#include "TerminationSignals.h"
#include "TranslationService.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

namespace vorlex {

// The program, talking to the translation services at endpoints (vorlex-e2e: a local server).
int runProgram(int argc, char* argv[], const TranslationEndpoints& endpoints)
{
    // A write beyond a file-size limit (ulimit -f) fails with EFBIG, as on a full disk, instead of
    // ending the program with the history in memory; before anything (Qt, fontconfig) writes a file.
    std::signal(SIGXFSZ, SIG_IGN);

    // A later launch (a link opened on the desktop, a compositor's hotkey binding, a text,
    // "--settings") goes through the launcher, which has handed its request over before it would
    // come here: this one is started by it, the autostart entry or D-Bus activation, when nobody runs.
    const std::variant<LaunchRequest, int> launch = RunningInstance::readArguments(argc, argv);
    if (const int* status = std::get_if<int>(&launch))
        return *status;
    const LaunchRequest& request = std::get<LaunchRequest>(launch);

    // On a Wayland session the windows still live on XWayland (Qt cannot place a window or keep it
    // above on Wayland); the clipboard and the keys go through the compositor.
    const bool wayland = isWaylandSession();
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs(wayland ? "vorlex: no XWayland (DISPLAY is not set); enable XWayland in the compositor\n"
                           : "vorlex: no X display (DISPLAY is not set); start it inside an X11 session\n",
                   stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    // The arguments are Vorlex's alone: Qt sees only the program's name, so "-display :9" or
    // "-platform offscreen" is a text to show, not an option that aborts or hides the program.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Vorlex"));

    // Launches at the same instant that all found nobody, and a second one started without the
    // launcher: the bus name decides which one runs, and the others hand over to it and leave before
    // they show anything.
    DBusService services;
    if (!services.claimInstance(QDBusConnection::sessionBus(), request))
        return 0;

    QtTranslations::install(); // Qt's own texts in Hebrew too; without the catalogue they stay English
    const auto platform = createPlatform();
    const Stores stores{SettingsManager::shared(), HistoryManager::shared(), HotkeyManager::shared()};
    AppDelegate delegate(*platform, endpoints, stores, request, &services);
    // Before the event loop, so no call reaches the name before the program is ready for it.
    delegate.applicationDidFinishLaunching();
    const TerminationSignals termination; // logout, Ctrl+C, a closed terminal: quit as from the menu
    app.exec();
    return 0;
}

} // namespace vorlex

int main(int argc, char* argv[])
{
    return vorlex::runProgram(argc, argv, vorlex::TranslationEndpoints{});
}
