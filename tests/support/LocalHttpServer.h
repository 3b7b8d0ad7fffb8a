#pragma once

// A stand-in for Google and DeepL: an HTTP/1.1 server on 127.0.0.1, on a free port, from construction
// to destruction. It records every request as it arrived and answers from the handler if one is set,
// else from the queue (one reply per request), else with the default reply. It runs on the creating
// thread's event loop: wait for requests with waitForRequests(), never with a sleep.

#include "TestSupport.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QUrl>

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

namespace vorlex::test {

class LocalHttpServer {
public:
    struct Request {
        QByteArray method;
        QByteArray target; // path and query exactly as sent
        QByteArray head;   // request line and headers exactly as sent, each line ending in CRLF
        QByteArray body;

        // The field's value (blanks around it are not part of it; Qt 6.8 drops them), the name in any case (Qt 6.8
        // writes it in lower case); empty when absent.
        QByteArray header(const QByteArray& name) const
        {
            const qsizetype at = head.toLower().indexOf("\r\n" + name.toLower() + ": ") + name.size() + 4;
            return at < name.size() + 4 ? QByteArray() : head.mid(at, head.indexOf("\r\n", at) - at).trimmed();
        }
        QByteArray query() const { return target.contains('?') ? target.mid(target.indexOf('?') + 1) : QByteArray(); }
    };

    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        bool hang = false; // never answered; the connection stays open until the client gives up
        bool held = false; // answered at releaseHeld(), so a test decides when without a clock

        static Reply json(const QByteArray& body, int status = 200) { return {status, body}; }
        static Reply text(const QByteArray& body, int status = 200) { return {status, body, "text/html"}; }
        static Reply hanging() { return {200, {}, "application/json", true}; }
        // The services' reply shapes with one translation; the detected code may be empty.
        static Reply googleTranslation(const QString& translated, const QString& detected = {});
        static Reply deepLTranslation(const QString& translated, const QString& detected = {});
    };

    LocalHttpServer();

    QUrl baseUrl() const { return QUrl("http://127.0.0.1:" + QString::number(server.serverPort())); }

    void setHandler(std::function<Reply(const Request&)> replies) { handler = std::move(replies); }
    void enqueueReply(const Reply& reply) { queued.push_back(reply); }
    void setDefaultReply(const Reply& reply) { defaultReply = reply; }
    void releaseHeld(); // answers the held requests still connected

    QList<Request> requests() const { return received; }
    int requestCount() const { return int(received.size()); }
    int connectionCount() const { return accepted; } // TCP connections accepted, so reuse shows
    void clearRecords() { received.clear(); }        // the connection count goes on
    bool waitForRequests(int count, int timeoutMs = 5000)
    {
        return waitUntil([&] { return requestCount() >= count; }, timeoutMs);
    }
    bool waitForQueryEnding(const QByteArray& end) // until a request whose query ends so has come
    {
        return waitUntil(
            [&] { return std::ranges::any_of(received, [&](auto& r) { return r.query().endsWith(end); }); });
    }

private:
    void read(QTcpSocket& socket, QByteArray& buffer);

    std::function<Reply(const Request&)> handler;
    std::deque<Reply> queued;
    std::vector<std::function<void()>> heldAnswers;
    Reply defaultReply;
    QList<Request> received;
    int accepted = 0;
    QTcpServer server; // last, so its connections close while the records above still exist
};

} // namespace vorlex::test
