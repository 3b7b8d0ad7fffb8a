#include "KWinActiveWindow.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QDir>
#include <QPointer>
#include <QTemporaryFile>
#include <QTimer>
#include <QUuid>

#include <map>

namespace vorlex::wayland {

namespace {

const QString scripting = QStringLiteral("org.kde.kwin.Scripting");
const QString callbackPath = QStringLiteral("/org/vorlex/KWinActiveWindow");
const QString callbackInterface = QStringLiteral("org.vorlex.KWinActiveWindow");

// KWin 5.27 calls its window activeClient, KWin 6 activeWindow. Everything goes back as strings, which
// survive KWin's conversion from script values to D-Bus arguments unchanged.
const QString script =
    QStringLiteral(R"(var w = workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient;
callDBus("%1", "%2", "%3", "report", "%4", w ? String(w.pid) : "-1", w ? String(w.resourceClass) : "");
)");

class KWinScriptQuery final : public KWinActiveWindow, public QDBusVirtualObject {
public:
    KWinScriptQuery(const QDBusConnection& connection, int timeout) : bus(connection), timeoutMs(timeout)
    {
        bus.registerVirtualObject(callbackPath, this);
    }
    ~KWinScriptQuery() override
    {
        bus.unregisterObject(callbackPath);
        for (const auto& [token, query] : queries) {
            if (query.loaded)
                unload(token);
        }
    }

    void query(QObject* context, std::function<void(std::optional<KWinWindow>)> told) override
    {
        const QString token = QUuid::createUuid().toString(QUuid::Id128);
        Query& query = queries[token];
        query.context = context;
        query.told = std::move(told);
        QTimer::singleShot(timeoutMs, &inFlight, [this, token] { finish(token, std::nullopt); });
        query.file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/vorlex-kwin-XXXXXX.js"));
        if (!query.file->open() ||
            query.file->write(script.arg(bus.baseService(), callbackPath, callbackInterface, token).toUtf8()) < 0 ||
            !query.file->flush())
            return QTimer::singleShot(0, &inFlight, [this, token] { finish(token, std::nullopt); });
        // KWin's own connection, which the answer must come from: asked of the bus, since a reply names
        // no sender with every Qt (6.8 leaves it empty).
        QDBusMessage owner = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
        call(owner << QLatin1String(kwinService), [this, token](const QDBusMessage& reply) {
            const auto found = queries.find(token);
            if (found == queries.end())
                return;
            if (reply.type() != QDBusMessage::ReplyMessage)
                return finish(token, std::nullopt);
            found->second.kwin = reply.arguments().value(0).toString();
            load(token, found->second.file->fileName());
        });
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QVariantList arguments = message.arguments();
        if (message.member() != QLatin1String("report") || arguments.size() != 3)
            return false;
        connection.send(message.createReply());
        const auto found = queries.find(arguments[0].toString());
        // Only KWin's answer to a query still waiting counts (anyone on the bus may call here).
        if (found == queries.end() || !found->second.loaded || message.service() != found->second.kwin)
            return true;
        bool known = false;
        const qint64 pid = arguments[1].toString().toLongLong(&known);
        finish(found->first, KWinWindow{known && pid > 0 ? pid : -1, arguments[2].toString().toLower()});
        return true;
    }

private:
    struct Query {
        QPointer<QObject> context;
        std::function<void(std::optional<KWinWindow>)> told;
        std::unique_ptr<QTemporaryFile> file;
        bool loaded = false;
        QString kwin; // KWin's own connection, which the answer must come from
    };

    static QString pluginName(const QString& token) { return QStringLiteral("vorlex-") + token; }

    // KWin reads the file when the script runs, so it stays until the query ends.
    void load(const QString& token, const QString& file)
    {
        QDBusMessage load = QDBusMessage::createMethodCall(QLatin1String(kwinService), QStringLiteral("/Scripting"),
                                                           scripting, QStringLiteral("loadScript"));
        load << file << pluginName(token);
        call(load, [this, token](const QDBusMessage& reply) {
            const int id = reply.arguments().value(0).toInt();
            const bool loaded = reply.type() == QDBusMessage::ReplyMessage && id >= 0;
            const auto found = queries.find(token);
            if (found == queries.end()) { // loaded after the query gave up
                if (loaded)
                    unload(token);
                return;
            }
            if (!loaded)
                return finish(token, std::nullopt);
            found->second.loaded = true;
            run(token, id, 0);
        });
    }

    // KWin 5 puts a loaded script at /N, KWin 6 at /Scripting/ScriptN; the one that answered is tried first.
    void run(const QString& token, int id, int attempt)
    {
        const int form = (runPathForm + attempt) % 2;
        const QString path = form == 0 ? QStringLiteral("/%1").arg(id) : QStringLiteral("/Scripting/Script%1").arg(id);
        const QDBusMessage message = QDBusMessage::createMethodCall(
            QLatin1String(kwinService), path, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
        call(message, [this, token, id, attempt, form](const QDBusMessage& reply) {
            if (!queries.contains(token))
                return;
            if (reply.type() == QDBusMessage::ReplyMessage)
                runPathForm = form;
            else if (attempt == 0)
                run(token, id, 1);
            else
                finish(token, std::nullopt);
        });
    }

    // Answered within timeoutMs, with an error at worst.
    void call(const QDBusMessage& message, std::function<void(const QDBusMessage&)> answered)
    {
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, timeoutMs), &inFlight);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &inFlight,
                         [watcher, answered = std::move(answered)] {
                             watcher->deleteLater();
                             answered(watcher->reply());
                         });
    }

    void finish(const QString& token, std::optional<KWinWindow> window)
    {
        const auto found = queries.find(token);
        if (found == queries.end())
            return;
        Query query = std::move(found->second);
        queries.erase(found);
        if (query.loaded)
            unload(token);
        if (query.context)
            query.told(std::move(window));
    }

    void unload(const QString& token)
    {
        QDBusMessage unload = QDBusMessage::createMethodCall(QLatin1String(kwinService), QStringLiteral("/Scripting"),
                                                             scripting, QStringLiteral("unloadScript"));
        bus.asyncCall(unload << pluginName(token));
    }

    QDBusConnection bus;
    int timeoutMs;
    int runPathForm = 0;
    std::map<QString, Query> queries; // by token
    QObject inFlight; // the calls and timers; last, so it goes first: no answer comes in while the rest goes
};

} // namespace

std::unique_ptr<KWinActiveWindow> createKWinActiveWindow(const QDBusConnection& bus, int timeoutMs)
{
    return std::make_unique<KWinScriptQuery>(bus, timeoutMs);
}

} // namespace vorlex::wayland
