// A portal paste never goes out while the hotkey's modifiers may still be held: on a virtual clock,
// when Ctrl+V goes out after a copy, with the keyboard seen (an X window has the focus) or not.

#include "PasteAfterRelease.h"
#include "FakePlatform.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

// Shift held until releasedAt on the virtual clock; unseen where releasedAt is negative.
struct Keyboard final : HeldModifiers {
    Keyboard(const int& now, int released) : clock(now), releasedAt(released) {}
    std::optional<quint32> now() const override
    {
        return releasedAt < 0 ? std::nullopt : std::optional<quint32>(clock < releasedAt ? quint32(ShiftModifier) : 0);
    }
    const int& clock;
    int releasedAt;
};

TEST(PasteAfterRelease, WaitsUntilTheModifiersAreLetGo)
{
    // The action began with a copy at 0 ms (or none); the paste is asked for at 100 ms and goes out
    // when (-1: never), the keyboard seen released at (see Keyboard).
    const std::tuple<const char*, bool, int, int> cases[] = {
        {"a Wayland window: held as long as a hand may hold them", true, -1, wayland::modifierHoldMs},
        {"no copy before (the popup's button)", false, -1, 100},
        {"an X window, Shift held a while", true, 400, 400},
        {"an X window, Shift held for good", true, 1'000'000, -1},
    };
    for (const auto& [name, copied, releasedAt, expected] : cases) {
        SCOPED_TRACE(name);
        int clock = 0;
        FakePlatform desktop;
        FakeScheduler scheduler;
        const auto keys = wayland::createPasteAfterRelease(std::make_unique<ForwardingKeySender>(desktop.keySender()),
                                                           std::make_unique<Keyboard>(clock, releasedAt), scheduler);
        if (copied)
            keys->sendCopy();
        bool done = false;
        QObject context;
        int pastedAt = -1;
        for (; clock < wayland::modifierGiveUpMs + 500 && pastedAt < 0; clock += 5, scheduler.advance(5)) {
            if (clock == 100) {
                keys->sendPaste();
                keys->whenSent(&context, [&] { done = true; });
            }
            pastedAt = desktop.log.contains(u"paste"_s) ? clock : -1;
        }
        EXPECT_TRUE(expected < 0 ? pastedAt < 0 : pastedAt >= expected && pastedAt <= expected + 30) << pastedAt;
        EXPECT_TRUE(done) << "whenSent runs once the paste went out or was given up";
    }
}

} // namespace
