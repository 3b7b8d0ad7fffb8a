#include "DBusService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace vorlex {

namespace {

// A running instance answers at once; one that does not within this time is hung, and a second
// one should not start beside it either.
constexpr int forwardTimeoutMs = 5000;
// How often a launch that lost the name tries again when its owner vanished before taking the request.
constexpr int claimAttempts = 3;

} // namespace

DBusService::DBusService(QObject* parent) : QObject(parent) {}

DBusService::~DBusService()
{
    if (ownsName)
        connection.unregisterService(QString::fromLatin1(serviceName));
    if (exported)
        connection.unregisterObject(QString::fromLatin1(objectPath));
}

DBusService::Registration DBusService::registerOn(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.interface())
        return Registration::noBus;
    connection = bus;
    exported = bus.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportScriptableSlots);
    if (!exported)
        return Registration::nameTaken; // another object of ours holds the path in this process
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(QString::fromLatin1(serviceName), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    ownsName = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (ownsName)
        return Registration::registered;
    bus.unregisterObject(QString::fromLatin1(objectPath));
    exported = false;
    return Registration::nameTaken;
}

bool DBusService::claimInstance(QDBusConnection bus, const LaunchRequest& request)
{
    for (int attempt = 0; attempt < claimAttempts; ++attempt) {
        if (registerOn(bus) != Registration::nameTaken)
            return true;
        if (forwardToRunningInstance(bus, request))
            return false;
    }
    return false; // the name keeps changing hands: the others run, this one steps back
}

bool DBusService::handOver(const LaunchRequest& request)
{
    // A connection of its own, given back before the program makes the session bus connection it keeps.
    const QString name = QStringLiteral("vorlex-handover");
    const bool handed =
        forwardToRunningInstance(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name), request);
    QDBusConnection::disconnectFromBus(name);
    return handed;
}

bool DBusService::forwardToRunningInstance(QDBusConnection bus, const LaunchRequest& request)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<QString> owner = bus.interface()->serviceOwner(QString::fromLatin1(serviceName));
    if (!owner.isValid())
        return false; // nobody runs yet: this process becomes the instance
    QString method;
    QString argument = request.value;
    switch (request.kind) {
    case LaunchRequest::Kind::none:
        return true; // a plain later launch has nothing to hand over
    case LaunchRequest::Kind::settings:
        method = QStringLiteral("HandleArgument");
        argument = QStringLiteral("--settings");
        break;
    case LaunchRequest::Kind::text:
        method = QStringLiteral("HandleArgument");
        break;
    case LaunchRequest::Kind::openUrl:
        method = QStringLiteral("OpenURL");
        break;
    case LaunchRequest::Kind::hotkey:
        method = QStringLiteral("RunHotkeyAction");
        break;
    }
    // Addressed to the owner's unique name: if it has just gone, the call fails instead of reaching
    // whoever takes the name next, and this process starts in its place.
    QDBusMessage call = QDBusMessage::createMethodCall(owner.value(), QString::fromLatin1(objectPath),
                                                       QString::fromLatin1(interfaceName), method);
    call << argument;
    const QDBusMessage reply = bus.call(call, QDBus::Block, forwardTimeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return true;
    const QString error = reply.errorName();
    return error != QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") &&
           error != QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
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

void DBusService::HandleArgument(const QString& argument)
{
    emit launchRequested(LaunchRequest::fromArgument(argument));
}

} // namespace vorlex
