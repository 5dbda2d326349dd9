#pragma once

#include <cstdint>

namespace tev {

// Result codes of engine operations. Callers mostly ignore them: an engine failure shows up as a
// deck that stays empty or silent, never as a crash.
using HRESULT = int32_t;

inline constexpr HRESULT S_OK = 0;
// An operation of a system library failed (a file that does not decode, say).
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005U);
// A refused argument or mode, or a missing object.
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFU);
// The deck's buffer or device does not exist.
inline constexpr HRESULT E_NO_BUFFER = static_cast<HRESULT>(0x800401F0U);
// A buffer region could not be locked for writing.
inline constexpr HRESULT E_LOCK_FAILED = static_cast<HRESULT>(0x8002000DU);
// A fade found its buffer already in the asked state.
inline constexpr HRESULT E_ALREADY_IN_STATE = -1;

inline constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}

}  // namespace tev
