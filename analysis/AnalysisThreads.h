#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/EngineState.h"
#include "output/DeckBufferDevice.h"

namespace tev {

inline constexpr int kScopePoints = 100;
inline constexpr int kOctaveBands = 10;
inline constexpr int kChartEntries = 50;

// What the analyzer's graphs and the decks' circular charts show, per deck (0 Deck A, 1 Deck B).
// [analysis workers] write them only while Analyze waits on the UI thread; [UI thread] reads
// them at any other time, so each table has one writer at a time and no reader meets it.
extern double scopeTrace[kDeckCount][kScopePoints];    // 100 averages of the chunk's mono signal
extern double octaveLevels[kDeckCount][kOctaveBands];  // smoothed level of each octave, dB
extern float chartMax[kDeckCount][kChartEntries];      // ring of the analysed chunks' maxima
extern float chartMin[kDeckCount][kChartEntries];      // and minima
extern int32_t chartIndex[kDeckCount];                 // where the next chart entry goes

// The analysis of what each deck sends to the main output: a copy of the deck's streaming buffer
// (the analysis ring, laid out slot for slot like it), the level of any of its chunks for the
// meters, and per analysed chunk the chart, octave and scope results.
//
// Each deck has three persistent workers (chart, octave, scope) that sleep on their own wake-up
// event; Analyze wakes those it needs and waits for their done events, so the UI thread never
// paints while a table is being written and a worker never starts while one runs.
// [UI thread] every operation.
class AnalysisThreads {
  public:
    static constexpr uint32_t kChunkSamples = kChunkBytes / 2;
    static constexpr uint32_t kRingSamples = kDeckSlots * kChunkSamples;
    // The chart looks at the chunk just written ahead, 25 slots after the one heard.
    static constexpr int kChartLead = 25;
    static constexpr int kScopeSpan = 29;  // mono samples per scope average

    // Designs the chart and octave banks, clears the rings and the tables and starts the
    // workers.
    AnalysisThreads();
    // Ends the workers and waits until none is left running.
    ~AnalysisThreads();
    AnalysisThreads(const AnalysisThreads&) = delete;
    AnalysisThreads& operator=(const AnalysisThreads&) = delete;

    // Copies one chunk (kChunkSamples interleaved samples) into the deck's ring at the byte
    // offset it has in the main output's streaming buffer.
    void StoreChunk(int deck, const int16_t* source, uint32_t byteOffset) noexcept;
    // The loudness of a stored chunk (0 ... 119) in dB: 20 log10 of its samples' deviation,
    // rounded to a whole number first; 0 for silence.
    float ChunkLevelDb(int deck, int chunk) const noexcept;
    // Analyses chunk (0 ... 119) of the deck and returns once every result is in the tables:
    // the chart always (from the chunk kChartLead slots on; rawChart during backward play,
    // whose ring runs the other way), the octave levels and the scope trace when enabled.
    void Analyze(int deck, int chunk, bool rawChart) noexcept;

    void SetOctaveEnabled(bool enabled) noexcept { octaveEnabled_ = enabled; }
    void SetScopeEnabled(bool enabled) noexcept { scopeEnabled_ = enabled; }
    bool octaveEnabled() const noexcept { return octaveEnabled_; }
    bool scopeEnabled() const noexcept { return scopeEnabled_; }

  private:
    struct Worker;
    enum Kind : uint8_t { kChart, kOctave, kScope, kKinds };

    bool octaveEnabled_ = false;
    bool scopeEnabled_ = false;
    std::array<std::array<std::shared_ptr<Worker>, kKinds>, kDeckCount> workers_;
};

}  // namespace tev
