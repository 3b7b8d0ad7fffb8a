#pragma once

// What the controller tests share: a local translation server answering
// "translated", the fake desktop, and the wired program (not launched) whose runner every entry calls.

#include "AppDelegate.h"
#include "DBusService.h"
#include "FakePlatform.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace vorlex {

inline void PrintTo(const TranslationViewController::Shown& shown, std::ostream* out)
{
    *out << int(shown.mode) << " \"" << shown.originalText << "\" from " << shown.sourceApp;
}

namespace test {

using Shown = TranslationViewController::Shown;

// What runner's popup was last asked to show; nothing before it was.
inline std::optional<Shown> shownBy(const ActionRunner& runner)
{
    return runner.popup() ? std::optional(runner.popup()->shown()) : std::nullopt;
}

class AppFixture : public testing::Test {
protected:
    AppFixture() { server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(u"translated"_s, u"he"_s)); }
    std::optional<Shown> popup() const { return shownBy(runner); }

    LocalHttpServer server;
    const TranslationEndpoints endpoints{server.baseUrl(), server.baseUrl(), server.baseUrl()};
    FakePlatform platform;
    DBusService services;
    AppDelegate delegate{platform, endpoints, {}, &services};
    ActionRunner& runner = delegate.runner();
};

} // namespace test
} // namespace vorlex
