// A small X client for the desktop-layer tests: one window with a text field that answers Ctrl+C
// and Ctrl+V like any application. It reports on stdout, one line each:
//   ready <window id>        shown, with the field focused
//   key <keycode> <mods>     a key press reached the field (mods: Qt modifier bits, hex)
//   text <base64 of UTF-8>   the field's text changed
// Arguments: --text <text> (initial text), --select (select all of it), --title <title>.

#include <QApplication>
#include <QCommandLineParser>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

void report(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class KeyLogger : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            report("key " + QByteArray::number(key->nativeScanCode()) + ' ' +
                   QByteArray::number(uint(key->modifiers()), 16));
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption textOption(QStringLiteral("text"), QStringLiteral("initial text"), QStringLiteral("text"));
    const QCommandLineOption selectOption(QStringLiteral("select"), QStringLiteral("select all of the text"));
    const QCommandLineOption titleOption(QStringLiteral("title"), QStringLiteral("window title"),
                                         QStringLiteral("title"), QStringLiteral("text field helper"));
    parser.addOptions({textOption, selectOption, titleOption});
    parser.process(app);

    QWidget window;
    window.setWindowTitle(parser.value(titleOption));
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    layout->addWidget(field);
    field->setText(parser.value(textOption));
    KeyLogger logger;
    field->installEventFilter(&logger);
    QObject::connect(field, &QLineEdit::textChanged,
                     [](const QString& text) { report("text " + text.toUtf8().toBase64()); });
    window.resize(360, 80);
    window.move(400, 300);
    window.show();
    window.raise();
    window.activateWindow();
    field->setFocus();
    if (parser.isSet(selectOption))
        field->selectAll();
    else
        field->deselect();

    // Ready once the window manager has given the window the focus.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.isActiveWindow() && field->hasFocus()) {
            poll.stop();
            report("ready " + QByteArray::number(quint64(window.winId())));
        }
    });
    poll.start(20);
    return app.exec();
}
