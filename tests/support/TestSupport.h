#pragma once

// The one harness of every suite: a private config home, environment guards, bounded waiting, the
// process runner and the child-helper protocol, and readable printing of Qt strings.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

using namespace Qt::StringLiterals; // u"..."_s and "..."_ba in every test

// gtest prints Qt strings as text instead of one character at a time (found by argument lookup),
// and failure messages take them as they are: EXPECT_TRUE(...) << text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"' << bytes.toStdString() << '"';
}
inline std::ostream& operator<<(std::ostream& out, const QString& text)
{
    return out << text.toStdString();
}

namespace vorlex::test {

// Sets an environment variable for the guard's lifetime (TZ, LANG, ...).
class EnvGuard {
public:
    EnvGuard(const char* variable, const QByteArray& value)
        : name(variable), old(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        qputenv(name, value);
    }
    ~EnvGuard() { old ? qputenv(name, *old) : qunsetenv(name); }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* name;
    std::optional<QByteArray> old;
};

// Points HOME, XDG_CONFIG_HOME and XDG_DATA_HOME into a fresh temporary folder for its lifetime;
// programs the test starts meanwhile inherit it.
class ConfigHomeGuard {
public:
    ConfigHomeGuard() { QDir().mkpath(configHome()); }
    QString path() const { return dir.path(); }
    QString configHome() const { return dir.filePath(u".config"_s); }          // $XDG_CONFIG_HOME
    QString vorlexConfigDir() const { return configHome() + u"/VorlexMac"_s; } // the program's own folder
    QString dataHome() const { return dir.filePath(u".local/share"_s); }       // $XDG_DATA_HOME

private:
    QTemporaryDir dir;
    EnvGuard home{"HOME", dir.path().toUtf8()};
    EnvGuard config{"XDG_CONFIG_HOME", configHome().toUtf8()};
    EnvGuard data{"XDG_DATA_HOME", dataHome().toUtf8()};
};

// Runs the event loop until predicate holds or timeoutMs passes; returns the predicate's last value.
bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);

// The share of expected's characters that read got right: 1 - edit distance / length (text
// recognition's measure; the OCR benchmark takes it from here too).
inline double characterAccuracy(const QString& expected, const QString& read)
{
    std::vector<qsizetype> previous(read.size() + 1), row(read.size() + 1);
    for (qsizetype j = 0; j <= read.size(); ++j)
        previous[j] = j;
    for (qsizetype i = 1; i <= expected.size(); ++i) {
        row[0] = i;
        for (qsizetype j = 1; j <= read.size(); ++j)
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + (expected[i - 1] != read[j - 1])});
        std::swap(previous, row);
    }
    return 1.0 - double(previous[read.size()]) / double(std::max<qsizetype>(1, expected.size()));
}

// The longest the UI thread slept in one event-loop turn while this lives, in ms: a call that waits
// for another program. Time spent waiting for a CPU on a loaded machine is not counted.
class FreezeWatch {
public:
    FreezeWatch();
    qint64 longestMs() const { return longestNs / 1000000; }

private:
    QTimer ticks;
    QElapsedTimer clock;
    qint64 lastSleepNs = 0;
    qint64 longestNs = 0;
};

// A folder for screenshots a person may look at: $VORLEX_TEST_OUTPUT or <build>/test-output.
QString outputDir();

// A file's bytes, or "<missing>"; and a file written whole, its folder created (false on failure).
QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

struct RunResult {
    int exitCode = -1; // -1: it did not start, crashed or overran its time
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end with input on its standard input. The event loop turns meanwhile, so a
// local server of the test keeps answering it; after timeoutMs it is killed.
RunResult run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
              int timeoutMs = 30000);

// A program running beside the test from construction to destruction (then killed), speaking the
// protocol of every helper child: one line "WORD [VALUE]" on standard output for each event.
class ChildProcess {
public:
    ChildProcess(const QString& program, const QStringList& arguments);
    ~ChildProcess();

    std::optional<QByteArray> last(const QByteArray& word) const; // the value of the latest WORD line
    bool waitFor(const QByteArray& word, int timeoutMs = 10000)   // until a WORD line has come
    {
        return waitUntil([&] { return last(word).has_value(); }, timeoutMs);
    }
    QList<QByteArray> lines() const { return received; }
    qint64 pid() const { return process.processId(); }
    // Its exit code once it has ended by itself, or -1 (a crash, a signal, still running after timeoutMs).
    int exitCode(int timeoutMs = 10000);

private:
    QList<QByteArray> received; // before process, which may still report while it goes
    QProcess process;
};

// The running program answers a call on the session bus (an empty link, which does nothing). It answers
// on its UI thread, where it also took its bus name and started watching keys in one go.
bool vorlexAnswers();

// A process's mapped X windows (xdotool): on X11 the tray icon, and the popup or the menu while one is
// shown; on XWayland only the popup or the menu.
QList<QByteArray> visibleWindowsOf(qint64 pid);

// What a terminal runs to record what it passes on to a program (sh -c SCRIPT FILE): it shows the line
// "akuo", then writes to file "ready", each byte typed after (a control character as ^C, ^V...) and
// "INT" for each interrupt.
QStringList terminalRecorder(const QString& file);

// A focused text field in a window of its own: textfieldhelper (Qt; lines in TextFieldHelper.cpp), or
// gtkfield.py (GTK 3, its text always selected; GDK_BACKEND or the session picks X11 or Wayland).
class TextField : public ChildProcess {
public:
    enum class Toolkit { qt, gtk3 };
    explicit TextField(const QString& text, bool select = true, Toolkit toolkit = Toolkit::qt);
    QString text() const { return QString::fromUtf8(QByteArray::fromBase64(last("text").value_or(QByteArray()))); }
};

} // namespace vorlex::test
