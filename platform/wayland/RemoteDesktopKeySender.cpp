#include "RemoteDesktopKeySender.h"

#include "PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <sys/stat.h>

#include <cstdio>
#include <deque>
#include <optional>

namespace vorlex::wayland {

namespace {

const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint keyboardDevice = 1;
constexpr uint persistUntilRevoked = 2;
constexpr int evdevLeftCtrl = 29;
constexpr int evdevC = 46;
constexpr int evdevV = 47;
// A keystroke asked for while the session was opening is still sent if it opens this soon (a
// restored session, no dialog); after a dialog it would land long after the capture gave up.
constexpr int pendingKeyMs = 1000;
// mutter loses keyboard events that come back to back: measured on mutter 43, none of Ctrl+C's four
// events reached the focused client without a gap, all of them with 5 ms between them.
constexpr int keyEventGapMs = 10;

class RemoteDesktopKeySender final : public KeySender {
public:
    RemoteDesktopKeySender(const QDBusConnection& connection, const QString& path) : bus(connection), tokenPath(path) {}

    void sendCopy() override { send(evdevC); }
    void sendPaste() override { send(evdevV); }

private:
    enum class State { closed, opening, open, refused };

    void send(int key)
    {
        if (state == State::open) {
            const bool idle = events.empty();
            events.insert(events.end(), {{evdevLeftCtrl, 1u}, {key, 1u}, {key, 0u}, {evdevLeftCtrl, 0u}});
            if (idle)
                sendNextEvent();
        } else if (state != State::refused) {
            pending = key;
            pendingSince = QDeadlineTimer(pendingKeyMs);
            if (state == State::closed)
                open(readToken());
        }
    }

    // One event now, the next one keyEventGapMs later, until none is left.
    void sendNextEvent()
    {
        if (events.empty())
            return;
        const auto [keycode, pressed] = events.front();
        notifyKey(keycode, pressed);
        QTimer::singleShot(keyEventGapMs, &timerContext, [this] {
            events.pop_front();
            sendNextEvent();
        });
    }

    void notifyKey(int keycode, uint pressed)
    {
        if (session.isEmpty()) // ended by the desktop meanwhile
            return;
        QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(portalService), QLatin1String(portalPath),
                                                              remoteDesktop, QStringLiteral("NotifyKeyboardKeycode"));
        message << QVariant::fromValue(QDBusObjectPath(session)) << QVariantMap() << keycode << pressed;
        bus.asyncCall(message);
    }

    void open(const QString& restoreToken)
    {
        state = State::opening;
        PortalRequest::call(bus, remoteDesktop, QStringLiteral("CreateSession"),
                            {QVariantMap{{QStringLiteral("session_handle_token"), QStringLiteral("vorlex")}}},
                            [this, restoreToken](uint response, const QVariantMap& results) {
                                if (response != 0)
                                    return refuse(response, results);
                                session = results.value(QStringLiteral("session_handle")).toString();
                                // Ended by the desktop: the next keystroke opens a new one, with the token.
                                closedWatch = std::make_unique<PortalSessionWatch>(bus, session, [this] {
                                    session.clear();
                                    if (state == State::open)
                                        state = State::closed;
                                });
                                selectDevices(restoreToken);
                            });
    }

    void selectDevices(const QString& restoreToken)
    {
        QVariantMap options{{QStringLiteral("types"), keyboardDevice},
                            {QStringLiteral("persist_mode"), persistUntilRevoked}};
        if (!restoreToken.isEmpty())
            options.insert(QStringLiteral("restore_token"), restoreToken);
        PortalRequest::call(bus, remoteDesktop, QStringLiteral("SelectDevices"),
                            {QVariant::fromValue(QDBusObjectPath(session)), options},
                            [this, restoreToken](uint response, const QVariantMap& results) {
                                if (response != 0)
                                    return retryOrRefuse(restoreToken, response, results);
                                start(restoreToken);
                            });
    }

    void start(const QString& restoreToken)
    {
        PortalRequest::call(bus, remoteDesktop, QStringLiteral("Start"),
                            {QVariant::fromValue(QDBusObjectPath(session)), QString(), QVariantMap()},
                            [this, restoreToken](uint response, const QVariantMap& results) {
                                if (response != 0)
                                    return retryOrRefuse(restoreToken, response, results);
                                // Each token is good for one restore: keep the new one.
                                writeToken(results.value(QStringLiteral("restore_token")).toString());
                                state = State::open;
                                if (pending && !pendingSince.hasExpired())
                                    send(*pending);
                                pending.reset();
                            });
    }

    // A stored token the portal refuses may just be stale: ask once more, without it.
    void retryOrRefuse(const QString& restoreToken, uint response, const QVariantMap& results)
    {
        closeSession();
        if (restoreToken.isEmpty())
            return refuse(response, results);
        writeToken({});
        open({});
    }

    void refuse(uint response, const QVariantMap& results)
    {
        state = State::refused;
        pending.reset();
        std::fprintf(stderr, "vorlex: keys: the RemoteDesktop portal %s; Ctrl+C/Ctrl+V are not sent this session\n",
                     qPrintable(portalRefusal(response, results)));
    }

    void closeSession()
    {
        closedWatch.reset();
        closePortalSession(bus, std::exchange(session, QString()));
    }

    QString readToken() const
    {
        QFile file(tokenPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().trimmed()) : QString();
    }

    void writeToken(const QString& token) const
    {
        if (token.isEmpty()) {
            QFile::remove(tokenPath);
            return;
        }
        QDir().mkpath(QFileInfo(tokenPath).path());
        QSaveFile file(tokenPath);
        if (!file.open(QIODevice::WriteOnly))
            return;
        const QByteArray bytes = token.toUtf8();
        if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0 || file.write(bytes) != bytes.size())
            file.cancelWriting();
        else
            file.commit();
    }

    QDBusConnection bus;
    QString tokenPath;
    State state = State::closed;
    QString session;
    std::unique_ptr<PortalSessionWatch> closedWatch;
    std::optional<int> pending;
    std::deque<std::pair<int, uint>> events; // the front one has been sent
    QObject timerContext;                    // the gaps' timers go with the sender
    QDeadlineTimer pendingSince;
};

} // namespace

std::unique_ptr<KeySender> createRemoteDesktopKeySender(const QDBusConnection& bus, const QString& tokenPath)
{
    return std::make_unique<RemoteDesktopKeySender>(bus, tokenPath);
}

} // namespace vorlex::wayland
