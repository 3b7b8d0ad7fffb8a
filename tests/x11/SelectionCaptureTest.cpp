// Captures against real X clients: a Tk application, a stand-in for LibreOffice Writer
// (clipboardownerhelper: it copies without taking the clipboard again), and clipboard owners that
// answer badly.

#include "SelectionCapture.h"

#include "TestSupport.h"
#include "TextLimit.h"
#include "X11Platform.h"

#include <gtest/gtest.h>

using namespace vorlex;
using namespace vorlex::test;

namespace {

const QString owner = QStringLiteral(VORLEX_BINARY_DIR "/tests/clipboardownerhelper");

class SelectionCaptureTest : public ::testing::Test {
protected:
    // What a capture from the focused window gives.
    std::optional<QString> capture()
    {
        std::optional<std::optional<QString>> result;
        captures.capture(&context, 0, {}, [&](std::optional<QString> text) { result = std::move(text); });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(std::nullopt);
    }

    std::unique_ptr<Platform> platform = createX11Platform();
    SelectionCapture captures{*platform};
    QObject context;
};

// An application that copies again without taking the clipboard again: the text the clipboard serves
// after the copy key is the copy where it differs from before; what was there before never is.
TEST_F(SelectionCaptureTest, ACopyWithoutANewOwnerIsTakenAndNothingElse)
{
    struct Case {
        const char* what;
        QString program;
        QStringList arguments;
        QList<std::optional<QString>> captured; // one capture after another
    };
    const Case cases[] = {
        {"Tk",
         u"/usr/bin/python3"_s,
         {VORLEX_SOURCE_DIR "/tests/support/tkeditor.py", "one", "two", ""},
         {u"one"_s, u"two"_s, std::nullopt}},
        {"stand-in", owner, {"--text", "before", "--copy", "after"}, {u"after"_s, std::nullopt}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        ChildProcess editor(row.program, row.arguments);
        ASSERT_TRUE(editor.waitFor("ready"));
        for (const std::optional<QString>& text : row.captured)
            EXPECT_EQ(capture(), text);
    }
}

// However the clipboard's owner answers once it took the copy (never, a piece a second, dying in the
// middle, far more than the limit), the capture costs the event loop nothing and the next one works.
TEST_F(SelectionCaptureTest, ABadlyBehavedOwnerCostsOnlyItsOwnCapture)
{
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"never", QString()},
        {"slow", QString()},
        {"die", std::nullopt}, // already while asked what it served before the copy key
        {"incr", generatedClipboardText(maximumTextBytes + 1)},
    };
    for (const auto& [answer, text] : cases) {
        SCOPED_TRACE(answer);
        {
            ChildProcess bad(owner, {"--answer", answer, "--bytes", "200000000", "--retake", "1"});
            ASSERT_TRUE(bad.waitFor("ready"));
            const FreezeWatch freezes;
            EXPECT_EQ(capture(), text);
            EXPECT_LT(freezes.longestMs(), 100);
        }
        ChildProcess good(owner, {"--copy", "next", "--retake", "1"});
        ASSERT_TRUE(good.waitFor("ready"));
        EXPECT_EQ(capture(), u"next"_s);
    }
}

} // namespace
