#pragma once

#include <cstddef>
#include <cstdint>

namespace tev {

// Sample-format kernels: plain loops the compiler vectorises. They keep no state, so two decks
// may convert on two threads at once.

// out[2k] = left[k], out[2k+1] = right[k], for k < n.
void InterleaveStereo16(const int16_t* left, const int16_t* right, int16_t* out, size_t n) noexcept;
// left[k] = in[2k], right[k] = in[2k+1], for k < total/2.
void DeinterleaveStereo16(const int16_t* in, int16_t* left, int16_t* right, size_t total) noexcept;
void DeinterleaveStereoFloat(const float* in, float* left, float* right, size_t total) noexcept;
// out[2k] = out[2k+1] = in[k], for k < n: a mono source at unity gain on both channels.
void MonoToStereo16(const int16_t* in, int16_t* out, size_t n) noexcept;
// Unsigned 8-bit samples to signed 16-bit: (in - 128) << 8, for each of count samples.
void Widen8To16(const uint8_t* in, int16_t* out, size_t count) noexcept;

// 20 log10 of the standard deviation of the values; 0.0 for silence (never minus infinity).
float LevelDb(const float* values, size_t n) noexcept;
// The same with the standard deviation rounded to a whole 16-bit number first: 0.0 whenever it
// rounds to 0.
float LevelDb16(const int16_t* values, size_t n) noexcept;

}  // namespace tev
