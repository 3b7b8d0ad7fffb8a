#include "AppDelegate.h"

#include "DBusService.h"
#include "HistoryManager.h"
#include "SelectionCapture.h"
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
    // History is written in the background; what is recorded before quitting is on disk after it.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [] { HistoryManager::shared().flush(); });

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
    hotkeys.applySettings(settings);
    hotkeys.installMonitor(desktop);

    handleArguments(arguments.mid(1));
}

void AppDelegate::handleArguments(const QStringList& userArguments)
{
    if (userArguments.isEmpty())
        return;
    const QString& first = userArguments.first();
    const QString value = userArguments.value(1);
    if (first == QLatin1String(openUrlOption))
        handleURLEvent(value);
    else if (first == QLatin1String(hotkeyOption))
        runHotkeyAction(value);
    else
        handleArgument(first);
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
        desktop.clipboard().whenServed(this, [this] { simulatePaste(); });
    });
}

void AppDelegate::grabSelectedText(std::function<void(std::optional<QString>)> completion)
{
    // The window the hotkey was pressed in is the active one already: nothing to activate or wait for.
    captureSelection(desktop, this, 0, {0, copySettleMs},
                     [completion = std::move(completion)](std::optional<QString> text) {
                         completion(text && !text->isEmpty() ? text : std::nullopt);
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
    const std::optional<QString> text = urlQueryText(argument);
    return text ? *text : argument;
}

std::optional<QString> AppDelegate::urlQueryText(const QString& url)
{
    // Read by hand: QUrlQuery would turn "+" into a space, and an item without "=" has no value.
    const qsizetype question = url.indexOf(QLatin1Char('?'));
    if (question < 0)
        return std::nullopt;
    qsizetype end = url.indexOf(QLatin1Char('#'), question);
    if (end < 0)
        end = url.size();
    const QString query = url.mid(question + 1, end - question - 1);
    for (const QString& item : query.split(QLatin1Char('&'))) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString name = QUrl::fromPercentEncoding(item.left(equals < 0 ? item.size() : equals).toUtf8());
        if (name != QLatin1String("text"))
            continue;
        if (equals < 0)
            return std::nullopt; // only the first item of that name counts
        return QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8());
    }
    return std::nullopt;
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
    const QUrl parsed(url, QUrl::TolerantMode);
    if (url.isEmpty() || !parsed.isValid())
        return {};
    const std::optional<QString> query = urlQueryText(parsed.toString(QUrl::FullyEncoded));
    if (query && !query->isEmpty())
        return *query;
    QString path = parsed.path(QUrl::FullyDecoded);
    qsizetype start = 0;
    qsizetype end = path.size();
    while (start < end && path.at(start) == QLatin1Char('/'))
        ++start;
    while (end > start && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return path.mid(start, end - start);
}

bool AppDelegate::runHotkeyAction(const QString& name)
{
    const std::optional<HotkeyManager::Action> action = HotkeyManager::actionNamed(name);
    if (action)
        handleHotkeyAction(*action);
    return action.has_value();
}

} // namespace vorlex
