#include "PopupSession.h"

#include "DateTimeService.h"
#include "KeyboardLayoutConverter.h"
#include "SettingsManager.h"
#include "TextLimit.h"

namespace vorlex {

namespace {

const QString kTranslateType = QStringLiteral("translate");
const QString kLayoutType = QStringLiteral("layout");
const QString kKeyboardLayoutSource = QStringLiteral("פריסת מקלדת");

} // namespace

PopupSession::PopupSession(Platform& platform, const TranslationEndpoints& where, Stores stores, QObject* parent)
    : QObject(parent), desktop(platform), endpoints(where), settingsStore(stores.settings), history(stores.history)
{
}

void PopupSession::set(TranslationMode mode, const QString& text, WindowId source)
{
    if (exceedsTextLimit(text))
        return showTooLong(mode, source);
    current = {mode, text, source};
    resultText.clear();
    switch (mode) { // each mode drops the request in flight as it starts
    case TranslationMode::translate:
        startTranslation(text); // an empty text goes to the service, which reports it
        break;
    case TranslationMode::keyboardLayout:
        startLayoutConversion(text);
        break;
    case TranslationMode::dateTime:
        startDateTimeDisplay(text);
        break;
    }
}

void PopupSession::showEntry(const HistoryEntry& entry, WindowId source)
{
    const bool translation = entry.type == kTranslateType;
    const TranslationMode mode = translation ? TranslationMode::translate : TranslationMode::keyboardLayout;
    if (exceedsTextLimit(entry.originalText))
        return showTooLong(mode, source); // kept by an older version, which took any size
    dropRequest();
    current = {mode, entry.originalText, source};
    resultText = entry.resultText;
    show(entry.resultText, false, translation ? QStringLiteral("היסטוריה") : kKeyboardLayoutSource);
}

void PopupSession::showPending(WindowId source)
{
    current = {TranslationMode::translate, QString(), source};
    resultText.clear();
    showBusy();
    view.source = QStringLiteral("קורא טקסט מהמסך...");
    pendingDisplay = displayGeneration;
    emit displayChanged(view);
}

void PopupSession::showFailure(const QString& description)
{
    dropRequest();
    show(description, true, QString());
}

void PopupSession::showTooLong(TranslationMode mode, WindowId source)
{
    dropRequest();
    current = {mode, QString(), source}; // the modes have nothing to run on
    resultText.clear();
    show(TranslationError{TranslationError::Kind::textTooLong, 0, {}}.description(), true, QString());
}

void PopupSession::choose(TranslationMode mode)
{
    current.mode = view.tab = mode;
    const QString& text = current.originalText;
    if (mode == TranslationMode::dateTime)
        startDateTimeDisplay(text);
    else if (text.isEmpty())
        return;
    else if (mode == TranslationMode::keyboardLayout)
        startLayoutConversion(text);
    else
        startTranslation(text);
}

void PopupSession::startTranslation(const QString& text)
{
    const AppSettings settings = settingsStore.load();
    const QString target = TranslationService::smartTargetLanguage(text);
    showBusy();
    emit displayChanged(view);
    translationInFlight = std::make_unique<QObject>();
    TranslationService::translate(
        text, settings, endpoints, target, translationInFlight.get(),
        [this, text, autoCopy = settings.autoCopyToClipboard](const TranslationOutcome& outcome) {
            const auto* result = std::get_if<TranslationResult>(&outcome);
            if (!result)
                return show(std::get<TranslationError>(outcome).description(), true, QString());
            resultText = result->translatedText;
            const QString detected = result->detectedLanguage.toUpper();
            show(resultText, false, detected.isEmpty() ? QString() : QStringLiteral("זוהה: ") + detected,
                 result->engineName);
            if (autoCopy)
                desktop.clipboard().setText(resultText);
            history.add(kTranslateType, text, resultText);
        });
}

void PopupSession::startLayoutConversion(const QString& text)
{
    dropRequest();
    resultText = KeyboardLayoutConverter::convert(text);
    show(resultText, false, kKeyboardLayoutSource);
    history.add(kLayoutType, text, resultText);
}

void PopupSession::startDateTimeDisplay(const QString& text)
{
    dropRequest();
    const DateTimeResult reading = DateTimeService::compute(text);
    resultText = QStringLiteral("🕐 שעון מקומי (") + reading.timeZone + QStringLiteral("):\n") + reading.localTime +
                 QStringLiteral("\n\n🌍 לפי שעון UTC (רוחב 0):\n") + reading.utcTime +
                 QStringLiteral("\n\n✡️ לוח עברי:\n") + reading.hebrewDate;
    show(resultText, false, reading.sourceNote);
}

void PopupSession::dropRequest()
{
    translationInFlight.reset();
    ++displayGeneration;
}

void PopupSession::showBusy()
{
    dropRequest();
    view = {current.mode, true, QString(), false, QString(), QString()};
}

void PopupSession::show(const QString& text, bool error, const QString& source, const QString& engine)
{
    view = {current.mode, false, error ? QStringLiteral("שגיאה: ") + text : text, error, source, engine};
    emit displayChanged(view);
}

} // namespace vorlex
