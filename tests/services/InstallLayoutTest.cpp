// The install tree: `cmake --install` of this build into a temporary prefix puts each file where
// the desktop looks for it, and the desktop entries, the D-Bus service file and the AppStream
// metadata are accepted by the tools that read them (when those tools are installed).
// Needs vorlex and vorlex-cli built in this build folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <ostream>

// Readable failure messages for QString comparisons.
static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString applicationId = QStringLiteral("org.vorlex.Vorlex");

// The cmake that configured this build, so the install runs with the same version.
QString cmakeCommand()
{
    QFile cache(QStringLiteral(VORLEX_BINARY_DIR "/CMakeCache.txt"));
    if (cache.open(QIODevice::ReadOnly)) {
        const QRegularExpression entry(QStringLiteral("^CMAKE_COMMAND:INTERNAL=(.+)$"),
                                       QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = entry.match(QString::fromUtf8(cache.readAll()));
        if (match.hasMatch())
            return match.captured(1).trimmed();
    }
    return QStringLiteral("cmake");
}

struct ProcessRun {
    int exitCode = -1;
    QString output;
};

ProcessRun runProcess(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, program + QStringLiteral(" did not finish: ") + process.errorString()};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

// Keys of one group of a desktop entry or D-Bus service file (both are the same key-file format).
QMap<QString, QString> keyFileGroup(const QString& path, const QString& group)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QString current;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            current = line.mid(1, line.size() - 2);
        else if (current == group && line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            keys.insert(line.section(QLatin1Char('='), 0, 0).trimmed(), line.section(QLatin1Char('='), 1).trimmed());
    }
    return keys;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class InstallLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(prefix.isValid());
        const ProcessRun install =
            runProcess(cmakeCommand(), {QStringLiteral("--install"), QStringLiteral(VORLEX_BINARY_DIR),
                                        QStringLiteral("--prefix"), prefix.path()});
        ASSERT_EQ(install.exitCode, 0) << "cmake --install failed (are vorlex and vorlex-cli built?):\n"
                                       << install.output.toStdString();
    }

    QString installed(const QString& relative) const { return prefix.filePath(relative); }
    QString desktopEntry() const
    {
        return installed(QStringLiteral("share/applications/%1.desktop").arg(applicationId));
    }
    QString autostartEntry() const { return installed(QStringLiteral("share/vorlex/vorlex-autostart.desktop")); }
    QString metainfo() const { return installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(applicationId)); }

    QTemporaryDir prefix;
};

TEST_F(InstallLayoutTest, PutsEachFileWhereTheDesktopLooksForIt)
{
    struct Case {
        QString path;
        bool executable;
    };
    const Case cases[] = {
        {QStringLiteral("bin/vorlex"), true},
        {QStringLiteral("bin/vorlex-cli"), true},
        {QStringLiteral("share/applications/org.vorlex.Vorlex.desktop"), false},
        {QStringLiteral("share/vorlex/vorlex-autostart.desktop"), false},
        {QStringLiteral("share/dbus-1/services/org.vorlex.Vorlex.service"), false},
        {QStringLiteral("share/icons/hicolor/scalable/apps/vorlex.svg"), false},
        {QStringLiteral("share/metainfo/org.vorlex.Vorlex.metainfo.xml"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const QFileInfo file(installed(c.path));
        EXPECT_TRUE(file.isFile());
        EXPECT_GT(file.size(), 0);
        EXPECT_EQ(file.isExecutable(), c.executable);
    }
    // Installing for everyone must not start Vorlex for everyone.
    EXPECT_FALSE(QFileInfo::exists(installed(QStringLiteral("etc/xdg/autostart"))));
}

TEST_F(InstallLayoutTest, ShipsOnlyTheProgramThatIgnoresTestEndpoints)
{
    EXPECT_FALSE(QFileInfo::exists(installed(QStringLiteral("bin/vorlex-e2e"))));
    // The variables that redirect translations are read by vorlex-e2e's own main only.
    EXPECT_FALSE(contents(installed(QStringLiteral("bin/vorlex"))).contains("VORLEX_E2E_"));
}

TEST_F(InstallLayoutTest, DBusCallStartsTheInstalledProgram)
{
    const auto service = keyFileGroup(installed(QStringLiteral("share/dbus-1/services/org.vorlex.Vorlex.service")),
                                      QStringLiteral("D-BUS Service"));
    EXPECT_EQ(service.value(QStringLiteral("Name")), applicationId);
    // The prefix given at install time, not the one chosen when the build was configured.
    const QString exec = service.value(QStringLiteral("Exec"));
    EXPECT_EQ(QDir::cleanPath(exec), QDir::cleanPath(installed(QStringLiteral("bin/vorlex"))));
    EXPECT_TRUE(QFileInfo(exec).isExecutable());
}

TEST_F(InstallLayoutTest, DesktopEntriesStartVorlexAndHandleItsUrls)
{
    const auto entry = keyFileGroup(desktopEntry(), QStringLiteral("Desktop Entry"));
    EXPECT_EQ(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    const QStringList exec = entry.value(QStringLiteral("Exec")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_FALSE(exec.isEmpty());
    EXPECT_EQ(QFileInfo(exec.first()).fileName(), QStringLiteral("vorlex"));
    EXPECT_TRUE(exec.contains(QStringLiteral("%u"))); // the URL is handed over as the argument
    const QStringList mimeTypes = entry.value(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    EXPECT_TRUE(mimeTypes.contains(QStringLiteral("x-scheme-handler/vorlex")));

    const auto autostart = keyFileGroup(autostartEntry(), QStringLiteral("Desktop Entry"));
    EXPECT_EQ(autostart.value(QStringLiteral("Exec")), QStringLiteral("vorlex"));

    // Both entries name an icon that is installed, and the icon is an SVG document.
    for (const auto& keys : {entry, autostart}) {
        const QString icon = keys.value(QStringLiteral("Icon"));
        SCOPED_TRACE(icon.toStdString());
        const QString svg = installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon));
        QXmlStreamReader reader(contents(svg));
        ASSERT_TRUE(reader.readNextStartElement()) << reader.errorString().toStdString();
        EXPECT_EQ(reader.name().toString(), QStringLiteral("svg"));
    }
}

TEST_F(InstallLayoutTest, DesktopEntriesPassDesktopFileValidate)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils)";
    for (const QString& path : {desktopEntry(), autostartEntry()}) {
        SCOPED_TRACE(path.toStdString());
        const ProcessRun check = runProcess(validator, {path});
        EXPECT_EQ(check.exitCode, 0);
        EXPECT_EQ(check.output.trimmed(), QString()); // hints count too: they are warnings on stricter tools
    }
}

TEST_F(InstallLayoutTest, AppStreamMetadataValidatesAndNamesTheInstalledEntry)
{
    QXmlStreamReader reader(contents(metainfo()));
    QString id;
    QString launchable;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("id") && id.isEmpty())
            id = reader.readElementText();
        else if (reader.isStartElement() && reader.name() == QLatin1String("launchable"))
            launchable = reader.readElementText();
    }
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(id, applicationId);
    EXPECT_TRUE(QFileInfo::exists(installed(QStringLiteral("share/applications/") + launchable)))
        << launchable.toStdString();

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (validator.isEmpty())
        GTEST_SKIP() << "appstreamcli is not installed (package appstream)";
    const ProcessRun check =
        runProcess(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo()});
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
}

} // namespace
