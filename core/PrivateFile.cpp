#include "PrivateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace vorlex {

QString configFolder()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(configHome).filePath(QStringLiteral("VorlexMac"));
}

bool writePrivateFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath()); // a failure shows up at open
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0 || file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace vorlex
