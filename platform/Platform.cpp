#include "Platform.h"

#include <QCoreApplication>
#include <QTimer>

namespace vorlex {

void QtScheduler::after(int milliseconds, QObject* context, std::function<void()> callback)
{
    QTimer::singleShot(milliseconds, context ? context : QCoreApplication::instance(), std::move(callback));
}

} // namespace vorlex
