#include "TranslationWindowController.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace vorlex {

TranslationViewController::TranslationViewController(Platform& platform, QWidget* parent)
    : QWidget(parent), desktop(platform), textView(new QPlainTextEdit(this))
{
    textView->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textView);
}

void TranslationViewController::set(TranslationMode newMode, const QString& text)
{
    mode = newMode;
    originalText = text;
    resultText.clear();
    textView->setPlainText(text);
}

void TranslationViewController::showEntry(const HistoryEntry& entry)
{
    mode = entry.type == QLatin1String("translate") ? TranslationMode::translate : TranslationMode::keyboardLayout;
    originalText = entry.originalText;
    resultText = entry.resultText;
    textView->setPlainText(resultText);
}

TranslationWindowController::TranslationWindowController(Platform& platform)
    : desktop(platform), panel(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint))
{
    panel->setWindowTitle(QStringLiteral("Vorlex"));
    panel->resize(480, 300);
    auto* layout = new QVBoxLayout(panel.get());
    layout->setContentsMargins(0, 0, 0, 0);
    translationVC = new TranslationViewController(platform, panel.get());
    layout->addWidget(translationVC);
}

TranslationWindowController::~TranslationWindowController() = default;

void TranslationWindowController::present()
{
    panel->show();
    panel->raise();
    desktop.windowSystem().activate(panel->winId());
}

} // namespace vorlex
