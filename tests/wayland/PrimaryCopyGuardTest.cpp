// The copy on the portal desktops: a key only where KWin names a window that takes it, else the
// highlighted text. KWin is a scripted stand-in on the test's private session bus that runs the
// script it is handed by answering its callDBus with the window it is told has the focus.

#include "PrimaryCopyGuard.h"
#include "FakePlatform.h"
#include "KWinActiveWindow.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QRegularExpression>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

// KWin 5.27's /Scripting: loadScript puts a script at /N, whose run executes it; unloadScript drops it.
class ScriptedKWin : public QDBusVirtualObject {
public:
    QString pid, resourceClass; // the focused window that scripts see
    bool answers = true;
    using Script = std::pair<QString, QString>; // plugin name, text
    QMap<int, Script> loaded;                   // by id

    ScriptedKWin()
    {
        bus.registerVirtualObject(u"/"_s, this, QDBusConnection::SubPath);
        bus.registerService(QLatin1String(wayland::kwinService));
    }
    ~ScriptedKWin() override { QDBusConnection::disconnectFromBus(bus.name()); }
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QVariantList arguments = message.arguments();
        if (message.member() == u"loadScript"_s) {
            loaded.insert(++lastId,
                          {arguments[1].toString(), QString::fromUtf8(test::readFile(arguments[0].toString()))});
            return connection.send(message.createReply(lastId));
        }
        if (message.member() == u"unloadScript"_s) {
            const auto name = [&](std::pair<const int&, Script&> script) {
                return script.second.first == arguments[0];
            };
            return connection.send(message.createReply(loaded.removeIf(name) > 0));
        }
        if (message.member() != u"run"_s)
            return false;
        connection.send(message.createReply());
        // The script calls back with its five string literals, then the window's pid and class.
        static const QRegularExpression call(
            uR"re(callDBus\("([^"]*)", "([^"]*)", "([^"]*)", "([^"]*)", "([^"]*)")re"_s);
        const auto found = call.match(loaded.value(message.path().mid(1).toInt()).second);
        if (answers && found.hasMatch()) {
            QDBusMessage back = QDBusMessage::createMethodCall(found.captured(1), found.captured(2), found.captured(3),
                                                               found.captured(4));
            connection.send(back << found.captured(5) << pid << resourceClass);
        }
        return true;
    }

private:
    int lastId = 0;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"scripted-kwin"_s);
};

class Highlight final : public PrimarySelection {
public:
    void read(QObject* context, std::function<void(std::optional<QString>)> done) override
    {
        QTimer::singleShot(0, context, [done] { done(u"highlighted"_s); });
    }
};

TEST(PrimaryCopyGuard, SendsTheCopyKeyOnlyToAWindowThatTakesIt)
{
    // This process holds a pseudo-terminal, as a terminal's does; a child of it does not.
    const int terminal = ::open("/dev/ptmx", O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    test::ChildProcess plain(u"sleep"_s, {u"60"_s});
    const QString ownPid = QString::number(QCoreApplication::applicationPid()), plainPid = QString::number(plain.pid());
    const QStringList key = {u"copy"_s}, read = {u"setText highlighted"_s};
    struct Case {
        const char* name;
        bool kwin; // GNOME has none
        bool answers;
        QString pid, resourceClass;
        QStringList copy;
        FocusedApplication focus;
    };
    const auto ordinary = FocusedApplication::ordinary, noPaste = FocusedApplication::terminal;
    const Case cases[] = {
        {"an editor", true, true, plainPid, u"org.kde.kate"_s, key, ordinary},
        {"a terminal in an editor", true, true, ownPid, u"org.kde.kate"_s, read, noPaste},
        {"Emacs", true, true, plainPid, u"emacs"_s, read, noPaste},
        {"no window", true, true, u"-1"_s, {}, read, noPaste},
        {"KWin does not answer", true, false, plainPid, u"kate"_s, read, noPaste},
        {"GNOME: no window is named", false, false, {}, {}, read, ordinary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedKWin kwin;
        std::tie(kwin.answers, kwin.pid, kwin.resourceClass) = std::tie(c.answers, c.pid, c.resourceClass);
        Highlight highlight;
        FakePlatform desktop; // records the keys that go out and the clipboard's writes
        const auto guard = wayland::createPrimaryCopyGuard(
            std::make_unique<ForwardingKeySender>(desktop.keySender()), &highlight, desktop.clipboard(),
            c.kwin ? wayland::createKWinActiveWindow(QDBusConnection::sessionBus()) : nullptr);
        QObject context;
        bool sent = false;
        guard->sendCopy();
        guard->whenSent(&context, [&] { sent = true; });
        ASSERT_TRUE(test::waitUntil([&] { return sent; })) << "bounded";
        EXPECT_EQ(desktop.log, c.copy);
        std::optional<FocusedApplication> focus;
        guard->inspectFocus(&context, [&](FocusedApplication told) { focus = told; });
        ASSERT_TRUE(test::waitUntil([&] { return focus.has_value(); }));
        EXPECT_EQ(*focus, c.focus);
        EXPECT_TRUE(test::waitUntil([&] { return kwin.loaded.isEmpty(); })) << "no script is left in KWin";
    }
    ::close(terminal);
}

} // namespace
