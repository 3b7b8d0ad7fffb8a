// A small X client for the desktop tests: one window with a text field that answers Ctrl+C and Ctrl+V
// like any application. Arguments: --text TEXT (initial text), --select (select all of it).
// It reports on stdout, one line each (the helper-child protocol of test::ChildProcess):
//   ready <window id>        shown, with the field focused (once)
//   key <keycode> <mods>     a key press reached the field (mods: Qt modifier bits, hex)
//   text <base64 of UTF-8>   the field's text, at the start and after each change

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <cstdio>

namespace {

void report(const QByteArray& line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

class Reporter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            report("key " + QByteArray::number(key->nativeScanCode()) + ' ' +
                   QByteArray::number(uint(key->modifiers()), 16));
        } else if (event->type() == QEvent::FocusIn && !ready) {
            ready = true; // focus reaches a widget only once its window is active
            report("ready " + QByteArray::number(quint64(static_cast<QWidget*>(watched)->winId())));
        }
        return false;
    }

private:
    bool ready = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    QLineEdit field;
    if (const qsizetype text = arguments.indexOf(QStringLiteral("--text")); text > 0)
        field.setText(arguments.value(text + 1));
    if (arguments.contains(QStringLiteral("--select")))
        field.selectAll();
    Reporter reporter;
    field.installEventFilter(&reporter);
    const auto reportText = [](const QString& text) { report("text " + text.toUtf8().toBase64()); };
    reportText(field.text());
    QObject::connect(&field, &QLineEdit::textChanged, reportText);
    field.setGeometry(400, 300, 360, 40);
    field.show();
    field.activateWindow();
    field.setFocus();
    return app.exec();
}
