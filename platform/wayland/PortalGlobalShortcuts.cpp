#include "PortalGlobalShortcuts.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>

#include <algorithm>
#include <cstdio>

namespace vorlex::wayland {

namespace {

const QString globalShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// xkb's names of the punctuation keys; a letter or a digit is its own name.
constexpr std::pair<char16_t, const char*> keysymNames[] = {
    {u'=', "equal"},     {u'-', "minus"},      {u']', "bracketright"}, {u'[', "bracketleft"}, {u'\'', "apostrophe"},
    {u';', "semicolon"}, {u'\\', "backslash"}, {u',', "comma"},        {u'/', "slash"},       {u'.', "period"},
};

// xkb's modifier names, in the order of Qt's shortcut names.
constexpr std::pair<KeyModifier, const char*> triggerModifiers[] = {
    {ControlModifier, "CTRL"}, {AltModifier, "ALT"}, {ShiftModifier, "SHIFT"}, {SuperModifier, "LOGO"}};

class PortalGlobalShortcuts final : public QObject, public Hotkeys {
    Q_OBJECT
public:
    PortalGlobalShortcuts(const QDBusConnection& connection, int timeout) : bus(connection), timeoutMs(timeout)
    {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        qRegisterMetaType<QDBusObjectPath>(); // the slot's types are looked up by name as it connects
        bus.connect(QLatin1String(portalService), QLatin1String(portalPath), globalShortcuts,
                    QStringLiteral("Activated"), this,
                    SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        bus.connect(QLatin1String(portalService), QLatin1String(portalPath), globalShortcuts,
                    QStringLiteral("ShortcutsChanged"), this,
                    SLOT(shortcutsChanged(QDBusObjectPath, QList<vorlex::wayland::PortalShortcut>)));
    }

    void bind(const QList<Hotkey>& hotkeys, Handler handler) override
    {
        triggered = std::move(handler);
        // The same hotkeys, still bound or being bound: asking again would only show the dialog again.
        if (session && hotkeys == current)
            return;
        current = hotkeys;
        reopenedUnused = false;
        open();
    }

private slots:
    void activated(const QDBusObjectPath& sessionHandle, const QString& id, qulonglong, const QVariantMap&)
    {
        if (!isCurrent(sessionHandle))
            return;
        reopenedUnused = false;
        if (triggered)
            triggered(id);
    }

    // The user may change a trigger in the desktop's settings, which stands; a hotkey the desktop
    // dropped altogether is bound again.
    void shortcutsChanged(const QDBusObjectPath& sessionHandle, const QList<vorlex::wayland::PortalShortcut>& list)
    {
        if (!isCurrent(sessionHandle))
            return;
        for (const Hotkey& hotkey : std::as_const(current)) {
            if (std::none_of(list.begin(), list.end(),
                             [&](const PortalShortcut& kept) { return kept.id == hotkey.action; })) {
                session.reset();
                return lost("dropped the hotkeys");
            }
        }
    }

private:
    bool isCurrent(const QDBusObjectPath& sessionHandle) const
    {
        return session && !session->handle().isEmpty() && sessionHandle.path() == session->handle();
    }

    void open()
    {
        session.reset();
        if (consent.refused() || current.isEmpty())
            return;
        QList<PortalShortcut> list;
        for (const Hotkey& hotkey : std::as_const(current)) {
            if (isHotkeyKey(hotkey.key))
                list.append({hotkey.action,
                             {{QStringLiteral("description"), hotkey.description},
                              {QStringLiteral("preferred_trigger"), preferredTrigger(hotkey)}}});
        }
        session = std::make_unique<PortalSession>(bus, globalShortcuts, timeoutMs);
        session->endedByDesktop = [this] {
            session.release()->deleteLater(); // inside the session's own signal
            lost("ended the GlobalShortcuts session");
        };
        session->create(QStringLiteral("vorlex_shortcuts%1").arg(++binds),
                        [this, list](uint response, const QVariantMap& results) {
                            if (response != 0)
                                return failed(response, results);
                            bindShortcuts(list);
                        });
    }

    // The desktop took the hotkeys away (the user revoked them in its settings), and their session is
    // gone: they are bound again in a new one, but once only until one of them fires, so a desktop
    // that keeps ending them is not asked in a loop. Then the next save of the settings binds them again.
    void lost(const char* what)
    {
        const bool again = std::exchange(reopenedUnused, true);
        std::fprintf(stderr, "vorlex: hotkeys: the desktop %s%s\n", what,
                     again ? " again; saving the settings binds them again" : "; binding them again");
        if (!again)
            open();
    }

    void bindShortcuts(const QList<PortalShortcut>& list)
    {
        session->request(QStringLiteral("BindShortcuts"), {QVariant::fromValue(list), QString(), QVariantMap()},
                         [this](uint response, const QVariantMap& results) {
                             if (response != 0)
                                 failed(response, results);
                         });
    }

    // Runs inside a request of the session, which goes here: nothing of it is touched after.
    void failed(uint response, const QVariantMap& results)
    {
        session.reset();
        consent.refuse(response, results);
    }

    QDBusConnection bus;
    int timeoutMs;
    Handler triggered;
    QList<Hotkey> current;       // the hotkeys asked for last
    bool reopenedUnused = false; // a session was bound again and none of its hotkeys has fired yet
    int binds = 0;
    PortalConsent consent{"hotkeys", "GlobalShortcuts", "the next change of hotkeys asks again",
                          "bind 'vorlex --hotkey NAME' in the desktop's keyboard settings"};
    std::unique_ptr<PortalSession> session;
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

QString preferredTrigger(const Hotkey& hotkey)
{
    QStringList trigger;
    for (const auto& [modifier, name] : triggerModifiers) {
        if (hotkey.modifiers & modifier)
            trigger << QLatin1String(name);
    }
    QString key = hotkey.key;
    for (const auto& [name, keysym] : keysymNames) {
        if (key == QChar(name))
            key = QLatin1String(keysym);
    }
    return (trigger << key).join(u'+');
}

std::unique_ptr<Hotkeys> createPortalGlobalShortcuts(const QDBusConnection& bus, int timeoutMs)
{
    return std::make_unique<PortalGlobalShortcuts>(bus, timeoutMs);
}

} // namespace vorlex::wayland

#include "PortalGlobalShortcuts.moc"
