#include "AppDelegate.h"

#include "DBusService.h"
#include "StatusBarController.h"

#include <QGuiApplication>
#include <QPointer>

namespace vorlex {

AppDelegate::AppDelegate(Platform& platform, const TranslationEndpoints& endpoints, Stores kept, LaunchRequest request,
                         DBusService* services, QObject* parent)
    : QObject(parent), desktop(platform), stores(kept), launchRequest(std::move(request)),
      actions(platform, endpoints, kept)
{
    if (!services)
        return;
    connect(services, &DBusService::showRequested, &actions, &ActionRunner::show);
    connect(services, &DBusService::replaceRequested, &actions, &ActionRunner::translateAndReplace);
    connect(services, &DBusService::launchRequested, &actions, &ActionRunner::handle);
    connect(services, &DBusService::screenAreaRequested, &actions, &ActionRunner::translateScreenArea);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    // Tray only: closing the popup or the settings window never ends the program.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    statusBar = std::make_unique<StatusBarController>(desktop, actions, stores.history);

    HotkeyManager& hotkeys = stores.hotkeys;
    hotkeys.actionHandler = [runner = QPointer<ActionRunner>(&actions)](HotkeyManager::Action action) {
        if (runner)
            runner->run(action);
    };
    hotkeys.applySettings(stores.settings.load());
    hotkeys.installMonitor(desktop);

    actions.handle(launchRequest);
}

} // namespace vorlex
