// The floor for whole-program measurements: the least a Qt tray program can be, a bare
// QApplication with a tray icon and a menu.

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &app, &QCoreApplication::quit);
    QSystemTrayIcon icon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
    icon.setContextMenu(&menu);
    icon.show();
    return app.exec();
}
