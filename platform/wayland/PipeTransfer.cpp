#include "PipeTransfer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vorlex::wayland {

namespace {

// More than anyone selects to translate; a source that keeps writing is cut off here.
constexpr qsizetype maximumBytes = 16 * 1024 * 1024;

} // namespace

PipeTransfer* PipeTransfer::read(int fd, int timeoutMs, QObject* parent, Done done)
{
    auto* transfer = new PipeTransfer(fd, true, timeoutMs, parent);
    transfer->done = std::move(done);
    return transfer;
}

PipeTransfer* PipeTransfer::write(int fd, QByteArray data, int timeoutMs, QObject* parent)
{
    auto* transfer = new PipeTransfer(fd, false, timeoutMs, parent);
    transfer->buffer = std::move(data);
    return transfer;
}

PipeTransfer::PipeTransfer(int fd, bool reading, int timeoutMs, QObject* parent) : QObject(parent), descriptor(fd)
{
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    notifier = new QSocketNotifier(descriptor, reading ? QSocketNotifier::Read : QSocketNotifier::Write, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { transfer(); });
    QTimer::singleShot(timeoutMs, this, [this] { finish(std::nullopt); });
}

PipeTransfer::~PipeTransfer()
{
    if (descriptor >= 0)
        ::close(descriptor);
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
        finish(buffer);
        return;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(descriptor, chunk, sizeof chunk);
        if (n == 0) {
            finish(buffer);
            return;
        }
        if (n < 0) {
            if (errno != EAGAIN && errno != EINTR)
                finish(std::nullopt);
            return;
        }
        buffer.append(chunk, n);
        if (buffer.size() > maximumBytes) {
            finish(std::nullopt);
            return;
        }
    }
}

void PipeTransfer::finish(std::optional<QByteArray> result)
{
    if (descriptor < 0)
        return;
    abort();
    if (done)
        done(std::move(result));
}

void PipeTransfer::abort()
{
    if (descriptor < 0)
        return;
    notifier->setEnabled(false);
    ::close(descriptor);
    descriptor = -1;
    deleteLater();
}

} // namespace vorlex::wayland
