#include "PipeTransfer.h"

#include "TextLimit.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vorlex::wayland {

PipeTransfer* PipeTransfer::read(int fd, int timeoutMs, QObject* parent, Done done)
{
    return new PipeTransfer(fd, true, timeoutMs, parent, std::move(done));
}

PipeTransfer* PipeTransfer::write(int fd, QByteArray data, int timeoutMs, QObject* parent)
{
    auto* transfer = new PipeTransfer(fd, false, timeoutMs, parent, nullptr);
    transfer->buffer = std::move(data);
    return transfer;
}

PipeTransfer::PipeTransfer(int fd, bool reading, int timeoutMs, QObject* parent, Done done)
    : OneShotQuery(timeoutMs, parent, std::move(done)), descriptor(fd)
{
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    notifier = new QSocketNotifier(descriptor, reading ? QSocketNotifier::Read : QSocketNotifier::Write, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { transfer(); });
}

PipeTransfer::~PipeTransfer()
{
    release();
}

void PipeTransfer::transfer()
{
    if (notifier->type() == QSocketNotifier::Write) {
        while (written < buffer.size()) {
            const ssize_t n = ::write(descriptor, buffer.constData() + written, size_t(buffer.size() - written));
            if (n < 0) {
                if (errno != EAGAIN && errno != EINTR)
                    finish(std::nullopt); // the reader went away
                return;
            }
            written += n;
        }
        return finish(buffer);
    }
    char chunk[65536];
    for (;;) {
        // Never more than one byte past the limit is held: that byte tells the text is too long.
        const qsizetype room = maximumTextBytes + 1 - buffer.size();
        const ssize_t n = room == 0 ? 0 : ::read(descriptor, chunk, size_t(std::min<qsizetype>(sizeof chunk, room)));
        if (n == 0)
            return finish(buffer);
        if (n < 0) {
            if (errno != EAGAIN && errno != EINTR)
                finish(std::nullopt);
            return;
        }
        buffer.append(chunk, n);
    }
}

void PipeTransfer::release()
{
    if (descriptor < 0)
        return;
    notifier->setEnabled(false);
    ::close(descriptor);
    descriptor = -1;
}

} // namespace vorlex::wayland
