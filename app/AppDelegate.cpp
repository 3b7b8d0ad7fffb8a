#include "AppDelegate.h"

#include "DBusService.h"
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

    // The URL and service entry points. Without a session bus the program runs without them.
    dbusService = std::make_unique<DBusService>(this);
    dbusService->registerOn(QDBusConnection::sessionBus());

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

    if (arguments.size() >= 2)
        handleArgument(arguments.at(1));
}

void AppDelegate::handleArgument(const QString& argument)
{
    if (argument == QLatin1String("--settings")) {
        openSettings();
        return;
    }
    const QString text = extractText(argument);
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
    if (text.isEmpty())
        return;
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

void AppDelegate::translateText(const QString& text)
{
    if (!text.isEmpty())
        showTranslation(text);
}

void AppDelegate::convertKeyboardLayout(const QString& text)
{
    if (!text.isEmpty())
        showPopup(TranslationMode::keyboardLayout, text);
}

void AppDelegate::handleURLEvent(const QString& url)
{
    const QString text = urlEventText(url);
    if (!text.isEmpty())
        showTranslation(text);
}

QString AppDelegate::urlEventText(const QString& url)
{
    if (url.isEmpty())
        return {};
    const QUrl parsed(url, QUrl::TolerantMode);
    if (!parsed.isValid())
        return {};
    QString text;
    if (parsed.hasQuery()) {
        // QUrlQuery would turn "+" into a space; only percent-escapes are decoded here.
        const QString query = parsed.query(QUrl::FullyEncoded);
        for (const QString& item : query.split(QLatin1Char('&'))) {
            const qsizetype equals = item.indexOf(QLatin1Char('='));
            const QString name = QUrl::fromPercentEncoding(item.left(equals < 0 ? item.size() : equals).toUtf8());
            if (name != QLatin1String("text"))
                continue;
            if (equals >= 0)
                text = QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8());
            break; // only the first item of that name counts
        }
    }
    if (text.isEmpty()) {
        text = parsed.path(QUrl::FullyDecoded);
        qsizetype start = 0;
        qsizetype end = text.size();
        while (start < end && text.at(start) == QLatin1Char('/'))
            ++start;
        while (end > start && text.at(end - 1) == QLatin1Char('/'))
            --end;
        text = text.mid(start, end - start);
    }
    return text;
}

} // namespace vorlex
