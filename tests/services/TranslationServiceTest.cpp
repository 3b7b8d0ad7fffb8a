#include "LocalHttpServer.h"
#include "TestSupport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <gtest/gtest.h>

#include <memory>

using namespace vorlex;
using vorlex::test::LocalHttpServer;

namespace {

// A bare client exchange, to check the test server itself records and answers as it says.
QByteArray fetch(QNetworkAccessManager& client, const QUrl& url, int* status = nullptr)
{
    std::unique_ptr<QNetworkReply> reply(client.get(QNetworkRequest(url)));
    EXPECT_TRUE(test::waitUntil([&] { return reply->isFinished(); }));
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->readAll();
}

} // namespace

TEST(TranslationTestServer, RecordsRequestsAndKeepsConnectionsAlive)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.enqueueReply(LocalHttpServer::Reply::json("[1]", 503));
    server.setDefaultReply(LocalHttpServer::Reply::text("ok", 200, "text/plain"));

    QNetworkAccessManager client;
    QUrl url = QUrl::fromEncoded(server.baseUrl().toEncoded() + "/a%20b?x=%26&y=1", QUrl::StrictMode);
    int status = 0;
    EXPECT_EQ(fetch(client, url, &status), "[1]");
    EXPECT_EQ(status, 503);
    EXPECT_EQ(fetch(client, url, &status), "ok");
    EXPECT_EQ(status, 200);

    ASSERT_EQ(server.requestCount(), 2);
    const LocalHttpServer::Request first = server.requests().at(0);
    EXPECT_EQ(first.requestLine, "GET /a%20b?x=%26&y=1 HTTP/1.1");
    EXPECT_EQ(first.path(), "/a%20b");
    EXPECT_EQ(first.query(), "x=%26&y=1");
    EXPECT_EQ(first.header("host"), "127.0.0.1:" + QByteArray::number(server.port()));
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.requests().at(1).connection, 1);
}
