#pragma once

// The desktop portals' Request/Response pattern and their sessions. A method returns a Request object
// at once, and the answer comes later as that object's Response signal, which must be subscribed to
// before calling. Every request belongs to a context object and ends with it.

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace vorlex::wayland {

inline constexpr char portalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char portalPath[] = "/org/freedesktop/portal/desktop";
// How long the user may take with a portal's dialog before the program stops waiting.
inline constexpr int portalAnswerMs = 90'000;

// The portal's answer: 0 success, 1 cancelled by the user, 2 any other end. A failed call gives 2 with
// "error" (its message) in the results; an unanswered one gives 2 with "timedOut" true as well.
using PortalDone = std::function<void(uint response, const QVariantMap& results)>;

class PortalRequest : public QObject {
    Q_OBJECT
public:
    // Calls interface.method with arguments, the last of which is the options map (a handle_token is
    // added to it). done runs once, on the UI thread, unless context goes first; the request is
    // context's child and deletes itself when done. Unanswered after timeoutMs, the request is closed
    // (the desktop takes its dialog down) and done gets a timeout.
    static void call(QObject* context, const QDBusConnection& bus, const QString& interface, const QString& method,
                     QVariantList arguments, int timeoutMs, PortalDone done);

private slots:
    void response(uint code, const QVariantMap& results);

private:
    PortalRequest(QObject* context, const QDBusConnection& bus, PortalDone done);
    void listen(const QString& path);
    void finish(uint code, const QVariantMap& results);

    QDBusConnection connection;
    QString requestPath;
    PortalDone done;
};

// One session of a portal interface (RemoteDesktop, GlobalShortcuts). It owns the session handle and
// closes the session when it goes; its requests are its children, so none answers after it is gone.
class PortalSession : public QObject {
    Q_OBJECT
public:
    PortalSession(const QDBusConnection& bus, const QString& interface, int timeoutMs);
    ~PortalSession() override;

    // CreateSession; done as for a request, with handle() set when it succeeded.
    void create(const QString& token, PortalDone done);
    // interface.method(handle, arguments...), as a request.
    void request(const QString& method, const QVariantList& arguments, PortalDone done);
    // interface.method(handle, arguments...), a plain call without an answer to wait for.
    void notify(const QString& method, const QVariantList& arguments);
    // Empty before the session opened and after the desktop ended it.
    const QString& handle() const { return sessionHandle; }

    // Runs when the desktop ends the session on its own (the user revoked it, the desktop went
    // away); not when the program closes it.
    std::function<void()> endedByDesktop;

private slots:
    void closed(const QVariantMap& details);

private:
    QDBusConnection bus;
    QString interface;
    int timeoutMs;
    QString sessionHandle;
};

// What the program keeps of a portal's refusals for the rest of the run: a decline or a failure stops
// it asking, and so does a second unanswered request (the first may have met a user away from the
// desk). Each refusal is one line on stderr.
class PortalConsent {
public:
    // The line reads "vorlex: <subject>: the <portal> portal <what happened>; <askAgain or giveUp>".
    PortalConsent(const char* subjectName, const char* portalName, const char* askAgainNote, const char* giveUpNote)
        : subject(subjectName), portal(portalName), askAgain(askAgainNote), giveUp(giveUpNote)
    {
    }
    bool refused() const { return refusedForGood; }
    // Keeps and reports the refusal of a request; true where the portal may still be asked.
    bool refuse(uint response, const QVariantMap& results);

    static bool timedOut(const QVariantMap& results) { return results.value(QStringLiteral("timedOut")).toBool(); }

private:
    const char* subject;
    const char* portal;
    const char* askAgain;
    const char* giveUp;
    bool timedOutBefore = false;
    bool refusedForGood = false;
};

} // namespace vorlex::wayland
