#include "PortalGlobalShortcuts.h"

#include "PortalRequest.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>

#include <cstdio>

namespace vorlex::wayland {

namespace {

const QString globalShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

class PortalGlobalShortcuts final : public QObject, public GlobalShortcuts {
    Q_OBJECT
public:
    explicit PortalGlobalShortcuts(const QDBusConnection& connection) : bus(connection)
    {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
    }

    void bind(const QList<Shortcut>& shortcuts, Handler callback) override
    {
        handler = std::move(callback);
        closeSession();
        const int generation = ++binds;
        if (refused || shortcuts.isEmpty())
            return;
        QList<PortalShortcut> list;
        for (const Shortcut& shortcut : shortcuts)
            list.append({shortcut.id,
                         {{QStringLiteral("description"), shortcut.description},
                          {QStringLiteral("preferred_trigger"), shortcut.preferredTrigger}}});
        const QVariantMap options{
            {QStringLiteral("session_handle_token"), QStringLiteral("vorlex_shortcuts%1").arg(generation)}};
        PortalRequest::call(
            bus, globalShortcuts, QStringLiteral("CreateSession"), {options},
            [this, generation, list](uint response, const QVariantMap& results) {
                if (response != 0)
                    return refuse(response, results);
                const QString opened = results.value(QStringLiteral("session_handle")).toString();
                if (generation != binds) // bound again meanwhile
                    return closePortalSession(bus, opened);
                session = opened;
                if (!listening)
                    listening = bus.connect(QLatin1String(portalService), QLatin1String(portalPath), globalShortcuts,
                                            QStringLiteral("Activated"), this,
                                            SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
                closedWatch = std::make_unique<PortalSessionWatch>(bus, session, [this] {
                    session.clear();
                    std::fputs("vorlex: hotkeys: the desktop ended the GlobalShortcuts session\n", stderr);
                });
                bindShortcuts(list);
            });
    }

private slots:
    void activated(const QDBusObjectPath& sessionHandle, const QString& id, qulonglong, const QVariantMap&)
    {
        if (!session.isEmpty() && sessionHandle.path() == session && handler)
            handler(id);
    }

private:
    void bindShortcuts(const QList<PortalShortcut>& list)
    {
        const QString bound = session;
        PortalRequest::call(
            bus, globalShortcuts, QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(list), QString(), QVariantMap()},
            [this, bound](uint response, const QVariantMap& results) {
                if (response != 0 && bound == session) {
                    closeSession();
                    refuse(response, results);
                }
            });
    }

    void refuse(uint response, const QVariantMap& results)
    {
        refused = true;
        // No portal, or one without shortcuts (sway's): the start line has said so already.
        const QString error = results.value(QStringLiteral("errorName")).toString();
        if (error.startsWith(QLatin1String("org.freedesktop.DBus.Error.Unknown")) ||
            error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
            return;
        std::fprintf(stderr,
                     "vorlex: hotkeys: the GlobalShortcuts portal %s; bind 'vorlex --hotkey NAME' in the desktop's "
                     "keyboard settings\n",
                     qPrintable(portalRefusal(response, results)));
    }

    void closeSession()
    {
        closedWatch.reset();
        closePortalSession(bus, std::exchange(session, QString()));
    }

    QDBusConnection bus;
    Handler handler;
    int binds = 0;
    bool refused = false;
    bool listening = false;
    QString session;
    std::unique_ptr<PortalSessionWatch> closedWatch;
};

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

std::unique_ptr<GlobalShortcuts> createPortalGlobalShortcuts(const QDBusConnection& bus)
{
    return std::make_unique<PortalGlobalShortcuts>(bus);
}

} // namespace vorlex::wayland

#include "PortalGlobalShortcuts.moc"
