#include "LocalHttpServer.h"

#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>

#include <memory>
#include <utility>

namespace vorlex::test {

LocalHttpServer::Reply LocalHttpServer::Reply::googleTranslation(const QString& translated, const QString& detected)
{
    // A value, not an array: Clang 19 takes QJsonArray{anArray} for a copy of it, not an array around it.
    const QJsonValue segment = QJsonArray{translated, translated, QJsonValue(), QJsonValue(), 10};
    return json(QJsonDocument(QJsonArray{QJsonArray{segment}, QJsonValue(), detected}).toJson(QJsonDocument::Compact));
}

LocalHttpServer::Reply LocalHttpServer::Reply::deepLTranslation(const QString& translated, const QString& detected)
{
    const QJsonObject translation{{"text", translated}, {"detected_source_language", detected}};
    return json(QJsonDocument(QJsonObject{{"translations", QJsonArray{translation}}}).toJson(QJsonDocument::Compact));
}

LocalHttpServer::LocalHttpServer()
{
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            ++accepted;
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket, buffer] { read(*socket, *buffer); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    if (!server.listen(QHostAddress::LocalHost, 0))
        qFatal("the test server cannot listen on 127.0.0.1");
}

void LocalHttpServer::read(QTcpSocket& socket, QByteArray& buffer)
{
    buffer += socket.readAll();
    for (qsizetype headEnd = buffer.indexOf("\r\n\r\n"); headEnd >= 0; headEnd = buffer.indexOf("\r\n\r\n")) {
        const QByteArray head = buffer.left(headEnd + 2);
        Request request{head.left(head.indexOf(' ')), head.split(' ').value(1), head, {}};
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            return; // the rest of the body is still on its way
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        received.append(request);
        const Reply reply = handler ? handler(request) : queued.empty() ? defaultReply : queued.front();
        if (!handler && !queued.empty())
            queued.pop_front();
        if (reply.hang)
            return;
        auto answer = [socket = QPointer<QTcpSocket>(&socket), reply] {
            if (socket)
                socket->write("HTTP/1.1 " + QByteArray::number(reply.status) +
                              " Status\r\nContent-Type: " + reply.contentType +
                              "\r\nContent-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n" + reply.body);
        };
        reply.held ? heldAnswers.push_back(std::move(answer)) : answer();
    }
}

void LocalHttpServer::releaseHeld()
{
    for (const auto& answer : std::exchange(heldAnswers, {}))
        answer();
}

} // namespace vorlex::test
