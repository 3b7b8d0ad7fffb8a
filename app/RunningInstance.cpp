#include "RunningInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include <cstdio>

namespace vorlex {

namespace {

// A running instance answers at once; one that does not within this time is hung, and a second
// one should not start beside it either.
constexpr int forwardTimeoutMs = 5000;

} // namespace

std::variant<LaunchRequest, int> RunningInstance::readArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const std::variant<LaunchRequest, QString> parsed = LaunchRequest::parse(arguments);
    if (const QString* usage = std::get_if<QString>(&parsed)) {
        std::fputs(qPrintable(*usage), stderr);
        return 2;
    }
    return std::get<LaunchRequest>(parsed);
}

std::variant<LaunchRequest, int> RunningInstance::handOver(int argc, char* argv[])
{
    const std::variant<LaunchRequest, int> launch = readArguments(argc, argv);
    if (const LaunchRequest* request = std::get_if<LaunchRequest>(&launch); request && handOver(*request))
        return 0;
    return launch;
}

bool RunningInstance::handOver(const LaunchRequest& request)
{
    // A connection of its own, given back before the program makes the session bus connection it keeps.
    const QString name = QStringLiteral("vorlex-handover");
    const bool handed = forward(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name), request);
    QDBusConnection::disconnectFromBus(name);
    return handed;
}

bool RunningInstance::forward(QDBusConnection bus, const LaunchRequest& request)
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

} // namespace vorlex
