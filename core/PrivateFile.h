#pragma once

// The per-user folder the settings and the history live in, and the one way files are written
// there: atomically and readable by the owner only (they may hold the DeepL key or private text).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vorlex {

// $XDG_CONFIG_HOME, or ~/.config without it; read from the environment at every call.
QString configHome();

// configHome()/VorlexMac. The first call for a folder in this process creates it owner-only (one that
// exists is left as the user set it) and removes the temporary files of writes that were killed.
QString configFolder();

// A file written in pieces into a temporary file beside path (mode 0600, locked while it is written)
// and put in place in one step by commit(): until then the old file, or none, stays as it was. The
// first failure sticks: every later call returns false and errorString() names it.
class PrivateFile {
public:
    explicit PrivateFile(QString path); // creates missing folders owner-only
    ~PrivateFile();                     // removes the temporary file unless it was committed
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    bool write(QByteArrayView bytes);
    // length bytes of the file open as fd, from offset, copied by the kernel where it can.
    bool copy(int fd, qint64 offset, qint64 length);
    // Every byte on disk (fsync, where the file system has it), then path replaced, and the new name
    // on disk too unless a later commit in the same folder will see to it (flushFolder false).
    bool commit(bool flushFolder = true);

    qint64 size() const { return written; }
    int handle() const { return fd; } // open until destruction, after commit() too
    QString errorString() const { return error; }

private:
    bool fail(const char* step);

    QString path;
    QByteArray temporary;
    int fd = -1;
    qint64 written = 0;
    bool committed = false;
    QString error;
};

// path replaced with bytes, or left as it was; why (when given) says what failed.
bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* why = nullptr);

// Keeps bytes that could not be read beside their file, under a name no earlier copy has: name,
// then name.2, name.3 and on; only the newest keptCopies stay.
constexpr int keptCopies = 3;
bool keepAside(const QString& name, const QByteArray& bytes, QString* why = nullptr);

} // namespace vorlex
