#include "ActionRunner.h"

#include "ScreenTranslation.h"
#include "SettingsManager.h"
#include "SettingsWindowController.h"
#include "TextLimit.h"
#include "TextTerms.h"

#include <algorithm>

namespace vorlex {

ActionRunner::ActionRunner(Platform& platform, const TranslationEndpoints& where, Stores kept, QObject* parent)
    : QObject(parent), desktop(platform), endpoints(where), stores(kept), captures(platform)
{
}

ActionRunner::~ActionRunner() = default;

void ActionRunner::run(Action action, WindowId source, CaptureTiming timing)
{
    if (action == Action::translateScreen)
        return screenTranslation().pickAndRead(timing.activationMs);
    captures.capture(this, source, timing, [this, action](std::optional<QString> text) {
        if (text && !text->trimmed().isEmpty()) // white space alone is nothing selected
            act(action, *text);
    });
}

void ActionRunner::act(Action action, const QString& text)
{
    switch (action) {
    case Action::translate:
        show(TranslationMode::translate, text);
        break;
    case Action::layoutConvert:
        show(TranslationMode::keyboardLayout, text);
        break;
    case Action::replaceText:
        translateAndReplace(text);
        break;
    case Action::translateScreen:
        break; // never after a capture
    }
}

void ActionRunner::showDateTime(WindowId source, CaptureTiming timing)
{
    // Always opens: with nothing copied the date/time tab shows the current time.
    captures.capture(this, source, timing, [this](std::optional<QString> text) {
        show(TranslationMode::dateTime, text.value_or(QString()));
    });
}

void ActionRunner::handle(const LaunchRequest& request)
{
    using Kind = LaunchRequest::Kind;
    if (request.kind == Kind::settings)
        return openSettings();
    if (request.kind == Kind::hotkey) {
        if (const std::optional<Action> action = HotkeyManager::actionNamed(request.value))
            run(*action);
        return;
    }
    const QString text = request.popupText();
    if (text.isEmpty())
        return;
    if (request.kind == Kind::openUrl)
        show(TranslationMode::translate, text);
    else
        desktop.scheduler().after(launchTextDelayMs, this, [this, text] { show(TranslationMode::translate, text); });
}

TranslationWindowController& ActionRunner::translationWindow()
{
    if (!popupWindow) {
        popupWindow = std::make_unique<TranslationWindowController>(desktop, endpoints, stores);
        connect(popupWindow.get(), &TranslationWindowController::replaceRequested, this,
                [this](const QString& text, WindowId source) {
                    pasteOver(TextTerms::withSurroundingSpace(popupWindow->shown().originalText, text),
                              ReturnTo{source, TranslationViewController::activateDelayMs,
                                       TranslationViewController::pasteDelayMs});
                });
    }
    return *popupWindow;
}

ScreenTranslation& ActionRunner::screenTranslation()
{
    if (!screen) {
        screen = std::make_unique<ScreenTranslation>(desktop);
        connect(screen.get(), &ScreenTranslation::reading, this,
                [this](WindowId source) { translationWindow().showPending(source); });
        connect(screen.get(), &ScreenTranslation::read, this,
                [this](const RecognitionOutcome& outcome) { translationWindow().finishPending(outcome); });
    }
    return *screen;
}

void ActionRunner::translateScreenArea(const QRect& area)
{
    screenTranslation().readArea(area);
}

void ActionRunner::show(TranslationMode mode, const QString& text)
{
    // After a capture the focused window is the one the text came from; replace returns there.
    translationWindow().show(mode, text, desktop.windowSystem().activeWindow());
}

void ActionRunner::showEntry(const HistoryEntry& entry)
{
    translationWindow().showEntry(entry, desktop.windowSystem().activeWindow());
}

void ActionRunner::translateAndReplace(const QString& text)
{
    if (text.isEmpty())
        return;
    // Nothing would be pasted and nothing said: the popup's error line says why.
    if (exceedsTextLimit(text))
        return show(TranslationMode::translate, text);
    desktop.keySender().inspectFocus(this, [this, text](FocusedApplication focused) {
        // A terminal takes no paste keystroke: the translation is shown instead.
        if (focused == FocusedApplication::terminal)
            return show(TranslationMode::translate, text);
        const auto pasteResult = [this, text](const TranslationOutcome& outcome) {
            if (const auto* result = std::get_if<TranslationResult>(&outcome))
                pasteOver(TextTerms::withSurroundingSpace(text, result->translatedText));
            // On failure the selection stays as it was.
        };
        // A newer replace supersedes one still translating, which would paste into whatever has
        // the focus by the time it ends; a flood of calls leaves one request in flight.
        replaceInFlight = std::make_unique<QObject>();
        TranslationService::translate(text, stores.settings.load(), endpoints,
                                      TranslationService::smartTargetLanguage(text), replaceInFlight.get(),
                                      pasteResult);
    });
}

void ActionRunner::pasteOver(const QString& text, std::optional<ReturnTo> returnTo)
{
    desktop.clipboard().setText(text); // stays there afterwards
    if (returnTo) {
        desktop.scheduler().after(returnTo->activateDelayMs, this, [this, window = returnTo->window] {
            desktop.windowSystem().activate(window); // 0: nothing to return to
        });
    }
    // Where the desktop first copies the clipboard over to its own clients (GNOME), an earlier paste
    // would give the application the previous content. A terminal that has the focus by then gets no
    // paste: the translation waits on the clipboard.
    const int pasteMs =
        std::max(previousOwnerLetGoMs, returnTo ? returnTo->activateDelayMs + returnTo->pasteDelayMs : 0);
    desktop.scheduler().after(pasteMs, this, [this] {
        desktop.clipboard().whenServed(this, [this] {
            desktop.keySender().inspectFocus(this, [this](FocusedApplication focused) {
                if (focused == FocusedApplication::ordinary)
                    desktop.keySender().sendPaste();
            });
        });
    });
}

void ActionRunner::openSettings()
{
    if (!settings)
        settings = std::make_unique<SettingsWindowController>(desktop, stores);
    settings->showWindow();
}

} // namespace vorlex
