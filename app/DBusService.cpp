#include "DBusService.h"

#include "RunningInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>

#include <algorithm>
#include <climits>

namespace vorlex {

namespace {

// How often a launch that lost the name tries again when its owner vanished before taking the request.
constexpr int claimAttempts = 3;

} // namespace

DBusService::DBusService(QObject* parent) : QObject(parent) {}

DBusService::~DBusService()
{
    if (ownsName)
        connection.unregisterService(QString::fromLatin1(RunningInstance::serviceName));
    if (exported)
        connection.unregisterObject(QString::fromLatin1(RunningInstance::objectPath));
}

DBusService::Registration DBusService::registerOn(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.interface())
        return Registration::noBus;
    connection = bus;
    exported = bus.registerObject(QString::fromLatin1(RunningInstance::objectPath), this,
                                  QDBusConnection::ExportScriptableSlots);
    if (!exported)
        return Registration::nameTaken; // another object of ours holds the path in this process
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        QString::fromLatin1(RunningInstance::serviceName), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    ownsName = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (ownsName)
        return Registration::registered;
    bus.unregisterObject(QString::fromLatin1(RunningInstance::objectPath));
    exported = false;
    return Registration::nameTaken;
}

bool DBusService::claimInstance(QDBusConnection bus, const LaunchRequest& request)
{
    for (int attempt = 0; attempt < claimAttempts; ++attempt) {
        if (registerOn(bus) != Registration::nameTaken)
            return true;
        if (RunningInstance::forward(bus, request))
            return false;
    }
    return false; // the name keeps changing hands: the others run, this one steps back
}

void DBusService::TranslateText(const QString& text)
{
    if (!text.isEmpty())
        emit showRequested(TranslationMode::translate, text);
}

void DBusService::ConvertKeyboardLayout(const QString& text)
{
    if (!text.isEmpty())
        emit showRequested(TranslationMode::keyboardLayout, text);
}

void DBusService::TranslateAndReplace(const QString& text)
{
    emit replaceRequested(text);
}

void DBusService::OpenURL(const QString& url)
{
    emit launchRequested({LaunchRequest::Kind::openUrl, url});
}

void DBusService::RunHotkeyAction(const QString& name)
{
    emit launchRequested({LaunchRequest::Kind::hotkey, name});
}

void DBusService::TranslateScreenArea(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    // Held where QRect's right and bottom edges cannot overflow.
    const auto fit = [](int origin, int length) { return int(std::min<qint64>(length, qint64(INT_MAX) - origin)); };
    emit screenAreaRequested(QRect(x, y, fit(x, width), fit(y, height)));
}

void DBusService::HandleArgument(const QString& argument)
{
    emit launchRequested(LaunchRequest::fromArgument(argument));
}

} // namespace vorlex
