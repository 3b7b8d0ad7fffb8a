#pragma once

// One end of a clipboard pipe, served from the event loop: reading an offer's data, or writing our
// own selection to a reader, never blocks the UI thread and gives up after a bounded time.

#include <QByteArray>
#include <QObject>

#include <functional>
#include <optional>

class QSocketNotifier;

namespace vorlex::wayland {

class PipeTransfer : public QObject {
public:
    using Done = std::function<void(std::optional<QByteArray>)>;

    // Reads fd to its end; done gets the bytes, or nothing on failure or timeout. Takes fd.
    static PipeTransfer* read(int fd, int timeoutMs, QObject* parent, Done done);
    // Writes data to fd, then closes it. Takes fd.
    static PipeTransfer* write(int fd, QByteArray data, int timeoutMs, QObject* parent);

    // Stops without calling done; the object deletes itself later.
    void abort();
    ~PipeTransfer() override;

private:
    PipeTransfer(int fd, bool reading, int timeoutMs, QObject* parent);
    void transfer();
    void finish(std::optional<QByteArray> result);

    int descriptor = -1;
    QByteArray buffer;
    qsizetype written = 0;
    QSocketNotifier* notifier = nullptr;
    Done done;
};

} // namespace vorlex::wayland
