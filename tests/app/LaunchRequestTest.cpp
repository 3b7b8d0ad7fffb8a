#include "LaunchRequest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex;

// Only the first argument counts, except a link opened on the desktop and a hotkey. A typed vorlex:
// URL gives its "text" item, an empty one included, and never its path; an opened one falls back to
// its path. Only percent-escapes are decoded.
TEST(LaunchRequestTest, ArgumentsAndTheTextTheyShow)
{
    using enum LaunchRequest::Kind;
    const std::tuple<QStringList, LaunchRequest::Kind, QString> cases[] = {
        {QStringList(), none, QString()},
        {{u"--settings"_s, u"hello"_s}, settings, {}},
        {{u"hello"_s, u"--settings"_s}, text, u"hello"_s},
        {{u"vorlex:?other=x&text=1+1%20a&text=b#f"_s}, text, u"1+1 a"_s},
        {{u"vorlex:?text"_s}, text, u"vorlex:?text"_s},
        {{u"vorlex:///abc?text="_s}, text, {}},
        {{u"vorlex:///hello%20world"_s}, text, u"vorlex:///hello%20world"_s},
        {{u"--open-url"_s, u"vorlex:///hello%20world/"_s}, openUrl, u"hello world"_s},
        {{u"--open-url"_s, u"vorlex:///abc?text="_s}, openUrl, u"abc"_s},
        {{u"--open-url"_s, u"vorlex:?text=&x=1"_s}, openUrl, {}},
        {{u"--open-url"_s, u"vorlex://"_s}, openUrl, {}},
        {{u"--open-url"_s}, openUrl, {}},
        {{u"--hotkey"_s, u"layout"_s, u"x"_s}, hotkey, {}},
    };
    for (const auto& [arguments, kind, shown] : cases) {
        SCOPED_TRACE(arguments.join(u' '));
        const LaunchRequest request = std::get<LaunchRequest>(LaunchRequest::parse(arguments));
        EXPECT_EQ(request.kind, kind);
        EXPECT_EQ(request.popupText(), shown);
    }
    EXPECT_EQ(std::get<LaunchRequest>(LaunchRequest::parse({u"--hotkey"_s, u"layout"_s})).value, u"layout"_s);
    EXPECT_EQ(std::get<QString>(LaunchRequest::parse({u"--hotkey"_s, u"Layout"_s})),
              u"vorlex: --hotkey takes translate, layout or replace\n"_s);
}
