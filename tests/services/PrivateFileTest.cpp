// What survives when the program's files cannot be written or read: the settings window's save and a
// new result, each against a full disk (a file size limit of 0, which stops root too), an unreadable
// file, a second corruption and a killed write's leftovers.

#include "HistoryManager.h"
#include "SettingsManager.h"
#include "TestSupport.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace vorlex;

TEST(PrivateFileTest, AFailedWriteKeepsWhatWasThereAndTheNextResultWritesEverything)
{
    // The folder's files as "name=bytes"; "*" stands for bytes written anew. A full disk changes
    // nothing; once there is room, the next save and the next result write what they must.
    const QString settings = QJsonDocument(AppSettings{}.toJson()).toJson();
    // What a case is, the files before, the files after, whether the first save meets a full disk.
    const std::tuple<const char*, QStringList, QStringList, bool> cases[] = {
        {"full disk",
         {R"(defaults.json={"translationHistory_v1":[]})", "settings.json=" + settings},
         {"defaults.json=*", "settings.json=*"},
         true},
        {"full disk, unreadable files",
         {"defaults.json=[", "settings.json={"},
         {"defaults.json=*", "defaults.json.unreadable=[", "settings.json=*", "settings.json.bad={"},
         true},
        {"many corruptions, killed writes' leftovers (any six letters and digits, as mkostemp makes them)",
         {"defaults.json=[", "defaults.json.unreadable.2.k2BsPw=[", "defaults.json.qzmwxa=[", "settings.json={",
          "settings.json.Xq3TzA={", "settings.json.024680={", "settings.json.backup1=mine", "settings.json.bad=1",
          "settings.json.bad.2=2", "settings.json.bad.3=3"},
         {"defaults.json=*", "defaults.json.unreadable=[", "settings.json=*", "settings.json.backup1=mine",
          "settings.json.bad.2=2", "settings.json.bad.3=3", "settings.json.bad.4={"},
         false},
        {"a gap in the kept copies' numbers: the next is the highest + 1",
         {"defaults.json=[", "defaults.json.unreadable.3=3", "settings.json={", "settings.json.bad=1",
          "settings.json.bad.3=3"},
         {"defaults.json=*", "defaults.json.unreadable.3=3", "defaults.json.unreadable.4=[", "settings.json=*",
          "settings.json.bad=1", "settings.json.bad.3=3", "settings.json.bad.4={"},
         false},
    };
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit room{};
    ::getrlimit(RLIMIT_FSIZE, &room);
    for (const auto& [what, before, after, fullDisk] : cases) {
        SCOPED_TRACE(what);
        test::ConfigHomeGuard home;
        const QDir folder(home.vorlexConfigDir());
        for (const QString& file : before)
            ASSERT_TRUE(test::writeFile(folder.filePath(file.section('=', 0, 0)), file.section('=', 1).toUtf8()));
        HistoryManager history;
        const auto saveAndAdd = [&](bool diskFull) {
            const rlimit full{0, room.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, diskFull ? &full : &room);
            const bool saved = SettingsManager::shared().save(AppSettings{});
            history.add(u"layout"_s, u"akuo"_s, u"שלום"_s);
            history.flush();
            ::setrlimit(RLIMIT_FSIZE, &room);
            return saved;
        };
        const auto files = [&](const QStringList& expected) {
            QStringList listing;
            for (const QString& name : folder.entryList(QDir::Files))
                listing << name + '=' + (expected.contains(name + "=*") ? "*" : test::readFile(folder.filePath(name)));
            return listing;
        };
        EXPECT_EQ(saveAndAdd(fullDisk), !fullDisk);
        if (fullDisk) {
            EXPECT_EQ(files(before), before) << "a full disk changes nothing";
        }
        EXPECT_TRUE(saveAndAdd(false));
        EXPECT_EQ(files(after), after);
        EXPECT_EQ(HistoryManager().load(), history.load()) << "all that is in memory";
    }
}
