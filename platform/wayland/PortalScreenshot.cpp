#include "PortalScreenshot.h"

#include <QUrl>

namespace vorlex::wayland {

namespace {

class PortalScreenshot final : public ScreenPictures {
public:
    PortalScreenshot(const QDBusConnection& connection, bool picksArea, int timeout)
        : bus(connection), interactive(picksArea), timeoutMs(timeout)
    {
    }

    void take(bool pickArea, QObject* context, std::function<void(const Outcome&)> done) override
    {
        using Kind = Failure::Kind;
        const bool dialog = pickArea && interactive;
        const QVariantMap options{{QStringLiteral("interactive"), dialog}, {QStringLiteral("modal"), false}};
        PortalRequest::call(
            context, bus, QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"),
            {QString(), options}, timeoutMs, [done, dialog](uint response, const QVariantMap& results) {
                const QString error = results.value(QStringLiteral("error")).toString();
                const QUrl uri(results.value(QStringLiteral("uri")).toString());
                if (response == 1)
                    return done(Failure{Kind::cancelled, {}});
                // The call itself failed: no portal, or none with a Screenshot backend.
                if (response != 0 && !error.isEmpty() && !results.value(QStringLiteral("timedOut")).toBool())
                    return done(Failure{Kind::unavailable, error});
                if (response != 0 || !uri.isLocalFile())
                    return done(Failure{Kind::failed, error.isEmpty() ? uri.toString() : error});
                done(Picture{uri.toLocalFile(), dialog});
            });
    }

private:
    QDBusConnection bus;
    const bool interactive;
    const int timeoutMs;
};

} // namespace

bool desktopPicksArea(const QString& currentDesktop)
{
    for (const QString& name : currentDesktop.split(QLatin1Char(':'))) {
        if (name.compare(QLatin1String("GNOME"), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

std::unique_ptr<ScreenPictures> createPortalScreenshot(const QDBusConnection& bus, const QString& desktop,
                                                       int timeoutMs)
{
    return std::make_unique<PortalScreenshot>(bus, desktopPicksArea(desktop), timeoutMs);
}

} // namespace vorlex::wayland
