#pragma once

// Helpers shared by the test suites.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <optional>

namespace vorlex::test {

// Points HOME and XDG_CONFIG_HOME at a fresh temporary folder for the guard's lifetime.
class ConfigHomeGuard {
public:
    ConfigHomeGuard();
    ~ConfigHomeGuard();
    ConfigHomeGuard(const ConfigHomeGuard&) = delete;
    ConfigHomeGuard& operator=(const ConfigHomeGuard&) = delete;

    QString path() const { return dir.path(); }
    QString configHome() const;      // $XDG_CONFIG_HOME
    QString vorlexConfigDir() const; // $XDG_CONFIG_HOME/VorlexMac

private:
    QTemporaryDir dir;
    std::optional<QByteArray> oldHome;
    std::optional<QByteArray> oldConfigHome;
};

// Sets an environment variable for the guard's lifetime (TZ, LANG, ...).
class EnvGuard {
public:
    EnvGuard(const char* name, const QByteArray& value);
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* name;
    std::optional<QByteArray> old;
};

// Runs the event loop until predicate holds or timeoutMs passes; returns the predicate's last value.
bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);

// A folder for screenshots and other artifacts a person may look at: $VORLEX_TEST_OUTPUT or
// <build>/test-output, created on demand.
QString outputDir();

} // namespace vorlex::test
