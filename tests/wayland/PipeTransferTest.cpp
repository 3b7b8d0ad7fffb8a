// Reading a clipboard source far too long: its first maximumTextBytes + 1 bytes (a short one is read
// whole in the sway journeys, where every capture and replace comes through here).

#include "PipeTransfer.h"

#include "TestSupport.h"
#include "TextLimit.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace vorlex;

namespace {

TEST(PipeTransfer, ReadsATextWithinTheLimitAndNoMore)
{
    const QByteArray big = QByteArray("שלום עולם\n").repeated(500000); // 9 MB
    QTemporaryFile source;
    ASSERT_TRUE(source.open() && source.write(big) == big.size() && source.flush() && source.seek(0));
    std::optional<std::optional<QByteArray>> answer;
    QObject context;
    wayland::PipeTransfer::read(dup(source.handle()), 5000, &context, [&](auto bytes) { answer = bytes; });
    EXPECT_TRUE(test::waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(answer.value_or(std::nullopt), big.first(maximumTextBytes + 1));
}

} // namespace
