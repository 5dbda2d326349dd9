#pragma once

#include <QWidget>

namespace tev {

// The mixer's picture of the cross-fade curve: each deck's volume over the fader's travel, in
// the deck's colour on black. The mixer hands over the points; the graph keeps its own copy.
class CTevCrossFadeCurveGraph : public QWidget {
  public:
    static constexpr int kPoints = 99;

    explicit CTevCrossFadeCurveGraph(QWidget* parent = nullptr);

    // Volume 0..1 of a deck (0: Deck A, 1: Deck B) at point i; out-of-range decks and points are
    // ignored.
    void SetPoint(int deck, int i, double value);
    double point(int deck, int i) const { return points_[deck][i]; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double points_[2][kPoints] = {};
};

}  // namespace tev
