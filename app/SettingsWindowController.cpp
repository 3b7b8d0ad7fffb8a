#include "SettingsWindowController.h"

#include "SettingsManager.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vorlex {

SettingsWindowController::SettingsWindowController(Platform& platform)
    : desktop(platform), panel(std::make_unique<QWidget>())
{
    panel->setWindowTitle(QStringLiteral("הגדרות — Vorlex"));
    panel->setLayoutDirection(Qt::RightToLeft);
    auto* layout = new QVBoxLayout(panel.get());
    auto* path = new QLabel(SettingsManager::shared().settingsURL(), panel.get());
    path->setTextFormat(Qt::PlainText);
    layout->addWidget(path);
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::showWindow()
{
    panel->show();
    panel->raise();
    panel->activateWindow();
    desktop.windowSystem().activate(panel->winId());
}

} // namespace vorlex
