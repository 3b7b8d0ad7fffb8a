#include "HotkeyRecorderField.h"

#include "ModifierToken.h"
#include "Platform.h"
#include "TextTerms.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace vorlex {

namespace {

bool isPrintable(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c.isNull() || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

// The text the key gives with Shift applied and the other modifiers ignored. X turns Ctrl with
// a letter (and a few digits) into a control character, so Qt's key code, which names the shifted
// character, stands in for it then.
QString producedText(const QKeyEvent& event)
{
    if (isPrintable(event.text()))
        return event.text();
    const int key = event.key();
    if (key >= 0x20 && key < int(Qt::Key_Escape)) { // below Escape, Qt's key codes are characters
        const char32_t code = char32_t(key);
        return QString::fromUcs4(&code, 1);
    }
    return {};
}

// A hotkey named the way the desktop names shortcuts ("Ctrl+Shift+T"), with Qt's order of the
// modifiers whatever the order of the tokens. A key Qt has no name for is shown as it was recorded.
QString keyNames(const HotkeyConfig& hotkey)
{
    Qt::KeyboardModifiers held;
    for (const ModifierToken& modifier : modifierTokens) {
        if (hotkey.modifiers.contains(QLatin1String(modifier.token)))
            held |= modifier.qtModifier;
    }
    const QList<uint> characters = hotkey.key.toUcs4();
    if (characters.size() == 1) // Qt's key codes below Escape are characters; it upper-cases them
        return QKeySequence(QKeyCombination(held, Qt::Key(characters.first()))).toString(QKeySequence::NativeText);
    // Modifiers with no key read "Ctrl+Shift+".
    return QKeySequence(QKeyCombination(held, Qt::Key(0))).toString(QKeySequence::NativeText) + hotkey.key.toUpper();
}

} // namespace

const QString HotkeyRecorderField::emptyText = QStringLiteral("— (לחץ לשינוי)");
const QString HotkeyRecorderField::recordingText = QStringLiteral("⌨ לחץ קיצור...");

HotkeyRecorderField::HotkeyRecorderField(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false); // the raw keys matter here, not composed text
    setMinimumHeight(26);

    label = new QLabel(emptyText, this);
    label->setObjectName(QStringLiteral("label"));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(13);
    mono.setWeight(QFont::Normal);
    label->setFont(mono);

    clearBtn = new QToolButton(this);
    clearBtn->setObjectName(QStringLiteral("clearBtn"));
    clearBtn->setText(QStringLiteral("✕"));
    clearBtn->setAccessibleName(QStringLiteral("נקה"));
    clearBtn->setFixedWidth(20);
    clearBtn->setFocusPolicy(Qt::NoFocus); // clicking it must not take the focus from a recording field
    connect(clearBtn, &QToolButton::clicked, this, &HotkeyRecorderField::clearHotkey);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 4, 2);
    layout->setSpacing(4);
    layout->addWidget(label, 1);
    layout->addWidget(clearBtn, 0, Qt::AlignVCenter);

    showConfig();
}

void HotkeyRecorderField::setConfig(const HotkeyConfig& config)
{
    hotkey = config;
    showConfig();
}

void HotkeyRecorderField::showConfig()
{
    // A label reads in the direction of its first letter, and with Qt's Hebrew catalogue key names
    // may start with "מטא" (Meta): "מטא+Ctrl+/" would show as "Ctrl+/+מטא". A left-to-right mark
    // keeps them left to right inside the right-to-left window.
    setLabelText(hotkey.key.isEmpty() ? emptyText : QChar(0x200E) + keyNames(hotkey));
}

void HotkeyRecorderField::setLabelText(const QString& text)
{
    label->setText(text);
    setAccessibleDescription(text);
}

void HotkeyRecorderField::startRecording()
{
    recording = true;
    setLabelText(recordingText);
    update();
    setFocus(Qt::MouseFocusReason);
    grabKeyboard();
}

void HotkeyRecorderField::stopRecording(bool save)
{
    Q_UNUSED(save); // a saved value has been assigned already; either way the field shows config
    recording = false;
    releaseKeyboard();
    showConfig();
    update();
}

void HotkeyRecorderField::clearHotkey()
{
    hotkey = HotkeyConfig{};
    setLabelText(emptyText);
    emit edited();
}

// Recording goes on without the focus, but the keyboard goes back to the desktop meanwhile.
void HotkeyRecorderField::focusInEvent(QFocusEvent* event)
{
    if (recording)
        grabKeyboard();
    QWidget::focusInEvent(event);
}

void HotkeyRecorderField::focusOutEvent(QFocusEvent* event)
{
    releaseKeyboard();
    QWidget::focusOutEvent(event);
}

void HotkeyRecorderField::hideEvent(QHideEvent* event)
{
    releaseKeyboard();
    QWidget::hideEvent(event);
}

std::optional<HotkeyConfig> HotkeyRecorderField::hotkeyFromKeyEvent(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers held = event.modifiers();
    QStringList modifiers;
    for (const ModifierToken& modifier : modifierTokens) {
        if (held.testFlag(modifier.qtModifier))
            modifiers << QLatin1String(modifier.token);
    }
    if (modifiers.isEmpty())
        return std::nullopt;

    QString key = TextTerms::toLower(producedText(event));
    // Hotkeys fire on physical keys. With the Hebrew layout active the T key gives "א", which no
    // hotkey can name: record the key's own name instead, so the recorded hotkey fires.
    if (!isHotkeyKey(key)) {
        if (const auto name = hotkeyKeyOfScanCode(event.nativeScanCode()))
            key = *name;
    }
    if (key.isEmpty())
        return std::nullopt;
    return HotkeyConfig{modifiers, key};
}

bool HotkeyRecorderField::event(QEvent* event)
{
    if (recording) {
        // Every key goes to the field while it records: window shortcuts (Return, Escape) and
        // focus moves (Tab) included.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QWidget::event(event);
}

void HotkeyRecorderField::keyPressEvent(QKeyEvent* event)
{
    if (!recording) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (event->key() == Qt::Key_Escape) {
        stopRecording(false);
        return;
    }
    if (const auto recorded = hotkeyFromKeyEvent(*event)) {
        setConfig(*recorded);
        stopRecording(true);
        emit edited();
    }
}

void HotkeyRecorderField::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    startRecording();
}

void HotkeyRecorderField::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor border = palette().color(recording ? QPalette::Highlight : QPalette::Mid);
    painter.setPen(QPen(border, 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
}

} // namespace vorlex
