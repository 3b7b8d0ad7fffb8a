#include "AppDelegate.h"

#include "SettingsManager.h"
#include "SettingsWindowController.h"
#include "StatusBarController.h"
#include "TranslationService.h"

#include <QGuiApplication>
#include <QPointer>
#include <QUrl>

namespace vorlex {

AppDelegate::AppDelegate(Platform& platform, QStringList processArguments, QObject* parent)
    : QObject(parent), desktop(platform), arguments(std::move(processArguments))
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    // Tray only: closing the popup or the settings window never ends the program.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    statusBar = std::make_unique<StatusBarController>(this);

    const AppSettings settings = SettingsManager::shared().load();

    QPointer<AppDelegate> self(this);
    HotkeyManager& hotkeys = HotkeyManager::shared();
    hotkeys.actionHandler = [self](HotkeyManager::Action action) {
        if (self)
            self->handleHotkeyAction(action);
    };
    hotkeys.currentSettings = settings;
    hotkeys.installMonitor(desktop);

    desktop.session().checkInputAccess(); // informational only: we carry on either way

    if (arguments.size() < 2)
        return;
    const QString first = arguments.at(1);
    if (first == QLatin1String("--settings")) {
        openSettings();
        return;
    }
    const QString text = extractText(first);
    if (text.isEmpty())
        return;
    desktop.scheduler().after(launchArgumentDelayMs, this, [this, text] { showTranslation(text); });
}

void AppDelegate::showTranslation(const QString& text)
{
    showPopup(TranslationMode::translate, text);
}

TranslationWindowController& AppDelegate::translationWindow()
{
    if (!translationWindowController)
        translationWindowController = std::make_unique<TranslationWindowController>(desktop);
    return *translationWindowController;
}

void AppDelegate::showPopup(TranslationMode mode, const QString& text)
{
    TranslationWindowController& window = translationWindow();
    window.translationVC->sourceApp = desktop.windowSystem().activeWindow();
    window.translationVC->set(mode, text);
    window.present();
}

void AppDelegate::openSettings()
{
    if (!settingsWindowController)
        settingsWindowController = std::make_unique<SettingsWindowController>(desktop);
    settingsWindowController->showWindow();
}

void AppDelegate::handleHotkeyAction(HotkeyManager::Action action)
{
    grabSelectedText([this, action](std::optional<QString> text) {
        if (!text || text->isEmpty())
            return;
        switch (action) {
        case HotkeyManager::Action::translate:
            showTranslation(*text);
            break;
        case HotkeyManager::Action::layoutConvert:
            showPopup(TranslationMode::keyboardLayout, *text);
            break;
        case HotkeyManager::Action::replaceText:
            translateAndReplace(*text);
            break;
        }
    });
}

void AppDelegate::translateAndReplace(const QString& text)
{
    const AppSettings settings = SettingsManager::shared().load();
    const QString target = TranslationService::smartTargetLanguage(text);
    TranslationService::translate(text, settings, target, this, [this](const TranslationOutcome& outcome) {
        const auto* result = std::get_if<TranslationResult>(&outcome);
        if (!result)
            return; // the selection stays as it was
        desktop.clipboard().setText(result->translatedText);
        simulatePaste();
    });
}

void AppDelegate::grabSelectedText(std::function<void(std::optional<QString>)> completion)
{
    const quint64 countBefore = desktop.clipboard().changeCount();
    const WindowId frontmost = desktop.windowSystem().activeWindow();
    if (frontmost != 0)
        desktop.windowSystem().activate(frontmost);

    desktop.scheduler().after(copyDelayMs, this, [this, countBefore, completion = std::move(completion)]() mutable {
        desktop.keySender().sendCopy();
        desktop.scheduler().after(copySettleMs, this, [this, countBefore, completion = std::move(completion)] {
            const QString text = desktop.clipboard().text();
            if (desktop.clipboard().changeCount() != countBefore && !text.isEmpty())
                completion(text);
            else
                completion(std::nullopt);
        });
    });
}

void AppDelegate::simulatePaste()
{
    desktop.keySender().sendPaste();
}

QString AppDelegate::extractText(const QString& argument)
{
    if (!argument.startsWith(QLatin1String("vorlex:")))
        return argument;
    // Read the query by hand: a "text" item without "=" has no value, and "+" stays a plus sign.
    const qsizetype question = argument.indexOf(QLatin1Char('?'));
    if (question < 0)
        return argument;
    qsizetype end = argument.indexOf(QLatin1Char('#'), question);
    if (end < 0)
        end = argument.size();
    const QString query = argument.mid(question + 1, end - question - 1);
    for (const QString& item : query.split(QLatin1Char('&'))) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString name = QUrl::fromPercentEncoding(item.left(equals < 0 ? item.size() : equals).toUtf8());
        if (name != QLatin1String("text"))
            continue;
        if (equals < 0)
            return argument; // the item has no value
        return QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8());
    }
    return argument;
}

} // namespace vorlex
