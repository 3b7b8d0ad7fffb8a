#include "X11PrimarySelection.h"

#include "X11SelectionReader.h"

#include <QTimer>

#include <X11/Xlib.h>

namespace vorlex::x11 {

namespace {

class X11PrimarySelection final : public PrimarySelection {
public:
    X11PrimarySelection(QByteArray name, int timeout) : displayName(std::move(name)), timeoutMs(timeout) {}

    void read(QObject* context, std::function<void(std::optional<QString>)> done) override
    {
        if (displayName.isEmpty())
            return QTimer::singleShot(0, context, [done = std::move(done)] { done(std::nullopt); });
        readPrimarySelection(displayName, timeoutMs, context, std::move(done));
    }

private:
    QByteArray displayName;
    int timeoutMs;
};

} // namespace

std::unique_ptr<PrimarySelection> createPrimarySelection(Display* display, int timeoutMs)
{
    return std::make_unique<X11PrimarySelection>(display ? QByteArray(DisplayString(display)) : QByteArray(),
                                                 timeoutMs);
}

} // namespace vorlex::x11
