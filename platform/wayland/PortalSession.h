#pragma once

// The desktop portals' Request/Response pattern: a method returns a Request object at once, and the
// answer comes later as that object's Response signal, which must be subscribed to before calling.

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace vorlex::wayland {

inline constexpr char portalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char portalPath[] = "/org/freedesktop/portal/desktop";

// The portal's answer: 0 success, 1 cancelled by the user, 2 any other end. A failed call gives 2 with
// "error" (its message) and "errorName" (the D-Bus error) in the results.
using PortalDone = std::function<void(uint response, const QVariantMap& results)>;

// Ends a session the program opened; an empty path is none.
void closePortalSession(const QDBusConnection& bus, const QString& path);
// How a refusal reads in its one log line: "was declined" or "failed (<the error>)".
QString portalRefusal(uint response, const QVariantMap& results);

class PortalRequest : public QObject {
    Q_OBJECT
public:
    // Calls interface.method with arguments, the last of which is the options map (a handle_token
    // is added to it). done runs once on the UI thread, then the request deletes itself.
    static void call(const QDBusConnection& bus, const QString& interface, const QString& method,
                     QVariantList arguments, PortalDone done);

private slots:
    void response(uint code, const QVariantMap& results);

private:
    PortalRequest(const QDBusConnection& bus, PortalDone done);
    void listen(const QString& path);
    void finish(uint code, const QVariantMap& results);

    QDBusConnection connection;
    QString requestPath;
    PortalDone done;
};

// Runs closed when the portal ends the session at path on its own (the user revoked it, the
// desktop went away); not when the program closes it.
class PortalSessionWatch : public QObject {
    Q_OBJECT
public:
    PortalSessionWatch(const QDBusConnection& bus, const QString& path, std::function<void()> closed);
    ~PortalSessionWatch() override;

private slots:
    void sessionClosed(const QVariantMap& details);

private:
    QDBusConnection connection;
    QString sessionPath;
    std::function<void()> closed;
};

} // namespace vorlex::wayland
