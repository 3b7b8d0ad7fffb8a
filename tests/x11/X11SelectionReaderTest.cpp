// The selection reader against owners that behave well and badly (clipboardowner.py).

#include "X11SelectionReader.h"

#include "TestSupport.h"
#include "TextLimit.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace vorlex;
using namespace vorlex::test;

namespace {

qint64 peakKiB()
{
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;
}

// The text or nothing within the time given, whatever the owner does: only text types in 8-bit units
// are text, and an owner that offers more than the limit gives its first maximumTextBytes + 1 bytes.
// Meanwhile the event loop never sleeps 100 ms, and memory holds a few times the limit at most (with
// AddressSanitizer too, which keeps what was freed for a while).
TEST(X11SelectionReader, ReadsTextWithinItsBoundsWhateverTheOwnerDoes)
{
    const QByteArray line = QByteArray("שלום עולם\n"); // what --chars serves, 18 bytes
    const auto served = [&](qsizetype bytes) { return QString::fromUtf8(line.repeated(bytes / 18 + 1).first(bytes)); };
    const std::tuple<QStringList, int, std::optional<QString>> cases[] = {
        {{"--selection", "PRIMARY", "--serve", "שלום"}, 2000, u"שלום"_s},
        {{"--format", "STRING", "--serve", "é"}, 2000, u"é"_s},                 // sent as Latin-1
        {{"--format", "INTEGER", "--serve", "1633771873"}, 2000, std::nullopt}, // UTF8_STRING in 32-bit units
        {{"--answer", "never", "--serve", "x"}, 300, std::nullopt},
        {{"--answer", "slow", "--chars", "50000"}, 300, std::nullopt},
        {{"--answer", "die", "--chars", "50000"}, 300, std::nullopt},
        {{"--selection", "PRIMARY", "--chars", "800000"}, 20000, served(1440000)},                // by INCR
        {{"--selection", "PRIMARY", "--chars", "10000000"}, 20000, served(maximumTextBytes + 1)}, // 18 MB
        {{"--chars", "111111112"}, 20000, served(maximumTextBytes + 1)},                          // 200 MB by INCR
    };
    const qint64 peakBefore = peakKiB();
    for (const auto& [owner, timeoutMs, text] : cases) {
        SCOPED_TRACE(owner.join(u' '));
        ChildProcess helper(u"/usr/bin/python3"_s,
                            QStringList{VORLEX_SOURCE_DIR "/tests/support/clipboardowner.py"} + owner);
        ASSERT_TRUE(helper.waitFor("ready"));
        const FreezeWatch freezes;
        std::optional<std::optional<QString>> answer;
        QObject context;
        x11::readSelection(qgetenv("DISPLAY"),
                           owner.contains(u"PRIMARY"_s) ? x11::Selection::primary : x11::Selection::clipboard,
                           timeoutMs, &context, [&](std::optional<QString> read) { answer = std::move(read); });
        EXPECT_FALSE(answer) << "never before returning";
        EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }, timeoutMs + 1000));
        EXPECT_EQ(answer.value_or(std::nullopt), text);
        EXPECT_LT(freezes.longestMs(), 100);
        EXPECT_LT(peakKiB() - peakBefore, 16 * maximumTextBytes / 1024); // 200 MB were on offer
    }
}

} // namespace
