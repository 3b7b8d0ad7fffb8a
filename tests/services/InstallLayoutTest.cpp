// `cmake --install` of this build (vorlex and vorlex-cli built) into a temporary prefix puts each file
// where the desktop looks for it, and the tools that read the entries and the metadata accept them.

#include "TestSupport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlex;

TEST(InstallLayout, PutsEachFileWhereTheDesktopLooksForIt)
{
    QTemporaryDir prefix;
    const test::RunResult install = test::run("cmake", {"--install", VORLEX_BINARY_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();
    const auto contents = [&](const QString& path) { return QString::fromUtf8(test::readFile(prefix.filePath(path))); };

    const QString entry = "share/applications/org.vorlex.Vorlex.desktop";
    const QString autostart = "share/vorlex/vorlex-autostart.desktop";
    const QString metainfo = "share/metainfo/org.vorlex.Vorlex.metainfo.xml";
    const std::pair<QString, QString> cases[] = {
        {entry, "\nExec=vorlex [^\n]*%u\n"}, // the URL of a vorlex: link is handed over
        {entry, "\nMimeType=x-scheme-handler/vorlex;\n"},
        {entry, "\nIcon=vorlex\n"},
        {autostart, "\nExec=vorlex\n"},
        {"share/icons/hicolor/scalable/apps/vorlex.svg", "<svg"},
        {"share/dbus-1/services/org.vorlex.Vorlex.service", // at the prefix of the install, not of the build
         "\nName=org.vorlex.Vorlex\nExec=" + QRegularExpression::escape(prefix.path()) + "/libexec/vorlex/vorlex\n"},
        {metainfo, "<launchable type=\"desktop-id\">org.vorlex.Vorlex.desktop</launchable>"},
    };
    for (const auto& [path, pattern] : cases)
        EXPECT_TRUE(QRegularExpression(pattern).match(contents(path)).hasMatch()) << path;
    EXPECT_TRUE(QFileInfo(prefix.filePath("bin/vorlex-cli")).isExecutable());
    // The installed launcher finds the installed program: with no bus and no display, it is the
    // program that says so.
    const test::EnvGuard noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"), noX("DISPLAY", {}),
        noWayland("WAYLAND_DISPLAY", {});
    const test::RunResult launch = test::run(prefix.filePath("bin/vorlex"), {});
    EXPECT_EQ(launch.exitCode, 2) << launch.err.toStdString();
    EXPECT_TRUE(launch.err.contains("no X display")) << launch.err.toStdString();
    // Installing for everyone does not start Vorlex for everyone, and ships no program that takes its
    // translation endpoints from the environment.
    EXPECT_FALSE(QFileInfo::exists(prefix.filePath("etc/xdg/autostart")));
    EXPECT_FALSE(QFileInfo::exists(prefix.filePath("bin/vorlex-e2e")));
    EXPECT_FALSE(contents("libexec/vorlex/vorlex").contains("VORLEX_E2E_"));

    // Hints count too for desktop entries: stricter tools treat them as warnings (scripts/setup.sh installs both).
    const auto desktop = test::run("desktop-file-validate", {prefix.filePath(entry), prefix.filePath(autostart)});
    EXPECT_EQ(desktop.exitCode, 0);
    EXPECT_EQ((desktop.out + desktop.err).trimmed(), "");
    const auto metadata = test::run("appstreamcli", {"validate", "--no-net", prefix.filePath(metainfo)});
    EXPECT_EQ(metadata.exitCode, 0) << metadata.out.toStdString(); // its report always has words
}
