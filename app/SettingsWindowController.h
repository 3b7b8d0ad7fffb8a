#pragma once

// The settings window: created once, reused.

#include "Platform.h"

#include <QWidget>

#include <memory>

namespace vorlex {

class SettingsWindowController {
public:
    explicit SettingsWindowController(Platform& platform);
    ~SettingsWindowController();
    SettingsWindowController(const SettingsWindowController&) = delete;
    SettingsWindowController& operator=(const SettingsWindowController&) = delete;

    // Shows the window and brings it to the front.
    void showWindow();
    QWidget* window() const { return panel.get(); }

private:
    Platform& desktop;
    std::unique_ptr<QWidget> panel;
};

} // namespace vorlex
