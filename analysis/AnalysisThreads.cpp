#include "analysis/AnalysisThreads.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>

#include "analysis/FilterBank.h"
#include "analysis/SampleFormat.h"
#include "platform/Event.h"
#include "platform/WorkerThread.h"

namespace tev {

double scopeTrace[kDeckCount][kScopePoints] = {};
double octaveLevels[kDeckCount][kOctaveBands] = {};
float chartMax[kDeckCount][kChartEntries] = {};
float chartMin[kDeckCount][kChartEntries] = {};
int32_t chartIndex[kDeckCount] = {};

namespace {

constexpr uint32_t kFrames = kChunkFrames;
constexpr float kFullScale = 32767.0F;
// The octave levels move 61.8 % of the way to each new chunk's level: steady within a few
// chunks, yet not jumping with every drum beat.
constexpr double kOctaveKeep = 0.382;
constexpr double kOctaveTake = 0.618;
constexpr int kChartBands = 3;
constexpr int kOctaveLayout = 1;

// The decks' analysis rings: the main output's streaming buffers, slot for slot.
int16_t analysisRing[kDeckCount][AnalysisThreads::kRingSamples];

}  // namespace

// One persistent worker: what it computes, for which deck, and its hand-over with Analyze. It is
// shared with its thread, so that the thread's last Set of `ended` never touches freed memory.
struct AnalysisThreads::Worker {
    Worker(int d, Kind k, Event& doneEvent) : deck(d), kind(k), done(doneEvent) {}

    void Run() noexcept;
    void ChartBand(const int16_t* chunk) noexcept;
    void ChartRaw(const int16_t* chunk) noexcept;
    void Octave(const int16_t* chunk) noexcept;
    void Scope(const int16_t* chunk) noexcept;
    // (left + right) / 2 of the interleaved chunk, as the scope and the chart take it.
    void MonoHalved(const int16_t* chunk) noexcept;

    const int deck;
    const Kind kind;
    Event& done;
    Event wake{Event::Auto, false};
    Event ended{Event::Manual, false};
    std::atomic<bool> quit{false};
    // The request, written before `wake` is set and read after it is consumed.
    int chunk = 0;
    bool raw = false;

    int16_t left[kFrames] = {};
    int16_t right[kFrames] = {};
    int16_t mono16[kFrames] = {};
    float interleaved[kChunkBytes / 2] = {};
    float leftF[kFrames] = {};
    float rightF[kFrames] = {};
    float mono[kFrames] = {};
};

void AnalysisThreads::Worker::Run() noexcept {
    for (;;) {
        wake.Wait();
        if (quit.load()) {
            break;
        }
        const int c = kind == kChart ? (chunk + kChartLead) % static_cast<int>(kDeckSlots) : chunk;
        const int16_t* samples = analysisRing[deck] + static_cast<size_t>(c) * kChunkSamples;
        switch (kind) {
            case kChart:
                if (raw) {
                    ChartRaw(samples);
                } else {
                    ChartBand(samples);
                }
                break;
            case kOctave:
                Octave(samples);
                break;
            case kScope:
                Scope(samples);
                break;
            case kKinds:
                break;
        }
        done.Set();
    }
    ended.Set();
}

void AnalysisThreads::Worker::MonoHalved(const int16_t* samples) noexcept {
    DeinterleaveStereo16(samples, left, right, kChunkSamples);
    for (uint32_t k = 0; k < kFrames; ++k) {
        mono16[k] = static_cast<int16_t>((left[k] + right[k]) >> 1);
    }
}

void AnalysisThreads::Worker::ChartBand(const int16_t* samples) noexcept {
    MonoHalved(samples);
    for (uint32_t k = 0; k < kFrames; ++k) {
        mono[k] = static_cast<float>(mono16[k]);
    }
    FilterBank& bank = chartBanks[deck];
    // Band 0 alone: the low-pass band, where the beat is.
    bank.ProcessChunk(mono, false, false, nullptr, true);
    const int p = chartIndex[deck];
    chartMax[deck][p] = std::min(bank.GetBandMax(0), kFullScale);
    chartMin[deck][p] = bank.GetBandMin(0);
    chartIndex[deck] = (p + 1) % kChartEntries;
}

void AnalysisThreads::Worker::ChartRaw(const int16_t* samples) noexcept {
    MonoHalved(samples);
    const auto [low, high] = std::minmax_element(mono16, mono16 + kFrames);
    const int p = chartIndex[deck];
    chartMax[deck][p] = static_cast<float>(*high);
    chartMin[deck][p] = static_cast<float>(*low);
    // Backward play fills the ring the other way, so the picture runs backward too.
    chartIndex[deck] = p == 0 ? kChartEntries - 1 : p - 1;
}

void AnalysisThreads::Worker::Octave(const int16_t* samples) noexcept {
    for (uint32_t k = 0; k < kChunkSamples; ++k) {
        interleaved[k] = static_cast<float>(samples[k]);
    }
    DeinterleaveStereoFloat(interleaved, leftF, rightF, kChunkSamples);
    for (uint32_t k = 0; k < kFrames; ++k) {
        mono[k] = (leftF[k] + rightF[k]) * 0.5F;
    }
    FilterBank& bank = octaveBanks[deck];
    bank.ProcessChunk(mono, false, false, nullptr, false);
    for (int b = 0; b < kOctaveBands; ++b) {
        octaveLevels[deck][b] =
            kOctaveKeep * octaveLevels[deck][b] + kOctaveTake * bank.GetBandLevelDb(b);
    }
}

void AnalysisThreads::Worker::Scope(const int16_t* samples) noexcept {
    MonoHalved(samples);
    // The last 40 samples are left out: 100 whole spans fit in the chunk.
    for (int i = 0; i < kScopePoints; ++i) {
        const int16_t* span = mono16 + static_cast<ptrdiff_t>(i) * kScopeSpan;
        int sum = 0;
        for (int k = 0; k < kScopeSpan; ++k) {
            sum += span[k];
        }
        // The mean as a whole 16-bit value, as the scope draws whole sample values.
        scopeTrace[deck][i] = std::round(static_cast<double>(sum) / kScopeSpan);
    }
}

AnalysisThreads::AnalysisThreads() {
    // A new analysis starts from silence: nothing of an earlier one shows.
    std::memset(analysisRing, 0, sizeof analysisRing);
    std::memset(scopeTrace, 0, sizeof scopeTrace);
    std::memset(octaveLevels, 0, sizeof octaveLevels);
    std::memset(chartMax, 0, sizeof chartMax);
    std::memset(chartMin, 0, sizeof chartMin);
    std::memset(chartIndex, 0, sizeof chartIndex);
    for (int deck = 0; deck < kDeckCount; ++deck) {
        chartBanks[deck].Design(kChartBands);
        octaveBanks[deck].SelectAnalysisLayout(kOctaveLayout);
        DeckEvents& events = deckEvents[deck];
        Event* done[kKinds] = {&events.chartAnalysisDone, &events.octaveAnalysisDone,
                               &events.scopeAnalysisDone};
        static constexpr const char* kNames[kKinds] = {"Chart", "Octave", "Scope"};
        for (int kind = 0; kind < kKinds; ++kind) {
            auto worker = std::make_shared<Worker>(deck, static_cast<Kind>(kind), *done[kind]);
            workers_[deck][kind] = worker;
            const std::string name =
                std::string(kNames[kind]) + " Analysis " + static_cast<char>('A' + deck);
            WorkerThread::Start(name, kPriorityNormal, [worker] { worker->Run(); });
        }
    }
}

AnalysisThreads::~AnalysisThreads() {
    for (auto& deck : workers_) {
        for (auto& worker : deck) {
            worker->quit.store(true);
            worker->wake.Set();
        }
    }
    for (auto& deck : workers_) {
        for (auto& worker : deck) {
            worker->ended.Wait();
        }
    }
}

void AnalysisThreads::StoreChunk(int deck, const int16_t* source, uint32_t byteOffset) noexcept {
    // A sample never straddles two: the offset is taken down to a whole sample.
    const uint32_t sample = std::min(byteOffset / 2, kRingSamples - kChunkSamples);
    std::memcpy(analysisRing[deck] + sample, source, kChunkBytes);
}

float AnalysisThreads::ChunkLevelDb(int deck, int chunk) const noexcept {
    return LevelDb16(analysisRing[deck] + static_cast<size_t>(chunk) * kChunkSamples,
                     kChunkSamples);
}

void AnalysisThreads::Analyze(int deck, int chunk, bool rawChart) noexcept {
    const bool wanted[kKinds] = {true, octaveEnabled_, scopeEnabled_};
    for (int kind = 0; kind < kKinds; ++kind) {
        if (!wanted[kind]) {
            continue;
        }
        Worker& worker = *workers_[deck][kind];
        worker.done.Reset();
        worker.chunk = chunk;
        worker.raw = rawChart;
        worker.wake.Set();
    }
    for (int kind = 0; kind < kKinds; ++kind) {
        if (wanted[kind]) {
            workers_[deck][kind]->done.Wait();
        }
    }
}

}  // namespace tev
