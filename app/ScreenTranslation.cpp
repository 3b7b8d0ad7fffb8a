#include "ScreenTranslation.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace vorlex {

namespace {

using Kind = RecognitionError::Kind;

// The desktop's picture over the screens: split up where it shows the whole desktop, else laid over
// the screen the pointer is on (a compositor that took one output).
QList<ScreenShot> shotsOf(const QImage& picture)
{
    QRect whole;
    for (const QScreen* screen : QGuiApplication::screens())
        whole |= screen->geometry();
    QList<ScreenShot> shots;
    if (picture.size() == whole.size()) {
        for (const QScreen* screen : QGuiApplication::screens())
            shots.append({picture.copy(screen->geometry().translated(-whole.topLeft())), screen->geometry()});
        return shots;
    }
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        shots.append({picture, screen->geometry()});
    return shots;
}

// The desktop wrote the picture for this request alone. One in a temporary folder goes once read (a
// wlroots portal reuses /tmp/out.png, readable by every user); one elsewhere (GNOME keeps them among
// the user's pictures) stays.
void removeIfTemporary(const QString& path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    for (const QString& folder : {QDir::tempPath(), qEnvironmentVariable("XDG_RUNTIME_DIR")}) {
        if (!folder.isEmpty() && file.startsWith(QDir(folder).absolutePath() + QLatin1Char('/')))
            QFile::remove(file);
    }
}

} // namespace

ScreenTranslation::ScreenTranslation(Platform& platform, OcrEngine::Factory make, QObject* parent)
    : QObject(parent), desktop(platform), engine(platform.scheduler(), std::move(make)), picker(platform.scheduler())
{
}

ScreenTranslation::~ScreenTranslation() = default;

void ScreenTranslation::pickAndRead(int delayMs)
{
    if (busy)
        return;
    busy = true;
    desktop.scheduler().after(delayMs, this, [this] {
        if (!desktop.screenPictures()) {
            engine.prepare(); // while the user picks
            return pickOn(ScreenAreaPicker::grabScreens());
        }
        fromDesktop(true, [this](QList<ScreenShot> shots, bool areaPicked) {
            if (shots.isEmpty() || areaPicked) {
                busy = false;
                if (!shots.isEmpty())
                    readImage(shots.front().image);
                return;
            }
            engine.prepare();
            pickOn(shots);
        });
    });
}

void ScreenTranslation::readArea(const QRect& area)
{
    const auto cut = [this, area](const QList<ScreenShot>& shots) {
        const QImage image = ScreenAreaPicker::crop(shots, area);
        if (image.isNull())
            return fail({Kind::outsideScreen, {}});
        readImage(image);
    };
    if (!desktop.screenPictures())
        return cut(ScreenAreaPicker::grabScreens());
    fromDesktop(false, [cut](QList<ScreenShot> shots, bool) {
        if (!shots.isEmpty())
            cut(shots);
    });
}

void ScreenTranslation::fromDesktop(bool pickArea, std::function<void(QList<ScreenShot>, bool)> next)
{
    desktop.screenPictures()->take(pickArea, this, [this, next](const ScreenPictures::Outcome& outcome) {
        using Failure = ScreenPictures::Failure;
        if (const auto* failure = std::get_if<Failure>(&outcome)) {
            if (failure->kind != Failure::Kind::cancelled) // the user's own choice
                fail({failure->kind == Failure::Kind::unavailable ? Kind::noScreen : Kind::screenFailed,
                      failure->detail});
            return next({}, false);
        }
        const auto& picture = std::get<ScreenPictures::Picture>(outcome);
        const QImage image(picture.path);
        removeIfTemporary(picture.path);
        if (image.isNull()) {
            fail({Kind::screenFailed, picture.path});
            return next({}, false);
        }
        next(picture.areaPicked ? QList<ScreenShot>{{image, QRect()}} : shotsOf(image), picture.areaPicked);
    });
}

void ScreenTranslation::pickOn(const QList<ScreenShot>& shots)
{
    picker.pick(shots, [this](std::optional<QImage> picked) {
        busy = false;
        if (picked)
            readImage(*picked);
    });
}

void ScreenTranslation::readImage(const QImage& image)
{
    emit reading(desktop.windowSystem().activeWindow());
    engine.recognize(image, this, [this](const RecognitionOutcome& outcome) { emit read(outcome); });
}

void ScreenTranslation::fail(RecognitionError error)
{
    emit reading(desktop.windowSystem().activeWindow());
    emit read(error);
}

} // namespace vorlex
