#include "PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vorlex::wayland {

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

} // namespace

void closePortalSession(const QDBusConnection& bus, const QString& path)
{
    if (!path.isEmpty())
        QDBusConnection(bus).asyncCall(QDBusMessage::createMethodCall(QLatin1String(portalService), path,
                                                                      sessionInterface, QStringLiteral("Close")));
}

QString portalRefusal(uint response, const QVariantMap& results)
{
    return response == 1 ? QStringLiteral("was declined")
                         : QStringLiteral("failed (%1)").arg(results.value(QStringLiteral("error")).toString());
}

PortalRequest::PortalRequest(const QDBusConnection& bus, PortalDone callback)
    : connection(bus), done(std::move(callback))
{
}

void PortalRequest::call(const QDBusConnection& bus, const QString& interface, const QString& method,
                         QVariantList arguments, PortalDone done)
{
    static uint serial = 0;
    const QString token = QStringLiteral("vorlex%1").arg(++serial);
    auto* request = new PortalRequest(bus, std::move(done));
    // The path the portal will use, known before the call, so no Response can be missed.
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    request->listen(QStringLiteral("%1/request/%2/%3").arg(QLatin1String(portalPath), sender, token));

    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(portalService), QLatin1String(portalPath), interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(request->connection.asyncCall(message), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request, [request](QDBusPendingCallWatcher* answer) {
        const QDBusPendingReply<QDBusObjectPath> reply = *answer;
        if (reply.isError())
            request->finish(2, {{QStringLiteral("error"), reply.error().message()},
                                {QStringLiteral("errorName"), reply.error().name()}});
        else if (reply.value().path() != request->requestPath) // a portal older than handle tokens
            request->listen(reply.value().path());
    });
}

void PortalRequest::listen(const QString& path)
{
    if (!requestPath.isEmpty())
        connection.disconnect(QLatin1String(portalService), requestPath, requestInterface, QStringLiteral("Response"),
                              this, SLOT(response(uint, QVariantMap)));
    requestPath = path;
    connection.connect(QLatin1String(portalService), requestPath, requestInterface, QStringLiteral("Response"), this,
                       SLOT(response(uint, QVariantMap)));
}

void PortalRequest::response(uint code, const QVariantMap& results)
{
    finish(code, results);
}

void PortalRequest::finish(uint code, const QVariantMap& results)
{
    if (!done)
        return;
    connection.disconnect(QLatin1String(portalService), requestPath, requestInterface, QStringLiteral("Response"), this,
                          SLOT(response(uint, QVariantMap)));
    const PortalDone callback = std::exchange(done, nullptr);
    deleteLater();
    callback(code, results);
}

PortalSessionWatch::PortalSessionWatch(const QDBusConnection& bus, const QString& path, std::function<void()> callback)
    : connection(bus), sessionPath(path), closed(std::move(callback))
{
    connection.connect(QLatin1String(portalService), sessionPath, sessionInterface, QStringLiteral("Closed"), this,
                       SLOT(sessionClosed(QVariantMap)));
}

PortalSessionWatch::~PortalSessionWatch()
{
    connection.disconnect(QLatin1String(portalService), sessionPath, sessionInterface, QStringLiteral("Closed"), this,
                          SLOT(sessionClosed(QVariantMap)));
}

void PortalSessionWatch::sessionClosed(const QVariantMap& details)
{
    Q_UNUSED(details);
    if (closed)
        std::exchange(closed, nullptr)();
}

} // namespace vorlex::wayland
