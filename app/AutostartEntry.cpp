#include "AutostartEntry.h"

#include "PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

// The shipped entry is a resource of the static library; see StatusBarController.cpp.
static void initShippedResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace vorlex {

namespace {

// An Exec argument: quoted when it holds a reserved character, with ", `, $ and \ escaped inside
// the quotes; then the escapes of every string value, applied on top, and % doubled (field codes).
QString execArgument(const QString& program)
{
    const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    QString argument = program;
    if (std::any_of(program.begin(), program.end(), [&](QChar c) { return reserved.contains(c); })) {
        argument.clear();
        for (const QChar c : program) {
            if (QStringLiteral("\"`$\\").contains(c))
                argument += QLatin1Char('\\');
            argument += c;
        }
        argument = QLatin1Char('"') + argument + QLatin1Char('"');
    }
    argument.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    argument.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    argument.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    argument.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return argument;
}

} // namespace

AutostartEntry::AutostartEntry(QString programPath) : program(std::move(programPath)) {}

QString AutostartEntry::path()
{
    return QDir(configHome()).filePath(QStringLiteral("autostart/vorlex-autostart.desktop"));
}

bool AutostartEntry::isInstalled()
{
    return QFileInfo(path()).isFile();
}

QByteArray AutostartEntry::contents() const
{
    initShippedResources();
    QFile shipped(QStringLiteral(":/vorlex/vorlex-autostart.desktop"));
    if (!shipped.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(shipped.readAll()).split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            line = QStringLiteral("Exec=") + execArgument(program);
    }
    return lines.join(QLatin1Char('\n')).toUtf8();
}

bool AutostartEntry::setInstalled(bool installed) const
{
    const QString file = path();
    if (!installed)
        return QFile::remove(file) || !QFileInfo::exists(file);
    if (isInstalled())
        return true;
    const QByteArray bytes = contents();
    return !bytes.isEmpty() && writePrivateFile(file, bytes);
}

} // namespace vorlex
