#include "DBusService.h"

#include "AppDelegate.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace vorlex {

namespace {

// A running instance answers at once; one that does not within this time is hung, and a second
// one should not start beside it either.
constexpr int forwardTimeoutMs = 5000;

} // namespace

DBusService::DBusService(AppDelegate* delegate, QObject* parent) : QObject(parent), appDelegate(delegate) {}

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

bool DBusService::forwardToRunningInstance(QDBusConnection bus, const QStringList& arguments)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<QString> owner = bus.interface()->serviceOwner(QString::fromLatin1(serviceName));
    if (!owner.isValid())
        return false; // nobody runs yet: this process becomes the instance
    if (arguments.size() < 2)
        return true; // a plain second launch has nothing to hand over

    // Addressed to the owner's unique name: if it has just gone, the call fails instead of reaching
    // whoever takes the name next, and this process starts in its place.
    // The two options that carry a value go to their own methods; anything else is handed over whole.
    QString method = QStringLiteral("HandleArgument");
    QString argument = arguments.at(1);
    if (argument == QLatin1String(AppDelegate::openUrlOption) || argument == QLatin1String(AppDelegate::hotkeyOption)) {
        method = argument == QLatin1String(AppDelegate::openUrlOption) ? QStringLiteral("OpenURL")
                                                                       : QStringLiteral("RunHotkeyAction");
        argument = arguments.value(2);
    }
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
    if (appDelegate)
        appDelegate->translateText(text);
}

void DBusService::ConvertKeyboardLayout(const QString& text)
{
    if (appDelegate)
        appDelegate->convertKeyboardLayout(text);
}

void DBusService::TranslateAndReplace(const QString& text)
{
    if (appDelegate)
        appDelegate->translateAndReplace(text);
}

void DBusService::OpenURL(const QString& url)
{
    if (appDelegate)
        appDelegate->handleURLEvent(url);
}

void DBusService::RunHotkeyAction(const QString& name)
{
    if (appDelegate)
        appDelegate->runHotkeyAction(name);
}

void DBusService::HandleArgument(const QString& argument)
{
    if (appDelegate)
        appDelegate->handleArgument(argument);
}

} // namespace vorlex
