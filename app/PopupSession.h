#pragma once

// What the popup shows, without its widgets: runs the translation, layout or date service on the
// captured text, records history, and drops the request in flight whenever something newer takes the
// popup. Whoever draws it hears each change through display().

#include "HistoryManager.h"
#include "Platform.h"
#include "Stores.h"
#include "TranslationMode.h"
#include "TranslationService.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace vorlex {

// Everything the result area and the labels under it show at one time.
struct PopupDisplay {
    TranslationMode tab = TranslationMode::translate;
    bool busy = false;  // the spinner turns; text is empty
    QString text;       // plain text, never markup
    bool error = false; // text is the error line
    QString source;     // the source label
    QString engine;     // the engine label
    bool operator==(const PopupDisplay&) const = default;
};

class PopupSession : public QObject {
    Q_OBJECT

public:
    PopupSession(Platform& platform, const TranslationEndpoints& endpoints, Stores stores, QObject* parent = nullptr);

    // Starts a new request: stores the mode, the text and the window it came from and runs the mode.
    // A text beyond maximumTextBytes shows the error line alone.
    void set(TranslationMode mode, const QString& originalText, WindowId source);
    // A stored history entry, without running any service or recording anything; one whose original
    // text is beyond maximumTextBytes shows the error line alone.
    void showEntry(const HistoryEntry& entry, WindowId source);
    // The translation turning its spinner while the text is still being read off the screen.
    void showPending(WindowId source);
    // Nothing else (a request, an entry, a mode) has taken the popup since showPending.
    bool isPending() const { return pendingDisplay == displayGeneration; }
    // Ends the wait with the error line.
    void showFailure(const QString& description);
    // The user's choice of mode: runs it on the same text (nothing for layout or translation of none).
    void choose(TranslationMode mode);

    // What the popup was last asked to show.
    struct Shown {
        TranslationMode mode = TranslationMode::translate;
        QString originalText;
        WindowId sourceApp = 0; // the window that had the focus when the popup was asked for
        bool operator==(const Shown&) const = default;
    };
    const Shown& shown() const { return current; }
    const PopupDisplay& display() const { return view; }
    // What copy and replace act on; kept when a translation fails.
    const QString& result() const { return resultText; }

signals:
    void displayChanged(const PopupDisplay& display);

private:
    void startTranslation(const QString& text);
    void startLayoutConversion(const QString& text);
    void startDateTimeDisplay(const QString& text);
    void showTooLong(TranslationMode mode, WindowId source);
    // Whatever takes over the popup: the request in flight is aborted, a pending read ends.
    void dropRequest();
    void showBusy();
    // Shows text as the outcome of the current mode; an error keeps the result copy and replace act on.
    void show(const QString& text, bool error, const QString& source, const QString& engine = {});

    Platform& desktop;
    const TranslationEndpoints endpoints;
    SettingsManager& settingsStore;
    HistoryManager& history;
    Shown current;
    QString resultText;
    PopupDisplay view;

    // Raised whenever something new takes over the popup.
    quint64 displayGeneration = 0;
    // The displayGeneration of the last showPending; none before.
    std::optional<quint64> pendingDisplay;
    // The context of the translation running for the popup. Whatever takes over drops it, which aborts
    // the request: a newer one supersedes it, nothing late overwrites the popup or is recorded, and a
    // flood of calls leaves one request in flight.
    std::unique_ptr<QObject> translationInFlight;
};

} // namespace vorlex
