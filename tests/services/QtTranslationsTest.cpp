#include "QtTranslations.h"

#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <optional>

using namespace vorlex;

// Qt's own words from its Hebrew catalogue, not copies of ours: what a hung server ends in (vorlex-cli's
// line when nothing listens: VorlexCliTest).
TEST(QtTranslationsTest, ATimeoutReadsInQtsHebrew)
{
    ASSERT_TRUE(QtTranslations::install()) << "qt6-translations-l10n is not installed";
    const QString timedOut = QCoreApplication::translate("QNativeSocketEngine", "Network operation timed out");
    test::LocalHttpServer server;
    server.setDefaultReply(test::LocalHttpServer::Reply::hanging());
    std::optional<TranslationOutcome> outcome;
    TranslationService::translate(u"שלום"_s, {}, {server.baseUrl(), {}, {}, 300}, std::nullopt, nullptr,
                                  [&](auto result) { outcome = result; });
    ASSERT_TRUE(test::waitUntil([&] { return outcome.has_value(); }));
    EXPECT_EQ(std::get<TranslationError>(*outcome).detail, timedOut);
}
