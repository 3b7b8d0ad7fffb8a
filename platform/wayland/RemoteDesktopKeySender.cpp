#include "RemoteDesktopKeySender.h"

#include "PrivateFile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTimer>

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
    RemoteDesktopKeySender(const QDBusConnection& connection, const QString& path, int timeout)
        : bus(connection), tokenPath(path), timeoutMs(timeout)
    {
    }

    void sendCopy() override { send(evdevC); }
    void sendPaste() override { send(evdevV); }
    void whenSent(QObject* context, std::function<void()> sent) override
    {
        if (events.empty() && !pending)
            return sent();
        waiting.add(context, std::move(sent));
    }

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
        if (session) // without its handle (ended by the desktop meanwhile) it sends nothing
            session->notify(QStringLiteral("NotifyKeyboardKeycode"), {QVariantMap(), keycode, pressed});
        if (events.size() == 1)
            waiting.release();
        QTimer::singleShot(keyEventGapMs, &timerContext, [this] {
            events.pop_front();
            sendNextEvent();
        });
    }

    void open(const QString& restoreToken)
    {
        state = State::opening;
        session = std::make_unique<PortalSession>(bus, remoteDesktop, timeoutMs);
        // Ended by the desktop: the next keystroke opens a new one, with the token.
        session->endedByDesktop = [this] {
            if (state == State::open)
                state = State::closed;
        };
        session->create(QStringLiteral("vorlex"), [this, restoreToken](uint response, const QVariantMap& results) {
            if (response != 0)
                return failed(restoreToken, response, results);
            selectDevices(restoreToken);
        });
    }

    void selectDevices(const QString& restoreToken)
    {
        QVariantMap options{{QStringLiteral("types"), keyboardDevice},
                            {QStringLiteral("persist_mode"), persistUntilRevoked}};
        if (!restoreToken.isEmpty())
            options.insert(QStringLiteral("restore_token"), restoreToken);
        session->request(QStringLiteral("SelectDevices"), {options},
                         [this, restoreToken](uint response, const QVariantMap& results) {
                             if (response != 0)
                                 return failed(restoreToken, response, results);
                             start(restoreToken);
                         });
    }

    void start(const QString& restoreToken)
    {
        session->request(QStringLiteral("Start"), {QString(), QVariantMap()},
                         [this, restoreToken](uint response, const QVariantMap& results) {
                             if (response != 0)
                                 return failed(restoreToken, response, results);
                             state = State::open;
                             if (pending && !pendingSince.hasExpired())
                                 send(*pending);
                             pending.reset();
                             if (events.empty())
                                 waiting.release();
                             // Each token is good for one restore: keep the new one, once the key is out.
                             writeToken(results.value(QStringLiteral("restore_token")).toString());
                         });
    }

    // Runs inside a request of the session, which goes here: nothing of it is touched after.
    void failed(const QString& restoreToken, uint response, const QVariantMap& results)
    {
        session.reset();
        if (!PortalConsent::timedOut(results) && !restoreToken.isEmpty()) { // a stored token may just be stale
            writeToken({});
            return open({});
        }
        pending.reset();
        state = consent.refuse(response, results) ? State::closed : State::refused;
        waiting.release();
    }

    QString readToken() const
    {
        QFile file(tokenPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().trimmed()) : QString();
    }

    // A token that cannot be kept only means the user is asked again next time.
    void writeToken(const QString& token) const
    {
        if (token.isEmpty())
            QFile::remove(tokenPath);
        else
            writePrivateFile(tokenPath, token.toUtf8());
    }

    QDBusConnection bus;
    QString tokenPath;
    int timeoutMs;
    State state = State::closed;
    PortalConsent consent{"keys", "RemoteDesktop", "the next copy or paste asks again",
                          "Ctrl+C/Ctrl+V are not sent this session"};
    std::unique_ptr<PortalSession> session;
    std::optional<int> pending;
    std::deque<std::pair<int, uint>> events; // the front one has been sent
    Waiters waiting;                         // for whenSent
    QObject timerContext;                    // the gaps' timers go with the sender
    QDeadlineTimer pendingSince;
};

} // namespace

std::unique_ptr<KeySender> createRemoteDesktopKeySender(const QDBusConnection& bus, const QString& tokenPath,
                                                        int timeoutMs)
{
    return std::make_unique<RemoteDesktopKeySender>(bus, tokenPath, timeoutMs);
}

} // namespace vorlex::wayland
