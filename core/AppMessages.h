#pragma once

#include <cstdint>

namespace tev {

// Numbers of the program's own messages: WM_APP (0x8000) plus n, so that numbers in logs match.
// wParam is the deck number unless a comment says otherwise.
inline constexpr uint32_t WM_APP = 0x8000;

// ---- To the mixer (hMixerWnd): engine threads send, panels send or post ----
inline constexpr uint32_t WM_CD_CLOSED = WM_APP + 1;        // a deck closed its CD
inline constexpr uint32_t WM_LOAD_CUED_TRACK = WM_APP + 4;  // play list: load the deck's cued track
inline constexpr uint32_t WM_DECK_PRIMED = WM_APP + 5;  // reader: the ring holds enough to start
inline constexpr uint32_t WM_CHUNK_FILLED =
    WM_APP + 6;  // reader: a chunk (file) or batch (CD) written
inline constexpr uint32_t WM_SET_EFFECT = WM_APP + 7;    // effects panel: apply the chosen effect
inline constexpr uint32_t WM_CLEAR_EFFECT = WM_APP + 8;  // effects panel: "No Effect"
inline constexpr uint32_t WM_SET_EFFECT_PARAMETER = WM_APP + 9;  // lParam: parameter 0 or 1
inline constexpr uint32_t WM_TRACK_ENDED = WM_APP + 10;  // decoder or CD reader: the track ended
inline constexpr uint32_t WM_SET_EQUALIZER_BAND = WM_APP + 11;  // lParam: band
inline constexpr uint32_t WM_DISABLE_EQUALIZER = WM_APP + 12;
inline constexpr uint32_t WM_APPLY_EQUALIZER = WM_APP + 13;
inline constexpr uint32_t WM_SEARCH_ENTER =
    WM_APP + 16;  // play list search field: Enter (wParam 0)
inline constexpr uint32_t WM_KEY_PRESSED =
    WM_APP + 17;  // keyboard poll; wParam: the key's character
inline constexpr uint32_t WM_START_FORWARD = WM_APP + 18;
inline constexpr uint32_t WM_START_BACKWARD = WM_APP + 19;
inline constexpr uint32_t WM_PLAY_BACKWARD_NOTIFY = WM_APP + 20;
inline constexpr uint32_t WM_PLAY_FORWARD_NOTIFY = WM_APP + 21;
inline constexpr uint32_t WM_SET_FREQUENCY = WM_APP + 22;  // lParam: sample rate in Hz (tempo)
inline constexpr uint32_t WM_TRACK_LOADED = WM_APP + 23;   // lParam 0: a file, 1: a CD
inline constexpr uint32_t WM_APPEND_PENDING_ENTRY = WM_APP + 24;  // lParam 0: a file, n: CD track n
inline constexpr uint32_t WM_PLAYLIST_CHANGED = WM_APP + 25;
inline constexpr uint32_t WM_NEXT_TRACK = WM_APP + 27;
inline constexpr uint32_t WM_PREVIOUS_TRACK = WM_APP + 28;
inline constexpr uint32_t WM_DECK_EMPTIED = WM_APP + 29;
inline constexpr uint32_t WM_RESUME_FORWARD = WM_APP + 30;       // after backward play
inline constexpr uint32_t WM_FILE_DIALOG_OPENING = WM_APP + 35;  // write further ahead meanwhile
inline constexpr uint32_t WM_FILE_DIALOG_CLOSED = WM_APP + 36;
inline constexpr uint32_t WM_STOP_FORWARD = WM_APP + 41;
inline constexpr uint32_t WM_STOP_BACKWARD = WM_APP + 42;
inline constexpr uint32_t WM_REFRESH_ELAPSED = WM_APP + 46;
inline constexpr uint32_t WM_TRACK_LENGTH_LOADED = WM_APP + 47;  // wParam 0
inline constexpr uint32_t WM_PANEL_CLOSED = WM_APP + 76;  // lParam: the panel's resource number

// ---- To a deck panel (hDeckWnd[d]), from its own controls and the mixer ----
inline constexpr uint32_t WM_FADER_START = WM_APP + 2;  // the main cross fader crossed the cue mark
inline constexpr uint32_t WM_FFWD_PRESSED = WM_APP + 14;
inline constexpr uint32_t WM_FFWD_RELEASED = WM_APP + 15;
inline constexpr uint32_t WM_REV_PRESSED = WM_APP + 31;
inline constexpr uint32_t WM_REV_RELEASED = WM_APP + 32;
inline constexpr uint32_t WM_RWND_PRESSED = WM_APP + 33;
inline constexpr uint32_t WM_RWND_RELEASED = WM_APP + 34;
inline constexpr uint32_t WM_CHART_TURNED_BACKWARD = WM_APP + 37;
inline constexpr uint32_t WM_CHART_TURNED_FORWARD = WM_APP + 38;
inline constexpr uint32_t WM_CHART_RELEASED = WM_APP + 40;
inline constexpr uint32_t WM_POSITION_PRESSED = WM_APP + 48;

// ---- To the play list ----
inline constexpr uint32_t WM_FILES_DROPPED = WM_APP + 26;

// The system message that asks a window to close (the mixer posts it to the main window).
inline constexpr uint32_t WM_CLOSE = 0x0010;
// The system's key messages, as the panels post them to the mixer; wParam: the key's character
// (the letter or digit, or the navigation key's virtual-key code, as the keyboard poll reports).
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;

// ---- To the main window (hMainWnd): requests to update a control, carried out there ----
inline constexpr uint32_t WM_SHOW_CPU_USAGE = WM_APP + 49;
inline constexpr uint32_t WM_REDRAW_CURVE_GRAPH = WM_APP + 50;
inline constexpr uint32_t WM_SYNC_CURVE_SLIDER = WM_APP + 51;
inline constexpr uint32_t WM_SYNC_MONITOR_CROSS_FADER = WM_APP + 52;
inline constexpr uint32_t WM_SYNC_MAIN_CROSS_FADER = WM_APP + 53;
inline constexpr uint32_t WM_SHOW_CUE_STATE = WM_APP + 54;
inline constexpr uint32_t WM_BLINK_ELAPSED = WM_APP + 55;
inline constexpr uint32_t WM_SHOW_ELAPSED = WM_APP + 56;
inline constexpr uint32_t WM_SHOW_LENGTH = WM_APP + 57;
inline constexpr uint32_t WM_SHOW_TITLE = WM_APP + 58;
inline constexpr uint32_t WM_SHOW_EFFECT_CAPTIONS = WM_APP + 61;
inline constexpr uint32_t WM_SHOW_EFFECT_VALUE = WM_APP + 62;   // lParam: parameter 0 or 1
inline constexpr uint32_t WM_SYNC_EFFECT_SLIDER = WM_APP + 63;  // lParam: parameter 0 or 1
inline constexpr uint32_t WM_SHOW_LEVEL_METER = WM_APP + 64;
inline constexpr uint32_t WM_SYNC_DECK_LEVEL = WM_APP + 65;
inline constexpr uint32_t WM_SYNC_MAIN_LEVEL = WM_APP + 66;
inline constexpr uint32_t WM_ENABLE_REV = WM_APP + 69;  // lParam 1: play started, 0: stopped
inline constexpr uint32_t WM_DECK_READER_STATE =
    WM_APP + 70;                                          // lParam 1: primed, 0: reader stopped
inline constexpr uint32_t WM_REDRAW_CHART = WM_APP + 71;  // lParam: rotation index
inline constexpr uint32_t WM_SHOW_TEMPO_TEXT = WM_APP + 72;
inline constexpr uint32_t WM_SYNC_TEMPO_SLIDER = WM_APP + 73;
inline constexpr uint32_t WM_SYNC_POSITION_SLIDER = WM_APP + 75;
inline constexpr uint32_t WM_LAYOUT_PANELS = WM_APP + 77;

}  // namespace tev
