#pragma once

// What the controller tests share: a local translation server answering "translated", the fake
// desktop, and the wired program (not launched) whose runner every entry calls.

#include "AppDelegate.h"
#include "DBusService.h"
#include "FakePlatform.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace vorlex::test {

using Shown = TranslationViewController::Shown;

// The stores the program hands in, here the ones that follow the test's XDG_CONFIG_HOME.
inline Stores sharedStores()
{
    return {SettingsManager::shared(), HistoryManager::shared(), HotkeyManager::shared()};
}

class AppFixture : public testing::Test {
protected:
    AppFixture() { server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(u"translated"_s, u"he"_s)); }
    // What the popup was last asked to show; nothing before it was.
    std::optional<Shown> popup() const
    {
        return runner.popup() ? std::optional(runner.popup()->shown()) : std::nullopt;
    }

    LocalHttpServer server;
    FakePlatform platform;
    DBusService services;
    AppDelegate delegate{
        platform, {server.baseUrl(), server.baseUrl(), server.baseUrl()}, sharedStores(), {}, &services};
    ActionRunner& runner = delegate.runner();
};

} // namespace vorlex::test
