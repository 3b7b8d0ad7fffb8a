#include "LocalHttpServer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace vorlex::test {

struct LocalHttpServer::Connection {
    QTcpSocket* socket = nullptr;
    int number = 0;
    QByteArray buffer;
    bool hung = false;    // a hanging reply: nothing more is read or answered
    bool waiting = false; // a late reply: later requests stay unread until it is written
};

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 456:
        return "Quota Exceeded";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

QByteArray LocalHttpServer::Request::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool LocalHttpServer::Request::hasHeader(const QByteArray& name) const
{
    for (const auto& header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray LocalHttpServer::Request::path() const
{
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? target : target.left(mark);
}

QByteArray LocalHttpServer::Request::query() const
{
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? QByteArray() : target.mid(mark + 1);
}

LocalHttpServer::Reply LocalHttpServer::Reply::json(const QByteArray& body, int status)
{
    Reply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

LocalHttpServer::Reply LocalHttpServer::Reply::text(const QByteArray& body, int status, const QByteArray& contentType)
{
    Reply reply;
    reply.status = status;
    reply.body = body;
    reply.contentType = contentType;
    return reply;
}

LocalHttpServer::Reply LocalHttpServer::Reply::hanging()
{
    Reply reply;
    reply.hang = true;
    return reply;
}

LocalHttpServer::Reply LocalHttpServer::Reply::googleTranslation(const QString& translated, const QString& detected)
{
    QJsonArray segment{translated, translated, QJsonValue(), QJsonValue(), 10};
    QJsonArray top{QJsonArray{segment}, QJsonValue()};
    if (!detected.isEmpty())
        top.append(detected);
    return json(QJsonDocument(top).toJson(QJsonDocument::Compact));
}

LocalHttpServer::Reply LocalHttpServer::Reply::deepLTranslation(const QString& translated, const QString& detected)
{
    QJsonObject translation{{QStringLiteral("text"), translated}};
    if (!detected.isEmpty())
        translation.insert(QStringLiteral("detected_source_language"), detected);
    const QJsonObject top{{QStringLiteral("translations"), QJsonArray{translation}}};
    return json(QJsonDocument(top).toJson(QJsonDocument::Compact));
}

LocalHttpServer::LocalHttpServer(QObject* parent) : QObject(parent) {}

LocalHttpServer::~LocalHttpServer()
{
    closeAll();
}

bool LocalHttpServer::listen(const std::optional<QSslConfiguration>& tls)
{
    closeAll();
    if (tls) {
        auto sslServer = std::make_unique<QSslServer>();
        sslServer->setSslConfiguration(*tls);
        server = std::move(sslServer);
        secure = true;
    } else {
        server = std::make_unique<QTcpServer>();
        secure = false;
    }
    connect(server.get(), &QTcpServer::pendingConnectionAvailable, this, &LocalHttpServer::acceptPending);
    return server->listen(QHostAddress::LocalHost, 0);
}

quint16 LocalHttpServer::port() const
{
    return server ? server->serverPort() : 0;
}

QUrl LocalHttpServer::baseUrl() const
{
    QUrl url;
    url.setScheme(secure ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port());
    return url;
}

void LocalHttpServer::setHandler(Handler newHandler)
{
    handler = std::move(newHandler);
}

void LocalHttpServer::enqueueReply(const Reply& reply)
{
    queued.push_back(reply);
}

void LocalHttpServer::setDefaultReply(const Reply& reply)
{
    defaultReply = reply;
}

int LocalHttpServer::openConnectionCount() const
{
    return int(connections.size());
}

void LocalHttpServer::clearRecords()
{
    received.clear();
    accepted = 0;
}

bool LocalHttpServer::waitForRequests(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (requestCount() < count && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(std::max<qint64>(1, std::min<qint64>(deadline.remainingTime(), 50)), &loop,
                           &QEventLoop::quit);
        connect(this, &LocalHttpServer::requestReceived, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return requestCount() >= count;
}

void LocalHttpServer::acceptPending()
{
    while (server && server->hasPendingConnections()) {
        QTcpSocket* socket = server->nextPendingConnection();
        if (!socket)
            break;
        auto connection = std::make_unique<Connection>();
        connection->socket = socket;
        connection->number = ++accepted;
        Connection* raw = connection.get();
        connections.push_back(std::move(connection));
        connect(socket, &QTcpSocket::readyRead, this, [this, raw] { readFrom(*raw); });
        connect(socket, &QTcpSocket::disconnected, this, [this, raw] {
            for (auto it = connections.begin(); it != connections.end(); ++it) {
                if (it->get() == raw) {
                    raw->socket->deleteLater();
                    connections.erase(it);
                    break;
                }
            }
        });
        if (socket->bytesAvailable() > 0)
            readFrom(*raw);
    }
}

void LocalHttpServer::readFrom(Connection& connection)
{
    QTcpSocket* socket = connection.socket;
    if (connection.waiting)
        return;
    if (connection.hung) {
        socket->readAll(); // a hung exchange never answers, whatever else arrives
        return;
    }
    connection.buffer += socket->readAll();
    for (;;) {
        const qsizetype headEnd = connection.buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = connection.buffer.left(headEnd).split('\n');
        Request request;
        request.connection = connection.number;
        request.head = connection.buffer.left(headEnd + 4);
        request.requestLine = lines.value(0).chopped(lines.value(0).endsWith('\r') ? 1 : 0);
        const QList<QByteArray> parts = request.requestLine.split(' ');
        request.method = parts.value(0);
        request.target = parts.value(1);
        qsizetype contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            QByteArray line = lines.at(i);
            if (line.endsWith('\r'))
                line.chop(1);
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon);
            const QByteArray value = line.mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                contentLength = value.toLongLong();
        }
        const qsizetype bodyStart = headEnd + 4;
        if (connection.buffer.size() < bodyStart + contentLength)
            return; // the rest of the body is still on its way
        request.body = connection.buffer.mid(bodyStart, contentLength);
        connection.buffer.remove(0, bodyStart + contentLength);

        received.append(request);
        const Reply reply = replyFor(request);
        emit requestReceived(request);

        if (reply.hang) {
            connection.hung = true;
            return;
        }
        if (reply.delayMs > 0) {
            // Later requests on this connection wait their turn behind the late answer.
            connection.waiting = true;
            Connection* raw = &connection;
            QTimer::singleShot(reply.delayMs, socket, [this, raw, reply, request] {
                const bool open = std::any_of(connections.begin(), connections.end(),
                                              [raw](const auto& held) { return held.get() == raw; });
                if (!open)
                    return;
                raw->waiting = false;
                if (answer(*raw, reply, request))
                    readFrom(*raw);
            });
            return;
        }
        if (!answer(connection, reply, request))
            return;
    }
}

bool LocalHttpServer::answer(Connection& connection, const Reply& reply, const Request& request)
{
    QTcpSocket* socket = connection.socket;
    if (reply.closeWithoutReply) {
        socket->disconnectFromHost();
        return false;
    }
    const bool close = reply.closeConnection || request.header("Connection").toLower() == "close";
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                     (reply.reason.isEmpty() ? reasonPhrase(reply.status) : reply.reason) + "\r\n";
    out += "Content-Type: " + reply.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    for (const auto& [name, value] : reply.extraHeaders)
        out += name + ": " + value + "\r\n";
    out += close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    out += "\r\n";
    out += reply.body;
    socket->write(out);
    if (close) {
        socket->disconnectFromHost();
        return false;
    }
    return true;
}

LocalHttpServer::Reply LocalHttpServer::replyFor(const Request& request)
{
    if (handler)
        return handler(request);
    if (!queued.empty()) {
        Reply reply = queued.front();
        queued.pop_front();
        return reply;
    }
    return defaultReply;
}

void LocalHttpServer::closeAll()
{
    for (auto& connection : connections) {
        QObject::disconnect(connection->socket, nullptr, this, nullptr);
        connection->socket->abort();
        connection->socket->deleteLater();
    }
    connections.clear();
    if (server)
        server->close();
    server.reset();
}

} // namespace vorlex::test
