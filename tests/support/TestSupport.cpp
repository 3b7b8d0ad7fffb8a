#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vorlex::test {

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return predicate();
        // Wakes for events or after 10 ms at most, whichever comes first.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

namespace {

// Wall time less the time on a CPU or waiting for one (the kernel's schedstat of this thread).
qint64 sleptNs(const QElapsedTimer& clock)
{
    QFile file(u"/proc/thread-self/schedstat"_s);
    const QList<QByteArray> fields = file.open(QIODevice::ReadOnly) ? file.readAll().split(' ') : QList<QByteArray>();
    return clock.nsecsElapsed() - fields.value(0).toLongLong() - fields.value(1).toLongLong();
}

} // namespace

FreezeWatch::FreezeWatch()
{
    clock.start();
    lastSleepNs = sleptNs(clock);
    QObject::connect(&ticks, &QTimer::timeout, [this] {
        const qint64 now = sleptNs(clock);
        longestNs = std::max(longestNs, now - std::exchange(lastSleepNs, now));
    });
    ticks.start(10);
}

QString outputDir()
{
    QString dir = qEnvironmentVariable("VORLEX_TEST_OUTPUT", QStringLiteral(VORLEX_TEST_BINARY_DIR "/test-output"));
    QDir().mkpath(dir);
    return dir;
}

RunResult run(const QString& program, const QStringList& arguments, const QByteArray& input, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
        while (process.canReadLine())
            received << process.readLine().trimmed();
    });
    process.start(program, arguments);
}

ChildProcess::~ChildProcess()
{
    process.kill();
    process.waitForFinished(3000);
}

int ChildProcess::exitCode(int timeoutMs)
{
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

std::optional<QByteArray> ChildProcess::last(const QByteArray& word) const
{
    for (auto line = received.crbegin(); line != received.crend(); ++line) {
        if (line->split(' ').first() == word)
            return line->mid(word.size() + 1);
    }
    return std::nullopt;
}

QStringList terminalRecorder(const QString& file)
{
    return {u"sh"_s, u"-c"_s,
            u"trap 'echo INT >>\"$0\"' INT; stty -icanon -echo; echo akuo; echo ready >>\"$0\";"
            u" while :; do cat -v >>\"$0\"; done"_s,
            file};
}

TextField::TextField(const QString& text, bool select, Toolkit toolkit)
    : ChildProcess(toolkit == Toolkit::gtk3 ? u"/usr/bin/python3"_s // the system's, which has the GTK bindings
                                            : QStringLiteral(VORLEX_TEST_BINARY_DIR "/tests/textfieldhelper"),
                   toolkit == Toolkit::gtk3
                       ? QStringList{QStringLiteral(VORLEX_TEST_SOURCE_DIR "/support/gtkfield.py"), text}
                       : QStringList{u"--text"_s, text} + (select ? QStringList{u"--select"_s} : QStringList()))
{
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool vorlexAnswers()
{
    const QString name = u"org.vorlex.Vorlex"_s;
    QDBusMessage call = QDBusMessage::createMethodCall(name, u"/org/vorlex/Vorlex"_s, name, u"OpenURL"_s);
    call << QString();
    // Not blocking: a portal this process plays must go on answering the program's start meanwhile.
    const QDBusPendingCall answer = QDBusConnection::sessionBus().asyncCall(call, 2000);
    return waitUntil([&] { return answer.isFinished(); }, 3000) && answer.reply().type() == QDBusMessage::ReplyMessage;
}

QList<QByteArray> visibleWindowsOf(qint64 pid)
{
    QList<QByteArray> ids =
        run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid)}).out.split('\n');
    ids.removeAll(QByteArray());
    return ids;
}

} // namespace vorlex::test
