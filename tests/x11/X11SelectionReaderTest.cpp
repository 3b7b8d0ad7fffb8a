// The selection reader against owners of our own (clipboardownerhelper) that behave well and badly.

#include "X11SelectionReader.h"

#include "TestSupport.h"
#include "TextLimit.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace vorlex;
using namespace vorlex::test;

namespace {

const QString owner = QStringLiteral(VORLEX_BINARY_DIR "/tests/clipboardownerhelper");

qint64 peakKiB()
{
    QFile status(u"/proc/self/status"_s);
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmHWM:");
    return text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').value(0).toLongLong();
}

// The text or nothing within the time given, whatever the owner does: only text types in 8-bit units
// are text, and an owner that offers more than the limit gives its first maximumTextBytes + 1 bytes.
// Meanwhile the event loop never waits 100 ms, and memory never holds much more than the limit.
TEST(X11SelectionReader, ReadsTextWithinItsBoundsWhateverTheOwnerDoes)
{
    const QString tooLong = generatedClipboardText(maximumTextBytes + 1);
    const QString incrWhole = generatedClipboardText(900000);
    struct Case {
        const char* what;
        QStringList owner;
        int timeoutMs;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {"PRIMARY", {"--selection", "PRIMARY", "--text", "שלום"}, 2000, u"שלום"_s},
        {"STRING, as Latin-1", {"--type", "STRING", "--text", "é"}, 2000, QString::fromLatin1("é"_ba)},
        {"INTEGER in 32-bit units", {"--type", "INTEGER", "--format", "32", "--text", "aaaabaaa"}, 2000, {}},
        {"UTF8_STRING in 32-bit units", {"--format", "32", "--text", "aaaabaaa"}, 2000, {}},
        {"never answers", {"--answer", "never"}, 300, {}},
        {"one piece a second", {"--answer", "slow", "--bytes", "900000"}, 300, {}},
        {"dies in the middle", {"--answer", "die", "--bytes", "900000"}, 300, {}},
        {"INCR within the limit", {"--answer", "incr", "--bytes", "900000"}, 5000, incrWhole},
        {"one 16 MiB property", {"--bytes", QString::number(16 << 20)}, 20000, tooLong},
        {"200 MB by INCR", {"--answer", "incr", "--bytes", "200000000"}, 20000, tooLong},
    };
    const qint64 peakBefore = peakKiB();
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        ChildProcess helper(owner, row.owner);
        ASSERT_TRUE(helper.waitFor("ready"));
        const FreezeWatch freezes;
        std::optional<std::optional<QString>> answer;
        QObject context;
        x11::readSelection(qgetenv("DISPLAY"),
                           row.owner.contains(u"PRIMARY"_s) ? x11::Selection::primary : x11::Selection::clipboard,
                           row.timeoutMs, &context, [&](std::optional<QString> text) { answer = std::move(text); });
        EXPECT_FALSE(answer) << "never before returning";
        EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }, row.timeoutMs + 1000));
        EXPECT_EQ(answer.value_or(std::nullopt), row.text);
        EXPECT_LT(freezes.longestMs(), 100);
        EXPECT_LT(peakKiB() - peakBefore, 8 * maximumTextBytes / 1024);
    }
}

} // namespace
