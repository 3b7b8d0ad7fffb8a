#include "TranslationViewController.h"

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

const QString kCopyTitle = QStringLiteral("העתק");
const QString kReplaceTitle = QStringLiteral("החלף");

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
                                                     Stores stores, QWidget* parent)
    : QWidget(parent), desktop(platform), session(platform, where, stores), tabControl(new QTabBar(this)),
      textView(new ClickCopyTextView(this)), sourceLabel(new ElidingLabel(this)), engineLabel(new QLabel(this)),
      copyButton(new QPushButton(this)), replaceButton(new QPushButton(this)), spinner(new BusySpinner(this))
{
    setupUI();
    connect(&session, &PopupSession::displayChanged, this, [this](const PopupDisplay& display) { render(display); });
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

void TranslationViewController::tabChanged()
{
    const int index = tabControl->currentIndex();
    if (index >= 0)
        session.choose(TranslationMode(index));
}

void TranslationViewController::render(const PopupDisplay& display)
{
    {
        const QSignalBlocker blocker(tabControl); // only the user's choice runs tabChanged()
        tabControl->setCurrentIndex(int(display.tab));
    }
    if (display.busy) {
        spinner->show();
        spinner->raise();
        spinner->startAnimation();
    } else {
        spinner->stopAnimation();
        spinner->hide();
    }
    QPalette palette = textView->palette();
    palette.setColor(QPalette::Text, display.error ? errorColour() : this->palette().color(QPalette::Text));
    textView->setPalette(palette);
    fillText(display.text);
    sourceLabel->setFullText(display.source);
    engineLabel->setText(display.engine);
    engineLabel->setAccessibleName(display.engine);
    replaceButton->setEnabled(!session.result().isEmpty());
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

void TranslationViewController::copyResult()
{
    if (session.result().isEmpty())
        return;
    desktop.clipboard().setText(session.result());
    flashButton(copyButton, QStringLiteral("✓"), kCopyTitle);
}

void TranslationViewController::flashButton(QPushButton* button, const QString& title, const QString& restore)
{
    button->setText(title);
    desktop.scheduler().after(flashMs, button, [button, restore] { button->setText(restore); });
}

void TranslationViewController::replaceOriginalText()
{
    if (session.result().isEmpty())
        return;
    window()->hide();
    emit replaceRequested(session.result(), session.shown().sourceApp);
}

} // namespace vorlex
