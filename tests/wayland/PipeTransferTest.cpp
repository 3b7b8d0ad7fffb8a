// Reading a clipboard source: the whole text, or the first maximumTextBytes + 1 bytes of one far too long.

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
    for (const auto& [sent, received] : {std::pair("שלום"_ba, "שלום"_ba), {big, big.first(maximumTextBytes + 1)}}) {
        QTemporaryFile source;
        ASSERT_TRUE(source.open() && source.write(sent) == sent.size() && source.flush() && source.seek(0));
        std::optional<std::optional<QByteArray>> answer;
        QObject context;
        wayland::PipeTransfer::read(dup(source.handle()), 5000, &context, [&](auto bytes) { answer = bytes; });
        EXPECT_TRUE(test::waitUntil([&] { return answer.has_value(); }));
        EXPECT_EQ(answer.value_or(std::nullopt), received);
    }
}

} // namespace
