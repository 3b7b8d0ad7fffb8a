#include "PortalSession.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

#include <cstdio>

namespace vorlex::wayland {

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

QDBusMessage portalCall(const QString& path, const QString& interface, const QString& method)
{
    return QDBusMessage::createMethodCall(QLatin1String(portalService), path, interface, method);
}

} // namespace

PortalRequest::PortalRequest(QObject* context, const QDBusConnection& bus, PortalDone callback)
    : QObject(context), connection(bus), done(std::move(callback))
{
}

void PortalRequest::call(QObject* context, const QDBusConnection& bus, const QString& interface, const QString& method,
                         QVariantList arguments, int timeoutMs, PortalDone done)
{
    static uint serial = 0;
    const QString token = QStringLiteral("vorlex%1").arg(++serial);
    auto* request = new PortalRequest(context, bus, std::move(done));
    // The path the portal will use, known before the call, so no Response can be missed.
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    request->listen(QStringLiteral("%1/request/%2/%3").arg(QLatin1String(portalPath), sender, token));

    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    QDBusMessage message = portalCall(QLatin1String(portalPath), interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(request->connection.asyncCall(message), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request, [request](QDBusPendingCallWatcher* answer) {
        const QDBusPendingReply<QDBusObjectPath> reply = *answer;
        if (reply.isError())
            request->finish(2, {{QStringLiteral("error"), reply.error().message()}});
        else if (reply.value().path() != request->requestPath) // a portal older than handle tokens
            request->listen(reply.value().path());
    });
    QTimer::singleShot(timeoutMs, request, [request, timeoutMs] {
        request->connection.asyncCall(portalCall(request->requestPath, requestInterface, QStringLiteral("Close")));
        request->finish(
            2, {{QStringLiteral("error"), QStringLiteral("did not answer within %1 s").arg(timeoutMs / 1000.0)},
                {QStringLiteral("timedOut"), true}});
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
    callback(code, results); // may delete the context, and this request with it
}

PortalSession::PortalSession(const QDBusConnection& connection, const QString& name, int timeout)
    : bus(connection), interface(name), timeoutMs(timeout)
{
}

PortalSession::~PortalSession()
{
    if (sessionHandle.isEmpty())
        return;
    bus.disconnect(QLatin1String(portalService), sessionHandle, sessionInterface, QStringLiteral("Closed"), this,
                   SLOT(closed(QVariantMap)));
    bus.asyncCall(portalCall(sessionHandle, sessionInterface, QStringLiteral("Close")));
}

void PortalSession::create(const QString& token, PortalDone done)
{
    PortalRequest::call(this, bus, interface, QStringLiteral("CreateSession"),
                        {QVariantMap{{QStringLiteral("session_handle_token"), token}}}, timeoutMs,
                        [this, done = std::move(done)](uint response, const QVariantMap& results) {
                            if (response == 0) {
                                sessionHandle = results.value(QStringLiteral("session_handle")).toString();
                                bus.connect(QLatin1String(portalService), sessionHandle, sessionInterface,
                                            QStringLiteral("Closed"), this, SLOT(closed(QVariantMap)));
                            }
                            done(response, results);
                        });
}

void PortalSession::request(const QString& method, const QVariantList& arguments, PortalDone done)
{
    PortalRequest::call(this, bus, interface, method,
                        QVariantList{QVariant::fromValue(QDBusObjectPath(sessionHandle))} + arguments, timeoutMs,
                        std::move(done));
}

void PortalSession::notify(const QString& method, const QVariantList& arguments)
{
    if (sessionHandle.isEmpty())
        return;
    QDBusMessage message = portalCall(QLatin1String(portalPath), interface, method);
    message.setArguments(QVariantList{QVariant::fromValue(QDBusObjectPath(sessionHandle))} + arguments);
    bus.asyncCall(message);
}

void PortalSession::closed(const QVariantMap&)
{
    bus.disconnect(QLatin1String(portalService), sessionHandle, sessionInterface, QStringLiteral("Closed"), this,
                   SLOT(closed(QVariantMap)));
    sessionHandle.clear();
    if (endedByDesktop)
        endedByDesktop(); // may delete this session
}

bool PortalConsent::refuse(uint response, const QVariantMap& results)
{
    const QString error = results.value(QStringLiteral("error")).toString();
    const QString what = response == 1       ? QStringLiteral("was declined")
                         : timedOut(results) ? error
                                             : QStringLiteral("failed (%1)").arg(error);
    refusedForGood = !timedOut(results) || std::exchange(timedOutBefore, true);
    std::fprintf(stderr, "vorlex: %s: the %s portal %s; %s\n", subject, portal, qPrintable(what),
                 refusedForGood ? giveUp : askAgain);
    return !refusedForGood;
}

} // namespace vorlex::wayland
