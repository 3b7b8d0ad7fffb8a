#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <cstdlib>

namespace vorlex::test {

namespace {

std::optional<QByteArray> current(const char* name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void restore(const char* name, const std::optional<QByteArray>& value)
{
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

} // namespace

ConfigHomeGuard::ConfigHomeGuard() : oldHome(current("HOME")), oldConfigHome(current("XDG_CONFIG_HOME"))
{
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    QDir().mkpath(configHome());
}

ConfigHomeGuard::~ConfigHomeGuard()
{
    restore("HOME", oldHome);
    restore("XDG_CONFIG_HOME", oldConfigHome);
}

QString ConfigHomeGuard::configHome() const
{
    return dir.filePath(QStringLiteral(".config"));
}

QString ConfigHomeGuard::vorlexConfigDir() const
{
    return QDir(configHome()).filePath(QStringLiteral("VorlexMac"));
}

EnvGuard::EnvGuard(const char* variable, const QByteArray& value) : name(variable), old(current(variable))
{
    qputenv(name, value);
}

EnvGuard::~EnvGuard()
{
    restore(name, old);
}

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return predicate();
        // Bounded: wakes for events or after 10 ms at most, whichever comes first.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (QCoreApplication::instance() == nullptr)
            QThread::msleep(1);
    }
    return true;
}

QString outputDir()
{
    QString dir = qEnvironmentVariable("VORLEX_TEST_OUTPUT");
    if (dir.isEmpty())
        dir = QStringLiteral(VORLEX_TEST_BINARY_DIR "/test-output");
    QDir().mkpath(dir);
    return dir;
}

} // namespace vorlex::test
