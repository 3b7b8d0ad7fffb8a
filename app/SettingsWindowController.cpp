#include "SettingsWindowController.h"

#include "AutostartEntry.h"
#include "HotkeyManager.h"
#include "SettingsViewController.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace vorlex {

namespace {

constexpr int windowWidth = 420;
constexpr int windowMinimumHeight = 520;

} // namespace

SettingsWindowController::SettingsWindowController(Platform& platform, Stores stores)
    : desktop(platform), store(stores.settings), hotkeys(stores.hotkeys),
      // The entry names the program that is running now: the installed one, when started as installed.
      saver(store, hotkeys, QCoreApplication::applicationFilePath()),
      // A tool window: no taskbar entry, like every window of a tray program.
      panel(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                   Qt::WindowCloseButtonHint))
{
    panel->setWindowTitle(QStringLiteral("הגדרות — Vorlex"));
    panel->setLayoutDirection(Qt::RightToLeft);
    auto* layout = new QVBoxLayout(panel.get());
    layout->setContentsMargins(0, 0, 0, 0);
    form = new SettingsViewController(panel.get());
    layout->addWidget(form);
    // Filled once: reopening shows the controls as the user left them.
    form->populateFromSettings(store.load());
    QObject::connect(form, &SettingsViewController::saveRequested, form, [this] { save(); });
    QObject::connect(form, &SettingsViewController::cancelRequested, panel.get(), &QWidget::close);

    const int height =
        std::max(windowMinimumHeight, layout->heightForWidth(windowWidth) > 0 ? layout->heightForWidth(windowWidth)
                                                                              : layout->sizeHint().height());
    panel->setFixedSize(windowWidth, height);

    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        panel->move(area.center() - QPoint(windowWidth / 2, height / 2));
    }
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::showWindow()
{
    if (!panel->isVisible()) {
        // Not settings: the entry's presence and the keys other programs hold are the state, and either
        // may have changed since the window was last open.
        form->setStartAtLogin(AutostartEntry::isInstalled());
        form->showTakenHotkeys(hotkeys.takenHotkeys());
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
    desktop.windowSystem().activate(panel->winId());
}

void SettingsWindowController::save()
{
    const SettingsSaver::Outcome outcome = saver.save(form->recordFromControls(store.load()), form->startAtLogin());
    if (outcome.failure) {
        form->showSaveFailure(*outcome.failure);
        return;
    }
    form->showSaveFailure({});
    form->showTakenHotkeys(outcome.takenHotkeys);
    // Saved, but a hotkey that will not fire is told here first.
    if (outcome.takenHotkeys.isEmpty())
        panel->close();
}

} // namespace vorlex
