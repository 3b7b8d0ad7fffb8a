#include "SwayIpc.h"

#include "OneShotQuery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocalSocket>

#include <cstring>

namespace vorlex::wayland {

namespace {

// A message is the magic, the payload's length and the message type (both in the host's byte order),
// then the payload.
constexpr char magic[] = "i3-ipc";
constexpr qsizetype magicSize = sizeof magic - 1;
constexpr qsizetype headerSize = magicSize + 8;
constexpr quint32 getTree = 4;

std::optional<QJsonObject> focusedNode(const QJsonObject& node)
{
    if (node.value(QLatin1String("focused")).toBool())
        return node;
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            if (std::optional<QJsonObject> found = focusedNode(child.toObject()))
                return found;
        }
    }
    return std::nullopt;
}

class FocusQuery final : public OneShotQuery<SwayWindow> {
public:
    FocusQuery(const QString& path, int timeoutMs, QObject* parent, Done answered)
        : OneShotQuery(timeoutMs, parent, std::move(answered))
    {
        connect(&socket, &QLocalSocket::connected, this, [this] {
            QByteArray request(magic, magicSize);
            request.resize(headerSize);
            const quint32 lengthAndType[2] = {0, getTree};
            std::memcpy(request.data() + magicSize, lengthAndType, sizeof lengthAndType);
            socket.write(request);
        });
        connect(&socket, &QLocalSocket::readyRead, this, [this] { read(); });
        // Queued: connecting may fail before the caller has returned.
        connect(
            &socket, &QLocalSocket::errorOccurred, this, [this] { finish(std::nullopt); }, Qt::QueuedConnection);
        socket.connectToServer(path);
    }

private:
    void read()
    {
        reply += socket.readAll();
        if (reply.size() < headerSize)
            return;
        quint32 length = 0;
        std::memcpy(&length, reply.constData() + magicSize, sizeof length);
        if (reply.size() - headerSize >= qsizetype(length))
            finish(focusedWindowIn(reply.mid(headerSize, length)));
    }

    void release() override { socket.abort(); }

    QLocalSocket socket;
    QByteArray reply;
};

} // namespace

std::optional<SwayWindow> focusedWindowIn(const QByteArray& tree)
{
    const QJsonDocument document = QJsonDocument::fromJson(tree);
    if (!document.isObject())
        return std::nullopt;
    const std::optional<QJsonObject> node = focusedNode(document.object());
    if (!node)
        return SwayWindow{};
    return SwayWindow{node->value(QLatin1String("app_id")).toString(),
                      node->value(QLatin1String("shell")).toString() == QLatin1String("xwayland"),
                      node->value(QLatin1String("pid")).toInteger(-1)};
}

void askFocusedWindow(const QString& socketPath, int timeoutMs, QObject* context,
                      std::function<void(std::optional<SwayWindow>)> answer)
{
    new FocusQuery(socketPath, timeoutMs, context, std::move(answer));
}

} // namespace vorlex::wayland
