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
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

// KWin 5.27's /Scripting: loadScript puts a script at /N, whose run executes it; unloadScript drops it.
class ScriptedKWin : public QDBusVirtualObject {
public:
    QString pid, resourceClass; // the focused window that scripts see
    bool answers = true;
    QStringList scripts, loaded; // by id; the names of those not unloaded

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
            loaded << arguments[1].toString();
            scripts << test::readFile(arguments[0].toString());
            return connection.send(message.createReply(int(scripts.size() - 1)));
        }
        if (message.member() == u"unloadScript"_s)
            return connection.send(message.createReply(loaded.removeAll(arguments[0].toString()) > 0));
        if (message.member() != u"run"_s)
            return false;
        connection.send(message.createReply());
        // The script calls back with its five string literals, then the window's pid and class.
        static const QRegularExpression call(
            uR"re(callDBus\("([^"]*)", "([^"]*)", "([^"]*)", "([^"]*)", "([^"]*)")re"_s);
        const auto found = call.match(scripts.value(message.path().mid(1).toInt()));
        if (answers && found.hasMatch()) {
            QDBusMessage back = QDBusMessage::createMethodCall(found.captured(1), found.captured(2), found.captured(3),
                                                               found.captured(4));
            connection.send(back << found.captured(5) << pid << resourceClass);
        }
        return true;
    }

private:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"scripted-kwin"_s);
};

struct Highlight final : PrimarySelection {
    void read(QObject* context, std::function<void(std::optional<QString>)> done) override
    {
        QTimer::singleShot(0, context, [done] { done(u"highlighted"_s); });
    }
};

TEST(PrimaryCopyGuard, SendsTheCopyKeyOnlyToAWindowThatTakesIt)
{
    // This process holds a pseudo-terminal, as a terminal's does; a child of it does not.
    QFile terminal(u"/dev/ptmx"_s);
    ASSERT_TRUE(terminal.open(QIODevice::ReadWrite));
    test::ChildProcess plain(u"sleep"_s, {u"60"_s});
    const QString ownPid = QString::number(QCoreApplication::applicationPid()), plainPid = QString::number(plain.pid());
    const QStringList key = {u"copy"_s}, read = {u"setText highlighted"_s};
    constexpr auto ordinary = FocusedApplication::ordinary, noPaste = FocusedApplication::terminal;
    // name, KWin answers, the focused window's pid and class, the copy, the focus (GNOME: the journeys)
    const std::tuple<const char*, bool, QString, QString, QStringList, FocusedApplication> cases[] = {
        {"an editor", true, plainPid, u"org.kde.kate"_s, key, ordinary},
        {"a terminal in an editor", true, ownPid, u"org.kde.kate"_s, read, noPaste},
        {"Emacs", true, plainPid, u"emacs"_s, read, noPaste},
        {"KWin does not answer", false, plainPid, u"kate"_s, read, noPaste},
    };
    for (const auto& [name, answers, pid, resourceClass, copy, focused] : cases) {
        SCOPED_TRACE(name);
        ScriptedKWin kwin;
        std::tie(kwin.answers, kwin.pid, kwin.resourceClass) = std::tie(answers, pid, resourceClass);
        Highlight highlight;
        FakePlatform desktop; // records the keys that go out and the clipboard's writes
        // An answer may be slow on a busy machine, and only the one that never comes is no answer.
        const auto guard = wayland::createPrimaryCopyGuard(
            std::make_unique<ForwardingKeySender>(desktop.keySender()), &highlight, desktop.clipboard(),
            wayland::createKWinActiveWindow(QDBusConnection::sessionBus(), answers ? 3000 : 300));
        QObject context;
        bool sent = false;
        guard->sendCopy();
        guard->whenSent(&context, [&] { sent = true; });
        ASSERT_TRUE(test::waitUntil([&] { return sent; })) << "bounded";
        EXPECT_EQ(desktop.log, copy);
        std::optional<FocusedApplication> focus;
        guard->inspectFocus(&context, [&](FocusedApplication told) { focus = told; });
        EXPECT_TRUE(test::waitUntil([&] { return focus == focused; })) << "what a paste would go into";
        EXPECT_TRUE(test::waitUntil([&] { return kwin.loaded.isEmpty(); })) << "no script is left in KWin";
    }
}

} // namespace
