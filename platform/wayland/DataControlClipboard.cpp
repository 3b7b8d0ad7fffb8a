#include "DataControlClipboard.h"

#include "PipeTransfer.h"
#include "Watchers.h"
#include "WaylandConnection.h"
#include "WaylandProxy.h"

#include "ext-data-control-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace vorlex::wayland {

namespace {

// The two protocols are one contract under two names; the clipboard is written once against it.
#define VORLEX_DATA_CONTROL(Name, p, managerVersion)                                                                   \
    struct Name {                                                                                                      \
        using Manager = p##_manager_v1;                                                                                \
        using Device = p##_device_v1;                                                                                  \
        using Source = p##_source_v1;                                                                                  \
        using Offer = p##_offer_v1;                                                                                    \
        using DeviceListener = p##_device_v1_listener;                                                                 \
        using SourceListener = p##_source_v1_listener;                                                                 \
        using OfferListener = p##_offer_v1_listener;                                                                   \
        static const wl_interface& managerInterface() { return p##_manager_v1_interface; }                             \
        static constexpr quint32 version = managerVersion;                                                             \
        static Source* createSource(Manager* m) { return p##_manager_v1_create_data_source(m); }                       \
        static Device* getDevice(Manager* m, wl_seat* seat) { return p##_manager_v1_get_data_device(m, seat); }        \
        static void setSelection(Device* d, Source* s) { p##_device_v1_set_selection(d, s); }                          \
        static void offer(Source* s, const char* mime) { p##_source_v1_offer(s, mime); }                               \
        static void receive(Offer* o, const char* mime, int fd) { p##_offer_v1_receive(o, mime, fd); }                 \
        static void listen(Device* d, const DeviceListener* l, void* data) { p##_device_v1_add_listener(d, l, data); } \
        static void listen(Source* s, const SourceListener* l, void* data) { p##_source_v1_add_listener(s, l, data); } \
        static void listen(Offer* o, const OfferListener* l, void* data) { p##_offer_v1_add_listener(o, l, data); }    \
        using ManagerProxy = WaylandProxy<Manager, p##_manager_v1_destroy>;                                            \
        using DeviceProxy = WaylandProxy<Device, p##_device_v1_destroy>;                                               \
        using SourceProxy = WaylandProxy<Source, p##_source_v1_destroy>;                                               \
        using OfferProxy = WaylandProxy<Offer, p##_offer_v1_destroy>;                                                  \
    };
VORLEX_DATA_CONTROL(ExtDataControl, ext_data_control, 1)
VORLEX_DATA_CONTROL(WlrDataControl, zwlr_data_control, 2)
#undef VORLEX_DATA_CONTROL

// Offered with our own selections, so the compositor's echo of them is recognised and not counted
// twice (setText counts at once, as the capture needs).
constexpr char ownerMime[] = "application/x-vorlex-owner";
constexpr const char* textMimes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"};
constexpr int readTimeoutMs = 1000;
// The highlight's owner has the focus and answers at once; this bounds a hung one.
constexpr int highlightTimeoutMs = 500;
constexpr int writeTimeoutMs = 5000;

const char* textMimeOf(const QStringList& mimes)
{
    const auto mime = std::find_if(std::begin(textMimes), std::end(textMimes),
                                   [&mimes](const char* m) { return mimes.contains(QLatin1String(m)); });
    return mime == std::end(textMimes) ? nullptr : *mime;
}

template <class P> class ProtocolClipboard final : public DataControlClipboard {
    // An offer the compositor announced, with the types it said it has.
    struct PendingOffer {
        typename P::OfferProxy offer;
        QStringList mimes;
    };

public:
    ProtocolClipboard(WaylandConnection& wayland, typename P::Manager* control)
        : connection(wayland), manager(control), device(P::getDevice(control, wayland.seat()))
    {
        P::listen(device.get(), &deviceListener, this);
        connection.flush();
    }

    ~ProtocolClipboard() override
    {
        if (reading)
            reading->abort();
        offers.clear();
        sources.clear();
        device.reset();
        manager.reset();
        connection.flush();
    }

    quint64 changeCount() const override { return count; }
    void read(int, QObject*, std::function<void(std::optional<QString>)> done) override { done(current); }

    void setText(const QString& text) override
    {
        ownText = text;
        current = text;
        if (device) {
            // The previous source goes when the compositor cancels it, after this one took over.
            typename P::Source* source = P::createSource(manager.get());
            P::listen(source, &sourceListener, this);
            for (const char* mime : textMimes)
                P::offer(source, mime);
            P::offer(source, ownerMime);
            P::setSelection(device.get(), source);
            sources.emplace_back(source);
            connection.flush();
        }
        changed();
    }

    void watchChanges(QObject* context, std::function<void()> handler) override
    {
        watchers.add(context, std::move(handler));
    }

    void read(QObject* context, std::function<void(std::optional<QString>)> done) override
    {
        const PendingOffer* offer = find(highlighted);
        const char* mime = offer ? textMimeOf(offer->mimes) : nullptr;
        int fds[2];
        if (!mime || pipe2(fds, O_CLOEXEC) != 0) {
            QTimer::singleShot(0, context, [done = std::move(done)] { done(std::nullopt); });
            return;
        }
        P::receive(highlighted, mime, fds[1]);
        connection.flush();
        ::close(fds[1]);
        // Parented to context, so it goes with it; it needs nothing of this clipboard.
        PipeTransfer::read(fds[0], highlightTimeoutMs, context,
                           [done = std::move(done)](std::optional<QByteArray> data) {
                               done(data ? std::optional(QString::fromUtf8(*data)) : std::nullopt);
                           });
    }

private:
    void changed()
    {
        ++count;
        watchers.notify();
    }

    void selection(typename P::Offer* offer)
    {
        selected = offer;
        forgetOtherOffers();
        const PendingOffer* entry = find(offer);
        const QStringList mimes = entry ? entry->mimes : QStringList();
        const bool initial = std::exchange(initialSelection, false);
        const char* mime = textMimeOf(mimes);
        if (!mime) {
            // No new text: a copy that is still being read, or one that follows, is what counts.
            if (!reading)
                current.clear();
            return;
        }
        if (reading)
            reading->abort();
        if (mimes.contains(QLatin1String(ownerMime))) {
            current = ownText;
            return;
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            landed(initial, {});
            return;
        }
        P::receive(offer, mime, fds[1]);
        connection.flush();
        ::close(fds[1]);
        reading =
            PipeTransfer::read(fds[0], readTimeoutMs, &transfers, [this, initial](std::optional<QByteArray> data) {
                landed(initial, data ? QString::fromUtf8(*data) : QString());
            });
    }

    void landed(bool initial, const QString& text)
    {
        current = text;
        if (!initial) // the selection that was there before we started is no change
            changed();
    }

    void send(typename P::Source* source, int fd)
    {
        if (!sources.empty() && source == sources.back().get())
            PipeTransfer::write(fd, ownText.toUtf8(), writeTimeoutMs, &transfers);
        else
            ::close(fd);
    }

    void cancelled(typename P::Source* source)
    {
        std::erase_if(sources, [source](const auto& held) { return held.get() == source; });
        connection.flush();
    }

    // An offer is announced, then its types, then which selection it is: the offers of the two
    // selections now are kept, the ones before them go.
    void forgetOtherOffers()
    {
        std::erase_if(offers, [this](const PendingOffer& entry) {
            return entry.offer.get() != selected && entry.offer.get() != highlighted;
        });
    }

    PendingOffer* find(typename P::Offer* offer)
    {
        const auto found = std::find_if(offers.begin(), offers.end(),
                                        [offer](const PendingOffer& entry) { return entry.offer.get() == offer; });
        return offer && found != offers.end() ? &*found : nullptr;
    }

    static void onDataOffer(void* data, typename P::Device*, typename P::Offer* offer)
    {
        static_cast<ProtocolClipboard*>(data)->offers.push_back(PendingOffer{typename P::OfferProxy(offer), {}});
        P::listen(offer, &offerListener, data);
    }
    static void onOffer(void* data, typename P::Offer* offer, const char* mime)
    {
        if (PendingOffer* entry = static_cast<ProtocolClipboard*>(data)->find(offer))
            entry->mimes.append(QString::fromUtf8(mime));
    }
    static void onSelection(void* data, typename P::Device*, typename P::Offer* offer)
    {
        static_cast<ProtocolClipboard*>(data)->selection(offer);
    }
    static void onPrimarySelection(void* data, typename P::Device*, typename P::Offer* offer)
    {
        auto* clipboard = static_cast<ProtocolClipboard*>(data);
        clipboard->highlighted = offer;
        clipboard->forgetOtherOffers();
    }
    static void onFinished(void* data, typename P::Device*)
    {
        static_cast<ProtocolClipboard*>(data)->device.reset();
        std::fputs("vorlex: the compositor ended clipboard access (data-control finished)\n", stderr);
    }
    static void onSend(void* data, typename P::Source* source, const char*, int32_t fd)
    {
        static_cast<ProtocolClipboard*>(data)->send(source, fd);
    }
    static void onCancelled(void* data, typename P::Source* source)
    {
        static_cast<ProtocolClipboard*>(data)->cancelled(source);
    }

    static constexpr
        typename P::DeviceListener deviceListener = {&onDataOffer, &onSelection, &onFinished, &onPrimarySelection};
    static constexpr typename P::SourceListener sourceListener = {&onSend, &onCancelled};
    static constexpr typename P::OfferListener offerListener = {&onOffer};

    WaylandConnection& connection;
    typename P::ManagerProxy manager;
    typename P::DeviceProxy device;
    std::vector<PendingOffer> offers;
    typename P::Offer* selected = nullptr;        // the clipboard's offer, held in offers
    typename P::Offer* highlighted = nullptr;     // the primary selection's
    std::vector<typename P::SourceProxy> sources; // ours, the newest last
    QObject transfers;
    QPointer<PipeTransfer> reading;
    Watchers<> watchers;
    quint64 count = 0;
    QString current;
    QString ownText;
    bool initialSelection = true;
};

template <class P> std::unique_ptr<DataControlClipboard> create(WaylandConnection& connection)
{
    if (!connection.seat())
        return nullptr;
    auto* manager = static_cast<typename P::Manager*>(connection.bind(P::managerInterface(), P::version));
    if (!manager)
        return nullptr;
    return std::make_unique<ProtocolClipboard<P>>(connection, manager);
}

} // namespace

std::unique_ptr<DataControlClipboard> createDataControlClipboard(WaylandConnection& connection, DataControl protocol)
{
    return protocol == DataControl::ext ? create<ExtDataControl>(connection) : create<WlrDataControl>(connection);
}

} // namespace vorlex::wayland
