#include "TextRecognizer.h"

namespace vorlex {

QString RecognitionError::description() const
{
    switch (kind) {
    case Kind::unreadableImage:
        return QStringLiteral("לא ניתן לקרוא את התמונה") +
               (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    case Kind::imageTooLarge:
        return QStringLiteral("התמונה גדולה מדי לזיהוי טקסט");
    case Kind::engineMissing:
        return QStringLiteral("רכיב זיהוי הטקסט לא נטען; התקינו את החבילה libtesseract5") +
               (detail.isEmpty() ? QString() : QStringLiteral(" (") + detail + QLatin1Char(')'));
    case Kind::languageMissing:
        return QStringLiteral("חסרה חבילת השפה לזיהוי טקסט; התקינו את ") + detail;
    case Kind::engineFailed:
        return QStringLiteral("זיהוי הטקסט נכשל") + (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    case Kind::timedOut:
        return QStringLiteral("זיהוי הטקסט ארך זמן רב מדי; בחרו אזור קטן יותר");
    case Kind::noText:
        return QStringLiteral("לא נמצא טקסט באזור שנבחר");
    case Kind::noScreen:
        return QStringLiteral("שולחן העבודה אינו מאפשר לצלם את המסך") +
               (detail.isEmpty() ? QString() : QStringLiteral(" (") + detail + QLatin1Char(')'));
    case Kind::screenFailed:
        return QStringLiteral("צילום המסך נכשל") + (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    case Kind::outsideScreen:
        return QStringLiteral("האזור שנבחר נמצא מחוץ למסך");
    }
    return QStringLiteral("זיהוי הטקסט נכשל");
}

} // namespace vorlex
