#pragma once

// The popup: a small floating window that shows one text in one of three modes.

#include "HistoryManager.h"
#include "Platform.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace vorlex {

enum class TranslationMode { translate, keyboardLayout, dateTime };

class TranslationViewController : public QWidget {
    Q_OBJECT

public:
    explicit TranslationViewController(Platform& platform, QWidget* parent = nullptr);

    // Starts a new request: stores the mode and the text and runs the mode's service.
    void set(TranslationMode mode, const QString& originalText);
    // Shows a stored history entry without running any service.
    void showEntry(const HistoryEntry& entry);

    WindowId sourceApp = 0;
    TranslationMode mode = TranslationMode::translate;
    QString originalText;
    QString resultText;

private:
    Platform& desktop;
    QPlainTextEdit* textView = nullptr;
};

class TranslationWindowController {
public:
    explicit TranslationWindowController(Platform& platform);
    ~TranslationWindowController();
    TranslationWindowController(const TranslationWindowController&) = delete;
    TranslationWindowController& operator=(const TranslationWindowController&) = delete;

    // Places, shows and activates the popup.
    void present();
    QWidget* window() const { return panel.get(); }

    TranslationViewController* translationVC = nullptr; // owned by the window

private:
    Platform& desktop;
    std::unique_ptr<QWidget> panel;
};

} // namespace vorlex
