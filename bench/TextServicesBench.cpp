// Throughput of the offline text services on 1 MiB of mixed Hebrew and English (and of fully pointed
// Hebrew, the hard case), each next to a bare ICU grapheme-break pass over the same text: the floor a
// pass that asks ICU about every character pays. Ratios print at the end; compute() per call.

#include "DateTimeService.h"
#include "KeyboardLayoutConverter.h"
#include "TranslationService.h"

#include <benchmark/benchmark.h>
#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <QString>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace {

using namespace vorlex;

QString mebibyteOf(const char* paragraphUtf8)
{
    const QString paragraph = QString::fromUtf8(paragraphUtf8);
    return paragraph.repeated((1 << 20) / paragraph.toUtf8().size() + 1);
}

// Typed-with-the-wrong-layout words, Hebrew, acronyms, a few pointed letters, punctuation, digits, emoji.
const QString& mixedText()
{
    static const QString text = mebibyteOf(
        "akuo ugkn, שלום עולם! This is a USA test of e.g. the layout; tbh it's OK.\t"
        "שָׁלוֹם לכולם 2024 — café résumé 👩‍💻 🇮🇱 בדיקה של יקךךם וגם "
        "hello,\n"
        "ים ושמיים, nrhsv asv atv 12.34.56 (Q&A) ורוד ירוק כחול.\r\n");
    return text;
}

// The hard case: every letter carries points, so no cluster is a single unit.
const QString& pointedText()
{
    static const QString text = mebibyteOf("בְּרֵאשִׁית בָּרָא אֱלֹהִים אֵת הַשָּׁמַיִם וְאֵת הָאָרֶץ akuo ");
    return text;
}

using TextSource = const QString& (*)();

void setBytes(benchmark::State& state, const QString& text)
{
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}

void graphemeFloor(benchmark::State& state, TextSource source)
{
    const QString& text = source();
    for (auto _ : state) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> iterator(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        UText* utext = utext_openUChars(nullptr, reinterpret_cast<const UChar*>(text.utf16()), text.size(), &status);
        iterator->setText(utext, status);
        utext_close(utext);
        int64_t clusters = 0;
        for (int32_t p = iterator->first(); p != icu::BreakIterator::DONE; p = iterator->next())
            ++clusters;
        benchmark::DoNotOptimize(clusters);
    }
    setBytes(state, text);
}
BENCHMARK_CAPTURE(graphemeFloor, mixed, mixedText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(graphemeFloor, pointed, pointedText)->Unit(benchmark::kMillisecond);

void convert(benchmark::State& state, TextSource source)
{
    const QString& text = source();
    for (auto _ : state)
        benchmark::DoNotOptimize(KeyboardLayoutConverter::convert(text));
    setBytes(state, text);
}
BENCHMARK_CAPTURE(convert, mixed, mixedText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(convert, pointed, pointedText)->Unit(benchmark::kMillisecond);

void smartTargetLanguage(benchmark::State& state, TextSource source)
{
    const QString& text = source();
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslationService::smartTargetLanguage(text));
    setBytes(state, text);
}
BENCHMARK_CAPTURE(smartTargetLanguage, mixed, mixedText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(smartTargetLanguage, pointed, pointedText)->Unit(benchmark::kMillisecond);

void computeTimestamp(benchmark::State& state)
{
    const QString text = QStringLiteral("1705276800");
    for (auto _ : state)
        benchmark::DoNotOptimize(DateTimeService::compute(text));
}
BENCHMARK(computeTimestamp)->Unit(benchmark::kMicrosecond);

void computeNow(benchmark::State& state)
{
    const QString text = QStringLiteral("not a timestamp");
    for (auto _ : state)
        benchmark::DoNotOptimize(DateTimeService::compute(text));
}
BENCHMARK(computeNow)->Unit(benchmark::kMicrosecond);

// The console report plus each benchmark's CPU time per iteration, for the ratios: CPU time, because
// the machines this runs on are shared and wall time swings with their load.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            // One figure per benchmark: the mean when repeated, else the run itself; the console's own
            // figure, in the benchmark's unit (the 1 MiB ones all use milliseconds).
            const std::string& name = run.run_name.function_name; // "convert/mixed"
            const bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
            if (mean || (run.run_type == Run::RT_Iteration && !means.count(name)))
                cpuTime[name] = run.GetAdjustedCPUTime();
            if (mean)
                means.insert(name);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpuTime;
    std::set<std::string> means;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto ratio = [&](const std::string& name, const std::string& text, double goal) {
        const auto time = reporter.cpuTime.find(name + '/' + text);
        const auto floor = reporter.cpuTime.find("graphemeFloor/" + text);
        if (time == reporter.cpuTime.end() || floor == reporter.cpuTime.end() || floor->second <= 0)
            return;
        const double value = time->second / floor->second;
        std::printf("  %-20s %-8s %.2fx (goal %.1fx or less: %s)\n", name.c_str(), text.c_str(), value, goal,
                    value <= goal ? "met" : "missed");
    };
    std::printf("\nCPU time against a bare ICU grapheme pass over the same 1 MiB:\n");
    for (const char* text : {"mixed", "pointed"}) {
        ratio("convert", text, 2.0);
        ratio("smartTargetLanguage", text, 1.5);
    }
    return 0;
}
