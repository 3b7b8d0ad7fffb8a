#pragma once

// Runs the program's actions, whoever asks (a hotkey, the tray menu, D-Bus, a launch, the popup's
// replace button): captures the selection, then opens the popup, or translates and pastes the
// translation over the selection. Owns the popup and the settings window, both made on first use.

#include "HotkeyManager.h"
#include "LaunchRequest.h"
#include "Platform.h"
#include "SelectionCapture.h"
#include "Stores.h"
#include "TranslationService.h"
#include "TranslationWindowController.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <memory>
#include <optional>

namespace vorlex {

class ScreenTranslation;
class SettingsWindowController;

class ActionRunner : public QObject {
    Q_OBJECT

public:
    using Action = HotkeyManager::Action;

    ActionRunner(Platform& platform, const TranslationEndpoints& endpoints, Stores stores, QObject* parent = nullptr);
    ~ActionRunner() override;

    // Captures the selection of source (0: the focused window, at once) and runs action on the copied
    // text; nothing happens when the copy brought no new text, or only white space. Translating from
    // the screen copies nothing: the user picks an area, timing.activationMs later.
    void run(Action action, WindowId source = 0, CaptureTiming timing = {});
    // The popup on the text read in area of the screen, without asking the user.
    void translateScreenArea(const QRect& area);
    // The tray's date and time row: the popup on that tab, for the copied text or the time now.
    void showDateTime(WindowId source, CaptureTiming timing);
    // What a launch asks for, or a later launch hands over.
    void handle(const LaunchRequest& request);

    // The popup for text, over the window that has the focus now.
    void show(TranslationMode mode, const QString& text);
    void showEntry(const HistoryEntry& entry);
    // Translates text and pastes the translation over the selection, between the white space that
    // starts and ends text; failures do nothing. Where the focused application is a terminal, the
    // popup translates it instead; a text beyond maximumTextBytes shows the popup's error line.
    void translateAndReplace(const QString& text);
    void openSettings();

    // Null until first shown.
    const TranslationWindowController* popup() const { return popupWindow.get(); }
    const SettingsWindowController* settingsWindow() const { return settings.get(); }

    static constexpr int launchTextDelayMs = 100;
    // From taking the clipboard to the paste keystroke. The application that held the clipboard may
    // learn only later that it lost it, and pastes its own content meanwhile (LibreOffice Writer).
    static constexpr int previousOwnerLetGoMs = 150;

private:
    // The popup's return to the window it was opened over, before its paste.
    struct ReturnTo {
        WindowId window = 0;
        int activateDelayMs = 0;
        int pasteDelayMs = 0;
    };
    void act(Action action, const QString& text);
    // Puts text on the clipboard and sends the paste keystroke once the previous owner can have let go
    // of the clipboard and the desktop serves it.
    void pasteOver(const QString& text, std::optional<ReturnTo> returnTo = std::nullopt);
    TranslationWindowController& translationWindow();
    ScreenTranslation& screenTranslation();

    Platform& desktop;
    const TranslationEndpoints endpoints;
    const Stores stores;
    SelectionCapture captures;
    std::unique_ptr<TranslationWindowController> popupWindow;
    std::unique_ptr<SettingsWindowController> settings;
    std::unique_ptr<ScreenTranslation> screen; // made on first use, with the recognition engine
    std::unique_ptr<QObject> replaceInFlight;  // the context of the replace translating now
};

} // namespace vorlex
