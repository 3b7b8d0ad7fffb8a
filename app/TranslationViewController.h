#pragma once

// The popup's content: three mode tabs over one captured text, the result, and a bottom bar with
// the source and engine labels and the copy and replace buttons.

#include "PopupSession.h"

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
    TranslationViewController(Platform& platform, const TranslationEndpoints& endpoints, Stores stores,
                              QWidget* parent = nullptr);

    // The session's requests; see PopupSession.
    void set(TranslationMode mode, const QString& originalText, WindowId source)
    {
        session.set(mode, originalText, source);
    }
    void showEntry(const HistoryEntry& entry, WindowId source) { session.showEntry(entry, source); }
    void showPending(WindowId source) { session.showPending(source); }
    bool isPending() const { return session.isPending(); }
    void showFailure(const QString& description) { session.showFailure(description); }

    using Shown = PopupSession::Shown;
    const Shown& shown() const { return session.shown(); }

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
    // The copy button's action and the result area's click: puts the session's result on the clipboard.
    void copyResult();
    void replaceOriginalText();
    // Shows title on button and puts restore back flashMs later.
    void flashButton(QPushButton* button, const QString& title, const QString& restore);
    // Draws what the session shows.
    void render(const PopupDisplay& display);
    // Puts text into the view: the first slice at once, the rest a slice per event-loop turn.
    void fillText(const QString& text);
    void appendSlices(const QString& text, qsizetype from, quint64 fill);

    static constexpr int flashMs = 1200;

    Platform& desktop;
    PopupSession session;

    // The views: created once, owned through Qt's parent, never replaced.
    QTabBar* const tabControl;
    ClickCopyTextView* const textView;
    ElidingLabel* const sourceLabel;
    QLabel* const engineLabel;
    QPushButton* const copyButton;
    QPushButton* const replaceButton;
    BusySpinner* const spinner;

    // Raised by every fillText, so the slices of a text no longer shown stop.
    quint64 textFill = 0;
};

} // namespace vorlex
