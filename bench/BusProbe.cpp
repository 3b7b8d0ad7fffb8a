// Calls a running Vorlex over D-Bus, like a script or a desktop shortcut would, and reports one
// line of JSON. The texts are English words typed on a Hebrew keyboard, in lines of about 70
// characters, so the layout conversion changes every letter.
//   busprobe big BYTES
//       ConvertKeyboardLayout with a text of BYTES bytes. reply_ms: until Vorlex answers, that is
//       until the popup holds the result; next_ms: an empty TranslateText (which does nothing)
//       sent right after that answer; stall_ms: the longest any such empty call waited while
//       they were sent one after another from the big call until 1 s after its answer.
//   busprobe fill COUNT BYTES
//       COUNT conversions of distinct texts of BYTES bytes each, one after another.
//   busprobe small COUNT
//       COUNT conversions of a short text, one after another; the median time to the answer.
//   busprobe saved COUNT STORE
//       COUNT conversions of a short distinct text; for each, the time from the answer until the
//       file STORE holds it at its start (polled every millisecond): median and slowest.
//   busprobe flood COUNT
//       COUNT TranslateText calls of distinct short texts at once; answered_ms: until the last answer.
//   busprobe stream
//       Conversions of "stream N", N = 1, 2, ..., one after another until Vorlex is gone; prints
//       each N on a line of its own once it is answered.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QString service = QStringLiteral("org.vorlex.Vorlex");
const QString path = QStringLiteral("/org/vorlex/Vorlex");
const QString interface = QStringLiteral("org.vorlex.Vorlex");
constexpr int callTimeoutMs = 120000;

QDBusMessage call(const QString& method, const QString& text)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message << text;
    return message;
}

QString text(qsizetype bytes, int seed)
{
    const QString line = QStringLiteral("akuo ugkl vh,c cgcrh, nk, ,ukv ");
    QString result = QString::number(seed) + QLatin1Char(' ');
    result.reserve(bytes + line.size());
    while (result.size() < bytes)
        result += result.size() % 70 < line.size() ? line : line + QLatin1Char('\n');
    result.truncate(bytes);
    return result;
}

double blockingCallMs(const QString& method, const QString& argument)
{
    QElapsedTimer clock;
    clock.start();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call(method, argument), QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "busprobe: %s\n", qPrintable(reply.errorMessage()));
        std::exit(1);
    }
    return double(clock.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The big call, and empty calls one after another beside it, each waited for, until 1 s after its answer.
int big(qsizetype bytes)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString big = text(bytes, 0);
    QElapsedTimer clock;
    clock.start();
    double replyMs = -1;
    double nextMs = -1;
    double stallMs = 0;
    bool failed = false;
    auto* watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(call(QStringLiteral("ConvertKeyboardLayout"), big), callTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [&](QDBusPendingCallWatcher* done) {
        failed = done->isError();
        replyMs = double(clock.nsecsElapsed()) / 1e6;
    });
    std::function<void()> ping = [&] {
        const bool first = replyMs >= 0 && nextMs < 0;
        const double sent = double(clock.nsecsElapsed()) / 1e6;
        auto* pending =
            new QDBusPendingCallWatcher(bus.asyncCall(call(QStringLiteral("TranslateText"), QString()), callTimeoutMs));
        QObject::connect(pending, &QDBusPendingCallWatcher::finished, [&, first, sent](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const double waited = double(clock.nsecsElapsed()) / 1e6 - sent;
            stallMs = std::max(stallMs, waited);
            if (first)
                nextMs = waited;
            if (replyMs >= 0 && double(clock.nsecsElapsed()) / 1e6 > replyMs + 1000 && nextMs >= 0)
                QCoreApplication::quit();
            else
                QTimer::singleShot(replyMs >= 0 && nextMs < 0 ? 0 : 5, ping);
        });
    };
    QTimer::singleShot(0, ping);
    QCoreApplication::exec();
    if (failed) {
        std::fprintf(stderr, "busprobe: the big call failed\n");
        return 1;
    }
    std::printf("{\"reply_ms\": %.1f, \"next_ms\": %.1f, \"stall_ms\": %.1f}\n", replyMs, nextMs, stallMs);
    return 0;
}

int flood(int count)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QElapsedTimer clock;
    clock.start();
    int left = count;
    for (int i = 1; i <= count; ++i) {
        auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(
            call(QStringLiteral("TranslateText"), QStringLiteral("flood text %1").arg(i)), callTimeoutMs));
        QObject::connect(pending, &QDBusPendingCallWatcher::finished, [&](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            if (--left == 0)
                QCoreApplication::quit();
        });
    }
    QCoreApplication::exec();
    std::printf("{\"answered_ms\": %.1f}\n", double(clock.nsecsElapsed()) / 1e6);
    return 0;
}

int stream()
{
    for (int i = 1;; ++i) {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            call(QStringLiteral("ConvertKeyboardLayout"), QStringLiteral("stream %1").arg(i)), QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ErrorMessage)
            return 0;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    if (command == QLatin1String("big") && argc == 3)
        return big(arguments.at(2).toLongLong());
    if (command == QLatin1String("fill") && argc == 4) {
        for (int i = 1; i <= arguments.at(2).toInt(); ++i)
            blockingCallMs(QStringLiteral("ConvertKeyboardLayout"), text(arguments.at(3).toLongLong(), i));
        std::printf("{}\n");
        return 0;
    }
    if (command == QLatin1String("small") && argc == 3) {
        std::vector<double> times;
        for (int i = 1; i <= arguments.at(2).toInt(); ++i)
            times.push_back(blockingCallMs(QStringLiteral("ConvertKeyboardLayout"), text(40, i)));
        std::printf("{\"median_ms\": %.2f, \"max_ms\": %.2f}\n", median(times),
                    *std::max_element(times.begin(), times.end()));
        return 0;
    }
    if (command == QLatin1String("saved") && argc == 4) {
        std::vector<double> times;
        for (int i = 1; i <= arguments.at(2).toInt(); ++i) {
            const QString probe =
                QStringLiteral("saved probe %1 ").arg(i) + QString::number(QCoreApplication::applicationPid());
            blockingCallMs(QStringLiteral("ConvertKeyboardLayout"), probe);
            QElapsedTimer clock;
            clock.start();
            for (;;) {
                QFile store(arguments.at(3));
                if (store.open(QIODevice::ReadOnly) && store.read(4096).contains(probe.toUtf8())) // newest first
                    break;
                if (clock.elapsed() > 60000) {
                    std::fprintf(stderr, "busprobe: %s never reached the store\n", qPrintable(probe));
                    return 1;
                }
                QThread::msleep(1);
            }
            times.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::printf("{\"median_ms\": %.2f, \"max_ms\": %.2f}\n", median(times),
                    *std::max_element(times.begin(), times.end()));
        return 0;
    }
    if (command == QLatin1String("flood") && argc == 3)
        return flood(arguments.at(2).toInt());
    if (command == QLatin1String("stream") && argc == 2)
        return stream();
    std::fprintf(
        stderr,
        "usage: busprobe big BYTES | fill COUNT BYTES | small COUNT | saved COUNT STORE | flood COUNT | stream\n");
    return 2;
}
