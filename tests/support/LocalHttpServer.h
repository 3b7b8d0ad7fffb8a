#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for tests that talk to Google or DeepL stand-ins.
//
// - listen() picks a free port; baseUrl() is "http://127.0.0.1:<port>" ("https://..." with TLS), ready
//   for TranslationEndpoints.
// - Every request is recorded exactly as it arrived: request line, headers (names as sent, in order),
//   body bytes, and which TCP connection carried it (connection numbers start at 1).
// - Replies come from the handler if one is set, else from the queue (one reply per request, in
//   order), else from the default reply (200, "application/json", empty body).
// - A reply may come late (delayMs), hang (never answer, connection kept open) or close the
//   connection without answering.
// - Connections are kept alive until the client closes them or a reply says closeConnection, so
//   connection reuse shows in connectionCount().
// - Runs on the thread that created it, through its event loop: wait for requests with
//   waitForRequests() or test::waitUntil(), never with a sleep.
//
// Example:
//   LocalHttpServer server;
//   ASSERT_TRUE(server.listen());
//   server.enqueueReply(LocalHttpServer::Reply::googleTranslation("שלום", "en"));
//   endpoints.google = server.baseUrl();
//   ... after the call: server.requests().at(0).target == "/translate_a/single?client=gtx&..."

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace vorlex::test {

class LocalHttpServer : public QObject {
    Q_OBJECT

public:
    struct Request {
        QByteArray head;        // every byte before the body, the blank line's CRLF CRLF included
        QByteArray requestLine; // "GET /path?query HTTP/1.1", without the CRLF
        QByteArray method;
        QByteArray target;                            // path and query exactly as sent, nothing decoded
        QList<QPair<QByteArray, QByteArray>> headers; // values without surrounding blanks; see head
        QByteArray body;
        int connection = 0; // 1 for the first TCP connection the server accepted, and so on

        // The value of the first header of that name (case-insensitive); empty when absent.
        QByteArray header(const QByteArray& name) const;
        bool hasHeader(const QByteArray& name) const;
        QByteArray path() const;  // target up to "?"
        QByteArray query() const; // target after "?", still encoded
    };

    struct Reply {
        int status = 200;
        QByteArray reason; // empty: a standard phrase for the status
        QByteArray contentType = "application/json";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> extraHeaders;
        int delayMs = 0;                // answer this long after the request arrived
        bool hang = false;              // never answer; the connection stays open until the server goes
        bool closeWithoutReply = false; // drop the connection instead of answering
        bool closeConnection = false;   // answer with "Connection: close" and close afterwards

        static Reply json(const QByteArray& body, int status = 200);
        static Reply text(const QByteArray& body, int status = 200, const QByteArray& contentType = "text/html");
        static Reply hanging();
        // A Google reply with one segment and element 2 the detected code (omitted when empty).
        static Reply googleTranslation(const QString& translated, const QString& detected = QString());
        // A DeepL reply with one translation (detected_source_language omitted when empty).
        static Reply deepLTranslation(const QString& translated, const QString& detected = QString());
    };

    using Handler = std::function<Reply(const Request&)>;

    explicit LocalHttpServer(QObject* parent = nullptr);
    ~LocalHttpServer() override;

    // Listens on 127.0.0.1 on a free port. With a TLS configuration (certificate and key set) the
    // server speaks HTTPS.
    bool listen(const std::optional<QSslConfiguration>& tls = std::nullopt);
    quint16 port() const;
    QUrl baseUrl() const;

    void setHandler(Handler handler);
    void enqueueReply(const Reply& reply);
    void setDefaultReply(const Reply& reply);

    QList<Request> requests() const { return received; }
    int requestCount() const { return int(received.size()); }
    int connectionCount() const { return accepted; }
    // Connections the server currently holds open (hanging ones included).
    int openConnectionCount() const;
    void clearRecords();

    // Runs the event loop until at least count requests arrived or timeoutMs passed.
    bool waitForRequests(int count, int timeoutMs = 5000);

signals:
    void requestReceived(const vorlex::test::LocalHttpServer::Request& request);

private:
    struct Connection;

    void acceptPending();
    void readFrom(Connection& connection);
    // Writes the reply; false when the connection is closing.
    bool answer(Connection& connection, const Reply& reply, const Request& request);
    Reply replyFor(const Request& request);
    void closeAll();

    std::unique_ptr<QTcpServer> server;
    bool secure = false;
    Handler handler;
    std::deque<Reply> queued;
    Reply defaultReply;
    QList<Request> received;
    int accepted = 0;
    std::list<std::unique_ptr<Connection>> connections;
};

} // namespace vorlex::test
