#include "TextRecognizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace vorlex {

void limitRecognitionThreads()
{
    if (!qEnvironmentVariableIsSet("OMP_THREAD_LIMIT"))
        qputenv("OMP_THREAD_LIMIT", "1");
}

std::variant<std::unique_ptr<TextRecognizer>, RecognitionError> loadTextRecognizer()
{
    limitRecognitionThreads();
    const QString name = QStringLiteral("vorlex-ocr.so");
    const QDir here(QCoreApplication::applicationDirPath());
    QString reason = name + QStringLiteral(" לא נמצא");
    for (const QString& path :
         {here.filePath(name), here.filePath(QStringLiteral("../" VORLEX_LIBEXEC_DIR "/vorlex/") + name)}) {
        if (!QFileInfo(path).isFile())
            continue;
        QLibrary library(path); // never unloaded: Tesseract keeps threads and caches of its own
        using Create = void (*)(std::unique_ptr<TextRecognizer>*);
        const auto create = reinterpret_cast<Create>(library.resolve("vorlexCreateTextRecognizer"));
        if (!create) {
            reason = library.errorString(); // a missing libtesseract shows here
            break;
        }
        std::unique_ptr<TextRecognizer> made;
        create(&made);
        if (made)
            return made;
    }
    return RecognitionError{RecognitionError::Kind::engineMissing, reason};
}

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
