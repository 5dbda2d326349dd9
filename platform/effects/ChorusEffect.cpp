#include "platform/effects/ChorusEffect.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "platform/Multiversion.h"

namespace tev {
namespace {

constexpr float kMaxChorusDelayMs = 20.0F;
constexpr float kMaxFlangerDelayMs = 4.0F;

float ClampOr(float value, float lowest, float highest, float fallback) noexcept {
    return std::isnan(value) ? fallback : std::clamp(value, lowest, highest);
}

// The nearest of -180, -90, 0, 90 and 180 degrees.
int PhaseStep(int degrees) noexcept {
    return 90 * static_cast<int>(std::clamp(std::lround(degrees / 90.0), -2L, 2L));
}

template <class Parameters>
Parameters ClampedSweep(const Parameters& p, float maxDelay) noexcept {
    const Parameters defaults;
    Parameters c = p;
    c.wetDryMix = ClampOr(p.wetDryMix, 0.0F, 100.0F, defaults.wetDryMix);
    c.depth = ClampOr(p.depth, 0.0F, 100.0F, defaults.depth);
    c.feedback = ClampOr(p.feedback, -99.0F, 99.0F, defaults.feedback);
    c.frequency = ClampOr(p.frequency, 0.0F, 10.0F, defaults.frequency);
    if (p.waveform != Waveform::kTriangle && p.waveform != Waveform::kSine) {
        c.waveform = defaults.waveform;
    }
    c.delay = ClampOr(p.delay, 0.0F, maxDelay, defaults.delay);
    c.phase = PhaseStep(p.phase);
    return c;
}

template <class Parameters>
ModulatedDelay::Sweep SweepOf(const Parameters& p) noexcept {
    return {p.wetDryMix, p.depth, p.feedback, p.frequency, p.waveform, p.delay, p.phase};
}

// Settings this close to zero are zero: their products could otherwise be denormal.
float Tiny(float v) noexcept {
    return std::fabs(v) < 1e-9F ? 0.0F : v;
}

// The left and the right channel side by side (the upper two lanes unused).
using Quad = float __attribute__((vector_size(16)));
using QuadInt = int __attribute__((vector_size(16)));

// Silence for what is too small to hear (and would slow the processor down as a denormal) and
// for what no sound can be (not a number, infinite or absurdly loud), so that one bad input
// sample cannot stay in the line.
Quad Audible(Quad v) noexcept {
    const auto size = (Quad)((QuadInt)v & 0x7fffffff);
    return (Quad)((QuadInt)v & ((size >= 1e-20F) & (size <= 1e6F)));
}

// The Catmull-Rom cubic through four samples, p1 at t = 0 and p2 at t = 1, p0 and p3 beyond
// them. Never louder than its input at any frequency, so that it cannot make a feedback loop
// grow.
Quad CatmullRom(Quad p0, Quad p1, Quad p2, Quad p3, Quad t) noexcept {
    const Quad c1 = 0.5F * (p2 - p0);
    const Quad c2 = p0 - 2.5F * p1 + 2.0F * p2 - 0.5F * p3;
    const Quad c3 = 0.5F * (p3 - p0) + 1.5F * (p1 - p2);
    return ((c3 * t + c2) * t + c1) * t + p1;
}

}  // namespace

ChorusParameters ChorusParameters::Clamped() const noexcept {
    return ClampedSweep(*this, kMaxChorusDelayMs);
}

FlangerParameters FlangerParameters::Clamped() const noexcept {
    return ClampedSweep(*this, kMaxFlangerDelayMs);
}

ModulatedDelay::ModulatedDelay(double sampleRate, float maxDelayMs, const Sweep& initial)
    : sampleRate_(sampleRate),
      maxDelayFrames_(static_cast<float>(2.0 * maxDelayMs * sampleRate / 1000.0)) {
    // The deepest sweep doubles the longest delay; the interpolation reads two frames past it.
    const auto size = std::bit_ceil(static_cast<unsigned>(std::ceil(maxDelayFrames_)) + 4U);
    for (std::vector<float>& line : lines_) {
        line.assign(size + kEcho, 0.0F);
    }
    mask_ = size - 1;
    const Target start = TargetOf(initial);
    from_ = start.shape;
    to_ = start.shape;
    turnsPerSegment_ = start.turnsPerSegment;
    delay_[0].end = DelayAt(to_, 0.0);
    delay_[1].end = DelayAt(to_, to_.offset);
    wet_.end = to_.wet;
    feedback_.end = to_.feedback;
}

void ModulatedDelay::Set(const Sweep& sweep) noexcept {
    handOver_.Publish(TargetOf(sweep));
}

ModulatedDelay::Target ModulatedDelay::TargetOf(const Sweep& sweep) const noexcept {
    Target t;
    t.shape.delay = static_cast<float>(sweep.delay * sampleRate_ / 1000.0);
    t.shape.depth = Tiny(sweep.depth / 100.0F);
    t.shape.offset = static_cast<float>(sweep.phase) / 360.0F;
    t.shape.sine = sweep.waveform == Waveform::kSine ? 1.0F : 0.0F;
    t.shape.wet = Tiny(sweep.wetDryMix / 100.0F);
    t.shape.feedback = Tiny(sweep.feedback / 100.0F);
    t.turnsPerSegment = sweep.frequency * kSegmentFrames / sampleRate_;
    return t;
}

ModulatedDelay::Shape ModulatedDelay::Now() const noexcept {
    const float t = static_cast<float>(glided_) / kGlideSegments;
    const auto mix = [t](float a, float b) { return a * (1.0F - t) + b * t; };
    return {mix(from_.delay, to_.delay),   mix(from_.depth, to_.depth),
            mix(from_.offset, to_.offset), mix(from_.sine, to_.sine),
            mix(from_.wet, to_.wet),       mix(from_.feedback, to_.feedback)};
}

float ModulatedDelay::DelayAt(const Shape& shape, double turns) const noexcept {
    const double phase = turns - std::floor(turns);
    const double sine = std::sin(2.0 * M_PI * phase);
    // In step with the sine: 0 rising at phase 0, 1 at a quarter.
    const double quarter = phase + 0.25;
    const double triangle = 1.0 - 4.0 * std::fabs(quarter - std::floor(quarter) - 0.5);
    const double sweep = shape.sine * sine + (1.0F - shape.sine) * triangle;
    const double delay = shape.delay * (1.0 + shape.depth * sweep);
    return std::clamp(static_cast<float>(delay), 2.0F, maxDelayFrames_);
}

void ModulatedDelay::BeginSegment() noexcept {
    Target taken;
    if (handOver_.Take(taken)) {
        from_ = Now();
        to_ = taken.shape;
        // The shorter way round: -180 and 180 degrees are one phase.
        to_.offset += std::round(from_.offset - to_.offset);
        glided_ = 0;
        turnsPerSegment_ = taken.turnsPerSegment;
    }
    glided_ = std::min(glided_ + 1, kGlideSegments);
    const Shape now = Now();
    turns_ += turnsPerSegment_;
    turns_ -= std::floor(turns_);
    delay_[0].To(DelayAt(now, turns_));
    delay_[1].To(DelayAt(now, turns_ + now.offset));
    wet_.To(now.wet);
    feedback_.To(now.feedback);
    segmentLeft_ = kSegmentFrames;
}

// Fused multiply-adds take the interpolation's operations down by a third.
TEV_WITH_FMA_BUILD
void ModulatedDelay::Run(float* samples, int frames) noexcept {
    // Copied in, so that the compiler can keep them in registers whatever `samples` points at.
    float* const left = lines_[0].data();
    float* const right = lines_[1].data();
    const unsigned mask = mask_;
    unsigned write = write_;
    Quad delay = {delay_[0].value, delay_[1].value, 0.0F, 0.0F};
    const Quad delayStep = {delay_[0].step, delay_[1].step, 0.0F, 0.0F};
    Ramp wet = wet_;
    Ramp feedback = feedback_;
    for (int i = 0; i < frames; ++i) {
        const QuadInt whole = __builtin_convertvector(delay, QuadInt);
        const Quad t = delay - __builtin_convertvector(whole, Quad);
        // The oldest of the four neighbours: past the end, a line's first frames are repeated.
        const unsigned l = (write - static_cast<unsigned>(whole[0]) - 2) & mask;
        const unsigned r = (write - static_cast<unsigned>(whole[1]) - 2) & mask;
        const Quad y =
            Audible(CatmullRom(Quad{left[l + 3], right[r + 3]}, Quad{left[l + 2], right[r + 2]},
                               Quad{left[l + 1], right[r + 1]}, Quad{left[l], right[r]}, t));
        const Quad x = {samples[2 * i], samples[2 * i + 1]};
        const Quad fed = Audible(x + feedback.value * y);
        left[write] = fed[0];
        right[write] = fed[1];
        if (write < kEcho) {
            left[write + mask + 1] = fed[0];
            right[write + mask + 1] = fed[1];
        }
        const Quad out = (1.0F - wet.value) * x + wet.value * y;
        samples[2 * i] = out[0];
        samples[2 * i + 1] = out[1];
        delay += delayStep;
        wet.value += wet.step;
        feedback.value += feedback.step;
        write = (write + 1) & mask;
    }
    write_ = write;
    delay_[0].value = delay[0];
    delay_[1].value = delay[1];
    wet_ = wet;
    feedback_ = feedback;
}

void ModulatedDelay::Process(float* samples, int frames) noexcept {
    while (frames > 0) {
        if (segmentLeft_ == 0) {
            BeginSegment();
        }
        const int n = std::min(frames, segmentLeft_);
        Run(samples, n);
        samples += 2 * n;
        frames -= n;
        segmentLeft_ -= n;
    }
}

ChorusEffect::ChorusEffect(double sampleRate)
    : line_(sampleRate, kMaxChorusDelayMs, SweepOf(settings_)) {}

void ChorusEffect::SetAllParameters(const ChorusParameters& parameters) noexcept {
    settings_ = parameters.Clamped();
    line_.Set(SweepOf(settings_));
}

FlangerEffect::FlangerEffect(double sampleRate)
    : line_(sampleRate, kMaxFlangerDelayMs, SweepOf(settings_)) {}

void FlangerEffect::SetAllParameters(const FlangerParameters& parameters) noexcept {
    settings_ = parameters.Clamped();
    line_.Set(SweepOf(settings_));
}

}  // namespace tev
