#pragma once

// The application controller: starts the program and wires its parts. Every request (hotkey, tray
// menu, D-Bus service, vorlex: URL, command line) ends in the action runner.

#include "ActionRunner.h"
#include "LaunchRequest.h"
#include "Platform.h"
#include "TranslationService.h"

#include <QObject>

#include <memory>

namespace vorlex {

class DBusService;
class StatusBarController;

class AppDelegate : public QObject {
    Q_OBJECT

public:
    // request: what this launch asks for. services: the D-Bus service this process registered, if any;
    // its calls go to the runner.
    AppDelegate(Platform& platform, const TranslationEndpoints& endpoints, Stores stores, LaunchRequest request,
                DBusService* services = nullptr, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence; called once the event loop is about to run.
    void applicationDidFinishLaunching();

    ActionRunner& runner() { return actions; }

private:
    Platform& desktop;
    const Stores stores;
    const LaunchRequest launchRequest;
    ActionRunner actions;
    std::unique_ptr<StatusBarController> statusBar;
};

} // namespace vorlex
