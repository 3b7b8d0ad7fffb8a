#pragma once

// The application controller: starts the program, owns the top-level controllers and turns every
// request (hotkey, tray menu, D-Bus service, vorlex: URL, command line) into one of its actions.

#include "HotkeyManager.h"
#include "Platform.h"
#include "TranslationWindowController.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace vorlex {

class DBusService;
class SettingsWindowController;
class StatusBarController;

class AppDelegate : public QObject {
    Q_OBJECT

public:
    // arguments: the process arguments as the user gave them (program path first), read before
    // QApplication takes its own options out.
    AppDelegate(Platform& platform, QStringList arguments, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence; called once the event loop is about to run.
    void applicationDidFinishLaunching();

    void showTranslation(const QString& text);
    // Opens the popup for a mode and a text (the translation and the layout actions).
    void showPopup(TranslationMode mode, const QString& text);
    void openSettings();
    void handleHotkeyAction(HotkeyManager::Action action);
    // Translates text and pastes the translation over the selection; failures do nothing.
    void translateAndReplace(const QString& text);

    // Makes the focused application copy its selection and reads the clipboard once the copy lands
    // (at most 0.25 s later). The completion runs exactly once, never before this returns, with a
    // non-empty text or nothing, and not at all if the controller is gone by then.
    void grabSelectedText(std::function<void(std::optional<QString>)> completion);

    // The text a vorlex: URL argument carries in its "text" query item, else the argument itself.
    static QString extractText(const QString& argument);
    // The first "text" query item of url, only percent-escapes decoded (so "+" stays "+"); nothing
    // when the URL has no such item or it has no "=".
    static std::optional<QString> urlQueryText(const QString& url);

    // The user's arguments (without the program path), at launch or handed over by a second launch:
    // "--open-url URL" is an opened link, "--hotkey NAME" a hotkey, anything else handleArgument's.
    void handleArguments(const QStringList& userArguments);
    static constexpr const char* openUrlOption = "--open-url";
    static constexpr const char* hotkeyOption = "--hotkey";
    // "translate", "layout" or "replace": exactly what that hotkey does, capture included.
    // False for any other name.
    bool runHotkeyAction(const QString& name);

    // What launch does with the first argument, and what a second launch hands over: "--settings"
    // opens the settings, any other text goes through extractText to the popup 0.1 s later.
    void handleArgument(const QString& argument);
    // The D-Bus services: the text comes with the request, so nothing is captured. An empty text
    // does nothing (translateAndReplace above likewise).
    void translateText(const QString& text);
    void convertKeyboardLayout(const QString& text);
    // A vorlex: URL opened on the desktop: the popup for the text it carries, if any.
    void handleURLEvent(const QString& url);
    // The text of an opened URL: its first "text" query item (only percent-escapes decoded, so "+"
    // stays "+"), else its decoded path without the surrounding "/"; empty when neither has any.
    static QString urlEventText(const QString& url);
    // The D-Bus service, or null before launch.
    DBusService* services() const { return dbusService.get(); }

    Platform& platform() { return desktop; }
    StatusBarController* statusBarController() const { return statusBar.get(); }
    // Created on first use and shared with the tray menu.
    TranslationWindowController& translationWindow();
    TranslationWindowController* existingTranslationWindow() const { return translationWindowController.get(); }
    SettingsWindowController* settingsWindow() const { return settingsWindowController.get(); }

    static constexpr int copySettleMs = 250;
    static constexpr int launchArgumentDelayMs = 100;

private:
    void simulatePaste();

    Platform& desktop;
    QStringList arguments;
    std::unique_ptr<StatusBarController> statusBar;
    std::unique_ptr<DBusService> dbusService;
    std::unique_ptr<TranslationWindowController> translationWindowController;
    std::unique_ptr<SettingsWindowController> settingsWindowController;
};

} // namespace vorlex
