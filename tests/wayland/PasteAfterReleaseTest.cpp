// A portal paste never goes out while the hotkey's modifiers may still be held: on a virtual clock,
// when Ctrl+V goes out after a copy, with the keyboard seen (an X window has the focus) or not.

#include "PasteAfterRelease.h"
#include "FakePlatform.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

class Keyboard final : public HeldModifiers {
public:
    std::optional<quint32> now() const override { return held(*clock); }
    std::function<std::optional<quint32>(int)> held;
    const int* clock = nullptr;
};

TEST(PasteAfterRelease, WaitsUntilTheModifiersAreLetGo)
{
    using wayland::modifierGiveUpMs, wayland::modifierHoldMs;
    const auto unseen = [](int) { return std::optional<quint32>(); };
    const auto shiftUntil = [](int release) {
        return [release](int now) { return std::optional<quint32>(now < release ? quint32(ShiftModifier) : 0); };
    };
    struct Case {
        const char* name;
        bool copied; // the action began with a copy at 0 ms; the paste is asked for at 100 ms
        std::function<std::optional<quint32>(int)> held;
        int pastedAt; // -1: never
    };
    const Case cases[] = {
        {"a Wayland window: held as long as a hand may hold them", true, unseen, modifierHoldMs},
        {"no copy before (the popup's button)", false, unseen, 100},
        {"an X window, let go of", true, shiftUntil(0), 100},
        {"an X window, Shift held a while", true, shiftUntil(400), 400},
        {"an X window, Shift held for good", true, shiftUntil(1'000'000), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int clock = 0;
        auto keyboard = std::make_unique<Keyboard>();
        std::tie(keyboard->held, keyboard->clock) = std::pair(c.held, &clock);
        FakePlatform desktop;
        FakeScheduler scheduler;
        const auto keys = wayland::createPasteAfterRelease(std::make_unique<ForwardingKeySender>(desktop.keySender()),
                                                           std::move(keyboard), scheduler);
        const auto step = [&](int until) {
            for (; clock < until; clock += 5)
                scheduler.advance(5);
        };
        if (c.copied)
            keys->sendCopy();
        step(100);
        bool done = false;
        QObject context;
        keys->sendPaste();
        keys->whenSent(&context, [&] { done = true; });
        int pastedAt = -1;
        for (; clock < modifierGiveUpMs + 500 && pastedAt < 0; step(clock + 5))
            pastedAt = desktop.log.contains(u"paste"_s) ? clock : -1;
        if (c.pastedAt < 0)
            EXPECT_EQ(pastedAt, -1);
        else
            EXPECT_TRUE(pastedAt >= c.pastedAt && pastedAt <= c.pastedAt + 30) << pastedAt;
        EXPECT_TRUE(done) << "whenSent runs once the paste went out or was given up";
    }
}

} // namespace
