#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>

namespace tev {

// Where the panels go on a work area, from their frame sizes alone.
//
// The classic arrangement: the mixer centred at the top between the decks, each deck's
// equalizer and effects below it meeting at the centre line, the play list and the analyzer at
// the bottom meeting there too. When that leaves panels covering each other or the screen's edge
// (a low screen, window frames), the equalizers and effects may move up beside the decks with
// the bottom row under the decks, and any panel whose place is taken goes to the nearest free
// spot. No panel ever covers another: one that finds no room is reported as not fitting.
namespace panel_layout {

enum Panel {
    kMixer,
    kDeckA,
    kDeckB,
    kEqualizerA,
    kEqualizerB,
    kEffectsA,
    kEffectsB,
    kPlayList,
    kAnalyzer,
    kPanelCount
};

struct Placement {
    std::array<QPoint, kPanelCount> position{};  // of each frame's top left corner
    std::array<bool, kPanelCount> fits{};        // inside the area, covering no other panel
    int misfits = 0;
};

// `sizes`: each panel's frame size. Panels are placed in the order of Panel: the earlier
// panel keeps its place when two compete. A panel that does not fit keeps the position the
// arrangement wanted for it (the mixer is shown there regardless).
Placement Place(const std::array<QSize, kPanelCount>& sizes, const QRect& area);

// The smallest work area on which the classic arrangement fits.
QSize ClassicSize(const std::array<QSize, kPanelCount>& sizes);

}  // namespace panel_layout
}  // namespace tev
