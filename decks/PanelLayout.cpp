#include "decks/PanelLayout.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace tev::panel_layout {
namespace {

using Sizes = std::array<QSize, kPanelCount>;
using Points = std::array<QPoint, kPanelCount>;

int TopRowHeight(const Sizes& s) {
    return std::max({s[kMixer].height(), s[kDeckA].height(), s[kDeckB].height()});
}

// The top row, with the mixer at `mixerLeft` and the centre line at `half` (area coordinates).
void PlaceTopRow(const Sizes& s, int mixerLeft, int half, Points& p) {
    const int mixer = s[kMixer].width();
    p[kMixer] = {mixerLeft, 0};
    p[kDeckA] = {half - mixer / 2 - s[kDeckA].width(), 0};
    p[kDeckB] = {half + mixer / 2, 0};
}

// Equalizers and effects under their decks, meeting at the centre; the play list and the
// analyzer on the bottom of the area, meeting there too.
Points Classic(const Sizes& s, const QSize& area, int mixerLeft, int half) {
    Points p;
    PlaceTopRow(s, mixerLeft, half, p);
    const int rowA = s[kDeckA].height();
    const int rowB = s[kDeckB].height();
    p[kEqualizerA] = {half - s[kEffectsA].width() - s[kEqualizerA].width(), rowA};
    p[kEqualizerB] = {half + s[kEffectsB].width(), rowB};
    p[kEffectsA] = {half - s[kEffectsA].width(), rowA};
    p[kEffectsB] = {half, rowB};
    p[kPlayList] = {half - s[kPlayList].width(), area.height() - s[kPlayList].height()};
    p[kAnalyzer] = {half, area.height() - s[kAnalyzer].height()};
    return p;
}

// For a wide but low area: each deck's effects and equalizer beside it, outside, and the play
// list and the analyzer right under the top row.
Points Beside(const Sizes& s, int mixerLeft, int half) {
    Points p;
    PlaceTopRow(s, mixerLeft, half, p);
    const int outerA = p[kDeckA].x();
    const int outerB = p[kDeckB].x() + s[kDeckB].width();
    p[kEffectsA] = {outerA - s[kEffectsA].width(), 0};
    p[kEffectsB] = {outerB, 0};
    p[kEqualizerA] = {outerA - s[kEqualizerA].width(), s[kEffectsA].height()};
    p[kEqualizerB] = {outerB, s[kEffectsB].height()};
    const int top = TopRowHeight(s);
    p[kPlayList] = {half - s[kPlayList].width(), top};
    p[kAnalyzer] = {half, top};
    return p;
}

// Each panel in turn takes its wanted place, or else the free place nearest to it; the corners
// of the panels already placed and of the area are where a free place can begin.
Placement Settle(const Sizes& s, const QRect& area, const Points& wanted) {
    Placement result;
    std::vector<QRect> taken;
    for (int i = 0; i < kPanelCount; ++i) {
        const QSize size = s[i];
        const QPoint want = area.topLeft() + wanted[i];
        const auto vacant = [&](const QPoint& at) {
            const QRect r(at, size);
            return area.contains(r) &&
                   std::none_of(taken.begin(), taken.end(),
                                [&r](const QRect& t) { return t.intersects(r); });
        };
        QPoint best = want;
        bool found = vacant(want);
        if (!found) {
            std::vector<int> xs = {want.x(), area.left(), area.right() + 1 - size.width()};
            std::vector<int> ys = {want.y(), area.top(), area.bottom() + 1 - size.height()};
            for (const QRect& t : taken) {
                xs.insert(xs.end(), {t.left() - size.width(), t.right() + 1});
                ys.insert(ys.end(), {t.top() - size.height(), t.bottom() + 1});
            }
            long long nearest = std::numeric_limits<long long>::max();
            for (const int x : xs) {
                for (const int y : ys) {
                    const long long dx = x - want.x();
                    const long long dy = y - want.y();
                    if (dx * dx + dy * dy < nearest && vacant({x, y})) {
                        nearest = dx * dx + dy * dy;
                        best = {x, y};
                        found = true;
                    }
                }
            }
        }
        result.position[i] = best;
        result.fits[i] = found;
        // The mixer is shown wherever it goes: the others keep clear of it even so.
        if (found || i == kMixer) {
            taken.emplace_back(best, size);
        }
        result.misfits += found ? 0 : 1;
    }
    return result;
}

}  // namespace

Placement Place(const Sizes& sizes, const QRect& area) {
    const int centred = area.width() / 2;
    const int mixer = sizes[kMixer].width();
    // Centred as the classic arrangement wants it, or, where the area is narrower than the top
    // row, from the left edge so that Deck A stays beside the mixer.
    const std::array<std::pair<int, int>, 2> rows = {
        std::pair{(area.width() - mixer) / 2, centred},
        std::pair{sizes[kDeckA].width(), sizes[kDeckA].width() + mixer / 2}};
    // The panels that fit, the earlier in Panel's order the weightier: a deck before any number
    // of tool panels.
    const auto worth = [](const Placement& placement) {
        unsigned value = 0;
        for (const bool fits : placement.fits) {
            value = value * 2 + (fits ? 1 : 0);
        }
        return value;
    };
    Placement best;
    bool first = true;
    for (const auto& [mixerLeft, half] : rows) {
        for (const Points& wanted :
             {Classic(sizes, area.size(), mixerLeft, half), Beside(sizes, mixerLeft, half)}) {
            const Placement placement = Settle(sizes, area, wanted);
            if (placement.misfits == 0) {
                return placement;  // the earliest arrangement that holds every panel
            }
            if (first || worth(placement) > worth(best)) {
                best = placement;
                first = false;
            }
        }
    }
    return best;
}

QSize ClassicSize(const Sizes& s) {
    const int mixer = s[kMixer].width();
    const int left =
        std::max({mixer / 2 + s[kDeckA].width(), s[kEffectsA].width() + s[kEqualizerA].width(),
                  s[kPlayList].width()});
    const int right =
        std::max({mixer - mixer / 2 + s[kDeckB].width(),
                  s[kEffectsB].width() + s[kEqualizerB].width(), s[kAnalyzer].width()});
    const int middle = std::max({s[kEqualizerA].height(), s[kEqualizerB].height(),
                                 s[kEffectsA].height(), s[kEffectsB].height()});
    return {2 * std::max(left, right),
            TopRowHeight(s) + middle + std::max(s[kPlayList].height(), s[kAnalyzer].height())};
}

}  // namespace tev::panel_layout
