#pragma once

// One end of a clipboard pipe, served from the event loop: reading an offer's data, or writing our
// own selection to a reader, never blocks the UI thread and gives up after a bounded time.

#include "OneShotQuery.h"

#include <QByteArray>

class QSocketNotifier;

namespace vorlex::wayland {

class PipeTransfer : public OneShotQuery<QByteArray> {
public:
    // Reads fd to its end; done gets the bytes, or nothing on failure or timeout. A source that offers
    // more than the text limit is cut off: done gets its first maximumTextBytes + 1 bytes, still too
    // many for any entry point to take. Takes fd.
    static PipeTransfer* read(int fd, int timeoutMs, QObject* parent, Done done);
    // Writes data to fd, then closes it. Takes fd.
    static PipeTransfer* write(int fd, QByteArray data, int timeoutMs, QObject* parent);

    ~PipeTransfer() override;

private:
    PipeTransfer(int fd, bool reading, int timeoutMs, QObject* parent, Done done);
    void transfer();
    void release() override;

    int descriptor = -1;
    QByteArray buffer;
    qsizetype written = 0;
    QSocketNotifier* notifier = nullptr;
};

} // namespace vorlex::wayland
