#pragma once

// The popup's content: three mode tabs over one captured text, the result, and a bottom bar with
// the source and engine labels and the copy and replace buttons.

#include "HistoryManager.h"
#include "Platform.h"
#include "TranslationMode.h"
#include "TranslationService.h"

#include <QColor>
#include <QLabel>
#include <QString>
#include <QTextEdit>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QPushButton;
class QTabBar;
class QTimer;

namespace vorlex {

// The result area, with its own scrolling frame: plain text only (setPlainText, never rich text),
// selectable, and a press anywhere in it copies the result before the press goes on to select or
// scroll as usual. A QTextEdit rather than a QPlainTextEdit, because only its layout aligns each
// paragraph by its own direction.
class ClickCopyTextView : public QTextEdit {
    Q_OBJECT

public:
    explicit ClickCopyTextView(QWidget* parent = nullptr);

    std::function<void()> copyAction;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// A label that shows its text on one line, cut at the end with "…" when it does not fit.
class ElidingLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidingLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return full; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    QString full;
};

// The busy indicator shown while a translation runs.
class BusySpinner : public QWidget {
    Q_OBJECT

public:
    explicit BusySpinner(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* timer = nullptr;
    int step = 0;
};

class TranslationViewController : public QWidget {
    Q_OBJECT

public:
    TranslationViewController(Platform& platform, const TranslationEndpoints& endpoints, QWidget* parent = nullptr);

    // Starts a new request: stores the mode, the text and the window it came from, clears what is
    // shown and runs the mode. A text beyond maximumTextBytes shows the error line alone.
    void set(TranslationMode mode, const QString& originalText, WindowId source);
    // Shows a stored history entry without running any service or recording anything; one whose
    // original text is beyond maximumTextBytes shows the error line alone.
    void showEntry(const HistoryEntry& entry, WindowId source);
    // The translation tab turning its spinner while the text is still being read off the screen.
    void showPending(WindowId source);
    // Nothing else (a request, an entry, a tab) has taken the popup since showPending.
    bool isPending() const { return pendingDisplay == displayGeneration; }
    // Ends the wait with the error line.
    void showFailure(const QString& description);

    // What the popup was last asked to show.
    struct Shown {
        TranslationMode mode = TranslationMode::translate;
        QString originalText;
        WindowId sourceApp = 0; // the window that had the focus when the popup was asked for
        bool operator==(const Shown&) const = default;
    };
    const Shown& shown() const { return current; }

    static QColor errorColour();

    // Characters the result view takes in one event-loop turn (a few milliseconds): a 10 MB text
    // fills in a few seconds while the program keeps answering.
    static constexpr qsizetype textSliceLength = 8 * 1024;
    // Replace: from the button to activating the source window, and from there to the paste.
    static constexpr int activateDelayMs = 50;
    static constexpr int pasteDelayMs = 150;

signals:
    // The replace button, with a result: the popup is hidden, and text goes over the selection of
    // source (0: whatever has the focus).
    void replaceRequested(const QString& text, WindowId source);

private:
    void setupUI();
    // The tab control's action: the selected tab's mode on the same text.
    void tabChanged();
    // The copy button's action and the result area's click: puts resultText on the clipboard.
    void copyResult();
    void replaceOriginalText();
    // Shows title on button and puts restore back flashMs later.
    void flashButton(QPushButton* button, const QString& title, const QString& restore);
    void startTranslation(const QString& text);
    void startLayoutConversion(const QString& text);
    void startDateTimeDisplay(const QString& text);
    // Text beyond maximumTextBytes: the error line instead of anything laid out, run or recorded.
    void showTooLong(TranslationMode mode, WindowId source);
    // Whatever takes over the result area: the request in flight is aborted, a pending read ends.
    void dropRequest();
    void showSpinner();
    void hideSpinner();
    void showText(const QString& text);
    // Puts text into the view: the first slice at once, the rest a slice per event-loop turn.
    void fillText(const QString& text);
    void appendSlices(const QString& text, qsizetype from, quint64 fill);
    void showError(const QString& description);
    void setLabels(const QString& source, const QString& engine);
    void selectTab(TranslationMode tab);
    void setResult(const QString& result);

    static constexpr int flashMs = 1200;

    Platform& desktop;
    const TranslationEndpoints endpoints;
    Shown current;
    QString resultText; // what copy and replace act on; kept when a translation fails

    // The views: created once, owned through Qt's parent, never replaced.
    QTabBar* const tabControl;
    ClickCopyTextView* const textView;
    ElidingLabel* const sourceLabel;
    QLabel* const engineLabel;
    QPushButton* const copyButton;
    QPushButton* const replaceButton;
    BusySpinner* const spinner;

    // Raised whenever something new takes over the result area, so a translation that finishes
    // after a newer request does not overwrite what the popup shows now.
    quint64 displayGeneration = 0;
    // The displayGeneration of the last showPending; none before.
    std::optional<quint64> pendingDisplay;
    // The context of the translation running for the popup. Whatever takes over the result area
    // drops it, which aborts the request: a newer one supersedes it, nothing late overwrites the
    // popup or is recorded, and a flood of calls leaves one request in flight.
    std::unique_ptr<QObject> translationInFlight;
    // Raised by every fillText, so the slices of a text no longer shown stop.
    quint64 textFill = 0;
};

} // namespace vorlex
