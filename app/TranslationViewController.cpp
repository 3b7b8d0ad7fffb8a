#include "TranslationViewController.h"

#include "DateTimeService.h"
#include "KeyboardLayoutConverter.h"
#include "SettingsManager.h"
#include "TextLimit.h"
#include "TranslationService.h"

#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

namespace vorlex {

namespace {

const QString kTranslateType = QStringLiteral("translate");
const QString kLayoutType = QStringLiteral("layout");
const QString kCopyTitle = QStringLiteral("העתק");
const QString kReplaceTitle = QStringLiteral("החלף");
const QString kKeyboardLayoutSource = QStringLiteral("פריסת מקלדת");

// Text colour with a given opacity over the window: the secondary and tertiary label colours.
void setLabelColour(QLabel* label, double alpha)
{
    QPalette palette = label->palette();
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(float(alpha));
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// Where the slice that starts at from ends: after its last line feed, so a paragraph (and a
// CR LF pair) stays in one piece, else at the length, never inside a surrogate pair.
qsizetype sliceEnd(const QString& text, qsizetype from)
{
    qsizetype end = from + TranslationViewController::textSliceLength;
    if (end >= text.size())
        return text.size();
    const qsizetype lineFeed = text.lastIndexOf(QLatin1Char('\n'), end - 1);
    if (lineFeed >= from)
        return lineFeed + 1;
    if (text.at(end - 1).isHighSurrogate() || (text.at(end - 1) == QLatin1Char('\r') && text.at(end) == u'\n'))
        --end;
    return end;
}

QFont fontOfPixelSize(const QFont& base, int pixels)
{
    QFont font = base;
    font.setPixelSize(pixels);
    return font;
}

} // namespace

ClickCopyTextView::ClickCopyTextView(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
}

void ClickCopyTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && copyAction)
        copyAction();
    QTextEdit::mousePressEvent(event); // selecting and scrolling go on as usual
}

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void ElidingLabel::setFullText(const QString& text)
{
    full = text;
    setAccessibleName(text);
    setToolTip(text);
    updateGeometry();
    refresh();
}

QSize ElidingLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidingLabel::sizeHint() const
{
    // Rounded up with a pixel to spare: the eliding measures in fractions, and a hint rounded down
    // would cut a text that fits.
    const QMargins margins = contentsMargins();
    const int textWidth = int(std::ceil(QFontMetricsF(font()).horizontalAdvance(full))) + 1;
    return {textWidth + margins.left() + margins.right() + 2 * margin(), QLabel::sizeHint().height()};
}

void ElidingLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    refresh();
}

void ElidingLabel::refresh()
{
    QLabel::setText(fontMetrics().elidedText(full, Qt::ElideRight, contentsRect().width()));
}

BusySpinner::BusySpinner(QWidget* parent) : QWidget(parent), timer(new QTimer(this))
{
    timer->setInterval(80);
    connect(timer, &QTimer::timeout, this, [this] {
        step = (step + 1) % 12;
        update();
    });
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BusySpinner::startAnimation()
{
    timer->start();
}

void BusySpinner::stopAnimation()
{
    timer->stop();
}

void BusySpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const double radius = std::min(width(), height()) / 2.0;
    QColor colour = palette().color(QPalette::WindowText);
    for (int i = 0; i < 12; ++i) {
        colour.setAlphaF(float(0.15 + 0.85 * ((i + 12 - step) % 12) / 11.0));
        painter.setPen(QPen(colour, radius / 5.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.85));
        painter.rotate(30);
    }
}

TranslationViewController::TranslationViewController(Platform& platform, const TranslationEndpoints& where,
                                                     QWidget* parent)
    : QWidget(parent), desktop(platform), endpoints(where), tabControl(new QTabBar(this)),
      textView(new ClickCopyTextView(this)), sourceLabel(new ElidingLabel(this)), engineLabel(new QLabel(this)),
      copyButton(new QPushButton(this)), replaceButton(new QPushButton(this)), spinner(new BusySpinner(this))
{
    setupUI();
}

QColor TranslationViewController::errorColour()
{
    return QColor(0xD7, 0x00, 0x15);
}

void TranslationViewController::setupUI()
{
    // The texts are Hebrew: the whole popup reads from right to left.
    setLayoutDirection(Qt::RightToLeft);

    tabControl->addTab(QStringLiteral("תרגום"));
    tabControl->addTab(QStringLiteral("החלפת פריסה"));
    tabControl->addTab(QStringLiteral("תאריך ושעה"));
    tabControl->setExpanding(false);
    tabControl->setDrawBase(false);
    tabControl->setAccessibleName(QStringLiteral("מצב"));
    tabControl->setCurrentIndex(0);
    // Only the user's choice runs tabChanged(); selecting a tab from code blocks the signal.
    connect(tabControl, &QTabBar::currentChanged, this, [this] { tabChanged(); });
    connect(tabControl, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == tabControl->currentIndex())
            tabChanged(); // a click on the tab already selected runs its mode again
    });

    auto* bottomBar = new QWidget(this);
    bottomBar->setFixedHeight(26);

    const QFont small = fontOfPixelSize(font(), 11);
    sourceLabel->setFont(small);
    sourceLabel->setMaximumWidth(140);
    sourceLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    sourceLabel->setAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    sourceLabel->setAccessibleDescription(QStringLiteral("מקור"));
    setLabelColour(sourceLabel, 0.5);

    engineLabel->setFont(small);
    engineLabel->setTextFormat(Qt::PlainText);
    engineLabel->setAlignment(Qt::AlignTrailing | Qt::AlignVCenter); // set against the copy button
    engineLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    engineLabel->setAccessibleDescription(QStringLiteral("מנוע תרגום"));
    setLabelColour(engineLabel, 0.26);

    for (QPushButton* button : {copyButton, replaceButton}) {
        button->setFont(small);
        button->setFixedWidth(60);
        button->setAutoDefault(false);
    }
    copyButton->setText(kCopyTitle);
    copyButton->setAccessibleName(kCopyTitle);
    connect(copyButton, &QPushButton::clicked, this, [this] { copyResult(); });

    replaceButton->setText(kReplaceTitle);
    replaceButton->setAccessibleName(kReplaceTitle);
    replaceButton->setToolTip(QStringLiteral("מחליף את הטקסט המקורי בתוצאה"));
    replaceButton->setAccessibleDescription(replaceButton->toolTip());
    replaceButton->setEnabled(false);
    connect(replaceButton, &QPushButton::clicked, this, [this] { replaceOriginalText(); });

    // From the leading edge: source, engine (takes the rest), copy, replace.
    auto* bar = new QHBoxLayout(bottomBar);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(0);
    bar->addWidget(sourceLabel);
    bar->addSpacing(4);
    bar->addWidget(engineLabel, 1);
    bar->addSpacing(6);
    bar->addWidget(copyButton);
    bar->addSpacing(6);
    bar->addWidget(replaceButton);

    textView->setReadOnly(true);
    textView->setUndoRedoEnabled(false); // the view is filled a slice at a time; nothing to undo
    textView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    textView->setFont(fontOfPixelSize(font(), 15));
    textView->document()->setDocumentMargin(10);
    textView->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    textView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textView->setLineWrapMode(QTextEdit::WidgetWidth);
    textView->setContextMenuPolicy(Qt::NoContextMenu);
    textView->setAccessibleName(QStringLiteral("תוצאה"));
    // Each paragraph takes its direction from its first strong character, so an English result
    // reads left to right inside the right-to-left popup.
    QTextOption option = textView->document()->defaultTextOption();
    option.setTextDirection(Qt::LayoutDirectionAuto);
    option.setAlignment(Qt::AlignLeading);
    textView->document()->setDefaultTextOption(option);
    QPointer<TranslationViewController> self(this);
    textView->copyAction = [self] {
        if (self)
            self->copyResult();
    };

    spinner->setAccessibleName(QStringLiteral("מתרגם"));
    spinner->hide();

    auto* middle = new QGridLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->addWidget(textView, 0, 0);
    middle->addWidget(spinner, 0, 0, Qt::AlignCenter);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 6);
    root->setSpacing(0);
    root->addWidget(tabControl, 0, Qt::AlignHCenter);
    root->addSpacing(8);
    root->addLayout(middle, 1);
    root->addSpacing(6);
    root->addWidget(bottomBar);

    // The names tests find the views by.
    const std::pair<QObject*, const char*> named[] = {
        {tabControl, "tabControl"},   {textView, "textView"},     {sourceLabel, "sourceLabel"},
        {engineLabel, "engineLabel"}, {copyButton, "copyButton"}, {replaceButton, "replaceButton"},
        {spinner, "spinner"},
    };
    for (const auto& [object, name] : named)
        object->setObjectName(QLatin1String(name));
}

void TranslationViewController::set(TranslationMode newMode, const QString& text, WindowId source)
{
    if (exceedsTextLimit(text))
        return showTooLong(newMode, source);
    dropRequest();
    current = {newMode, text, source};
    setResult(QString());
    showText(QString());
    setLabels(QString(), QString());
    switch (newMode) {
    case TranslationMode::translate:
        selectTab(TranslationMode::translate);
        startTranslation(text); // an empty text goes to the service, which reports it
        break;
    case TranslationMode::keyboardLayout:
        selectTab(TranslationMode::keyboardLayout);
        startLayoutConversion(text);
        break;
    case TranslationMode::dateTime:
        selectTab(TranslationMode::dateTime);
        startDateTimeDisplay(text);
        break;
    }
}

void TranslationViewController::showEntry(const HistoryEntry& entry, WindowId source)
{
    const bool translation = entry.type == kTranslateType;
    const TranslationMode mode = translation ? TranslationMode::translate : TranslationMode::keyboardLayout;
    if (exceedsTextLimit(entry.originalText))
        return showTooLong(mode, source); // kept by an older version, which took any size
    dropRequest();
    // A translation still running must not leave its spinner turning over the entry.
    hideSpinner();
    current = {mode, entry.originalText, source};
    setResult(entry.resultText);
    showText(entry.resultText);
    setLabels(translation ? QStringLiteral("היסטוריה") : kKeyboardLayoutSource, QString());
    selectTab(current.mode);
}

void TranslationViewController::showPending(WindowId source)
{
    current = {TranslationMode::translate, QString(), source};
    setResult(QString());
    selectTab(TranslationMode::translate);
    showSpinner();
    sourceLabel->setFullText(QStringLiteral("קורא טקסט מהמסך..."));
    pendingDisplay = displayGeneration;
}

void TranslationViewController::showFailure(const QString& description)
{
    dropRequest();
    hideSpinner();
    setLabels(QString(), QString());
    showError(description);
}

void TranslationViewController::showTooLong(TranslationMode mode, WindowId source)
{
    dropRequest();
    hideSpinner();
    current = {mode, QString(), source}; // the tabs have nothing to run on
    setResult(QString());
    setLabels(QString(), QString());
    selectTab(mode);
    showError(TranslationError{TranslationError::Kind::textTooLong, 0, {}}.description());
}

void TranslationViewController::tabChanged()
{
    const QString& text = current.originalText;
    switch (tabControl->currentIndex()) {
    case 2:
        current.mode = TranslationMode::dateTime;
        startDateTimeDisplay(text);
        break;
    case 1:
        current.mode = TranslationMode::keyboardLayout;
        if (!text.isEmpty())
            startLayoutConversion(text);
        break;
    case 0:
        current.mode = TranslationMode::translate;
        if (!text.isEmpty())
            startTranslation(text);
        break;
    default:
        break;
    }
}

void TranslationViewController::startTranslation(const QString& text)
{
    const AppSettings settings = SettingsManager::shared().load();
    const QString target = TranslationService::smartTargetLanguage(text);
    showSpinner();
    translationInFlight = std::make_unique<QObject>();
    TranslationService::translate(
        text, settings, endpoints, target, translationInFlight.get(),
        [this, text, autoCopy = settings.autoCopyToClipboard](const TranslationOutcome& outcome) {
            hideSpinner();
            const auto* result = std::get_if<TranslationResult>(&outcome);
            if (!result)
                return showError(std::get<TranslationError>(outcome).description());
            setResult(result->translatedText);
            showText(result->translatedText);
            if (!result->detectedLanguage.isEmpty())
                sourceLabel->setFullText(QStringLiteral("זוהה: ") + result->detectedLanguage.toUpper());
            engineLabel->setText(result->engineName);
            engineLabel->setAccessibleName(result->engineName);
            if (autoCopy)
                desktop.clipboard().setText(result->translatedText);
            HistoryManager::shared().add(kTranslateType, text, result->translatedText);
        });
}

void TranslationViewController::startLayoutConversion(const QString& text)
{
    dropRequest();
    hideSpinner();
    const QString converted = KeyboardLayoutConverter::convert(text);
    setResult(converted);
    showText(converted);
    setLabels(kKeyboardLayoutSource, QString());
    HistoryManager::shared().add(kLayoutType, text, converted);
}

void TranslationViewController::startDateTimeDisplay(const QString& text)
{
    dropRequest();
    hideSpinner();
    const DateTimeResult reading = DateTimeService::compute(text);
    const QString composed = QStringLiteral("🕐 שעון מקומי (") + reading.timeZone + QStringLiteral("):\n") +
                             reading.localTime + QStringLiteral("\n\n🌍 לפי שעון UTC (רוחב 0):\n") + reading.utcTime +
                             QStringLiteral("\n\n✡️ לוח עברי:\n") + reading.hebrewDate;
    setResult(composed);
    showText(composed);
    setLabels(reading.sourceNote, QString());
}

void TranslationViewController::dropRequest()
{
    translationInFlight.reset();
    ++displayGeneration;
}

void TranslationViewController::showSpinner()
{
    dropRequest();
    showText(QString());
    setLabels(QString(), QString());
    spinner->show();
    spinner->raise();
    spinner->startAnimation();
}

void TranslationViewController::hideSpinner()
{
    spinner->stopAnimation();
    spinner->hide();
}

void TranslationViewController::showText(const QString& text)
{
    QPalette palette = textView->palette();
    palette.setColor(QPalette::Text, this->palette().color(QPalette::Text));
    textView->setPalette(palette);
    fillText(text);
}

void TranslationViewController::fillText(const QString& text)
{
    const quint64 fill = ++textFill;
    const qsizetype first = sliceEnd(text, 0);
    textView->setPlainText(first == text.size() ? text : text.first(first));
    if (first < text.size())
        appendSlices(text, first, fill);
}

void TranslationViewController::appendSlices(const QString& text, qsizetype from, quint64 fill)
{
    desktop.scheduler().after(0, this, [this, text, from, fill] {
        if (fill != textFill)
            return; // another text took the view
        const qsizetype end = sliceEnd(text, from);
        QTextCursor cursor(textView->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text.sliced(from, end - from));
        if (end < text.size())
            appendSlices(text, end, fill);
    });
}

void TranslationViewController::showError(const QString& description)
{
    QPalette palette = textView->palette();
    palette.setColor(QPalette::Text, errorColour());
    textView->setPalette(palette);
    fillText(QStringLiteral("שגיאה: ") + description);
}

void TranslationViewController::setLabels(const QString& source, const QString& engine)
{
    sourceLabel->setFullText(source);
    engineLabel->setText(engine);
    engineLabel->setAccessibleName(engine);
}

void TranslationViewController::selectTab(TranslationMode tab)
{
    const QSignalBlocker blocker(tabControl);
    tabControl->setCurrentIndex(int(tab));
}

void TranslationViewController::setResult(const QString& result)
{
    resultText = result;
    replaceButton->setEnabled(!result.isEmpty());
}

void TranslationViewController::copyResult()
{
    if (resultText.isEmpty())
        return;
    desktop.clipboard().setText(resultText);
    flashButton(copyButton, QStringLiteral("✓"), kCopyTitle);
}

void TranslationViewController::flashButton(QPushButton* button, const QString& title, const QString& restore)
{
    button->setText(title);
    desktop.scheduler().after(flashMs, button, [button, restore] { button->setText(restore); });
}

void TranslationViewController::replaceOriginalText()
{
    if (resultText.isEmpty())
        return;
    window()->hide();
    emit replaceRequested(resultText, current.sourceApp);
}

} // namespace vorlex
