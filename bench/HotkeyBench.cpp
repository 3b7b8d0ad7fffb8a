// The hotkey path, measured two ways:
//  - matching one key press against the hotkeys (Google Benchmark; goal: under 100 ns, and no
//    allocation);
//  - a key press injected with XTEST until actionHandler runs, through the real X11 layer
//    (median and p95; goal: median under 2 ms). Only when DISPLAY is set.

#include "HotkeyManager.h"
#include "X11Hotkeys.h"
#include "X11InputSynthesizer.h"
#include "X11Platform.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<long> allocations{0};

} // namespace

// Never inlined: GCC 14 would otherwise pair what std::malloc returned with an operator delete, or what a
// new-expression returned with std::free, and warn of a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace vorlex;

namespace {

constexpr quint32 tKey = 28;
constexpr quint32 aKey = 38;

// The work of the X11 layer on a hotkey press (no other key reaches the program).
void matchKey(benchmark::State& state, x11::KeyPress press)
{
    const x11::X11HotkeyTable table(HotkeyManager::hotkeys(AppSettings{}));
    const long before = allocations;
    for (auto _ : state) {
        benchmark::DoNotOptimize(press);
        benchmark::DoNotOptimize(table.match(press));
    }
    state.counters["allocations"] = double(allocations - before);
}
BENCHMARK_CAPTURE(matchKey, TypedLetter, x11::KeyPress{aKey, 0});
BENCHMARK_CAPTURE(matchKey, Hotkey, x11::KeyPress{tKey, ControlModifier | ShiftModifier});

// XTEST press of T (Ctrl and Shift already held) to actionHandler.
void measureInjectedLatency(int argc, char** argv)
{
    QApplication app(argc, argv);
    const auto platform = createX11Platform();
    HotkeyManager manager;
    manager.applySettings(AppSettings{});
    bool fired = false;
    manager.actionHandler = [&fired](HotkeyManager::Action) { fired = true; };
    manager.installMonitor(*platform);

    x11::X11InputSynthesizer synthesizer;
    if (!synthesizer.isValid()) {
        std::puts("xtest latency: no X connection");
        return;
    }
    constexpr int rounds = 200;
    std::vector<double> microseconds;
    for (int round = 0; round < rounds + 5; ++round) {
        synthesizer.pressKey(37);
        synthesizer.pressKey(50);
        fired = false;
        QElapsedTimer clock;
        clock.start();
        synthesizer.pressKey(tKey);
        while (!fired && clock.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double elapsed = double(clock.nsecsElapsed()) / 1000.0;
        synthesizer.releaseAll();
        QCoreApplication::processEvents();
        if (round >= 5 && fired) // the first rounds warm up the connection
            microseconds.push_back(elapsed);
    }
    if (microseconds.empty()) {
        std::puts("xtest latency: the hotkey never fired");
        return;
    }
    std::sort(microseconds.begin(), microseconds.end());
    const auto at = [&](double q) { return microseconds[std::size_t(q * double(microseconds.size() - 1))]; };
    std::printf("xtest press to actionHandler over %zu presses: median %.0f us, p95 %.0f us, max %.0f us\n",
                microseconds.size(), at(0.5), at(0.95), microseconds.back());
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (std::getenv("DISPLAY"))
        measureInjectedLatency(argc, argv);
    else
        std::puts("xtest latency: skipped (no DISPLAY)");
    return 0;
}
