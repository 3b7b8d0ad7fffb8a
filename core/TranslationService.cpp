#include "TranslationService.h"

#include "TextTerms.h"

#include <QCoreApplication>
#include <QMutex>
#include <QPointer>
#include <QTimer>

namespace vorlex {

namespace {

QMutex endpointsMutex;
TranslationEndpoints currentEndpoints;

} // namespace

QString TranslationError::description() const
{
    switch (kind) {
    case Kind::httpError:
        return QStringLiteral("שגיאת HTTP ") + QString::number(code);
    case Kind::emptyText:
        return QStringLiteral("אין טקסט לתרגום");
    case Kind::invalidURL:
        return QStringLiteral("כתובת URL שגויה");
    case Kind::missingAPIKey:
        return QStringLiteral("נדרש מפתח API של DeepL (הגדרות)");
    case Kind::noTranslation:
        return QStringLiteral("לא התקבל תרגום");
    case Kind::decodingFailed:
        return QStringLiteral("שגיאה בפענוח תגובת השרת");
    case Kind::transport:
    case Kind::replyFormat:
        break;
    }
    return detail.isEmpty() ? QStringLiteral("שגיאת רשת") : detail;
}

QString TranslationService::smartTargetLanguage(const QString& text)
{
    const qsizetype letters = TextTerms::letterCount(text);
    if (letters == 0)
        return QStringLiteral("he");
    qsizetype hebrew = 0;
    for (const char32_t c : text.toUcs4())
        hebrew += TextTerms::isHebrewLetter(c) ? 1 : 0;
    return double(hebrew) / double(letters) > 0.5 ? QStringLiteral("en") : QStringLiteral("he");
}

TranslationEndpoints TranslationService::endpoints()
{
    QMutexLocker lock(&endpointsMutex);
    return currentEndpoints;
}

void TranslationService::setEndpoints(const TranslationEndpoints& endpoints)
{
    QMutexLocker lock(&endpointsMutex);
    currentEndpoints = endpoints;
}

void TranslationService::translate(const QString& text, const AppSettings& settings,
                                   const std::optional<QString>& targetOverride, QObject* context,
                                   Completion completion)
{
    Q_UNUSED(settings);
    Q_UNUSED(targetOverride);
    // Placeholder until the network paths land: every request fails the way an offline one would.
    const bool empty = TextTerms::trimmed(text).isEmpty();
    QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    QTimer::singleShot(0, QCoreApplication::instance(), [=] {
        if (hasContext && !guard)
            return;
        completion(empty ? TranslationError{TranslationError::Kind::emptyText, 0, {}}
                         : TranslationError{TranslationError::Kind::transport, 0, QStringLiteral("אין חיבור לשרת")});
    });
}

} // namespace vorlex
