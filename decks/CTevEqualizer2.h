#pragma once

#include <QDialog>
#include <array>

#include "analysis/FilterBank.h"
#include "decks/CTevEqualizerGraph.h"
#include "output/BoundedValue.h"

class QGroupBox;
class QLabel;
class QRadioButton;
class QSlider;

namespace tev {

class CTevButtonCtrl;

// The equalizer panel of one deck: switches the deck's equalizer on and off, chooses 2, 3 or 5
// bands, sets each band's gain with a slider and shows every band's response. The panel designs
// the deck's band set (equalizerBanks[deck]) and sets its gains; the output does the processing
// when the mixer, told by synchronous messages, applies the set. [UI thread] everything.
class CTevEqualizer2 : public QDialog {
  public:
    static constexpr int kMaxBands = CTevEqualizerGraph::kMaxBands;
    // A slider position p stands for the gain factor (2000 - p) / 1000: the top is 1.15, the
    // middle 1.0 (flat), the bottom 0.85.
    static constexpr int kSliderTop = 850;
    static constexpr int kSliderFlat = 1000;
    static constexpr int kSliderBottom = 1150;

    explicit CTevEqualizer2(QWidget* parent = nullptr);

    // Called by the mixer once after creation: the deck's band set starts with 3 bands.
    void SetDeck(int deck);
    int deck() const { return deck_; }
    // Designs the deck's band set with 2, 3 or 5 bands and shows their centres and curves; while
    // the equalizer is on the mixer applies the new set.
    void SetBandCount(int count);
    int bandCount() const { return bandCount_; }
    // Sets a band's gain factor in the band set, has the mixer apply it and redraws its curve.
    void SetBand(int band, double value);

    bool equalizerOn() const { return equalizerOn_; }
    // A band's gain factor (0.85 ... 1.15); follows its slider.
    const BoundedValue& bandValue(int band) const { return bandValues_[band]; }
    // Keyboard control: a band's gain factor moved by a step, as far as its slider goes; the
    // slider follows and the gain is applied. Nothing for a band not in use.
    void NudgeBand(int band, double step);
    // The band set's axis in Hz: the frequency under each of the graph's points.
    const float* frequencyAxis() const { return frequencyAxis_; }

    // The controls.
    CTevButtonCtrl* onButton() const { return onButton_; }
    // The band-count choices "2", "3" and "5", in that order.
    QRadioButton* bandCountButton(int i) const { return countButtons_[i]; }
    QSlider* bandSlider(int band) const { return sliders_[band]; }
    QLabel* centreLabel(int band) const { return labels_[band]; }
    QGroupBox* bandBox(int band) const { return bandBoxes_[band]; }
    CTevEqualizerGraph* graph() const { return graph_; }

  private:
    // Enables bands 1 ... count and their controls, disables the rest.
    void EnableBands(int count);
    // A band-count choice: the controls, the band set and the graph follow it.
    void ChooseBandCount(int count);
    void OnBandSlider(int band);
    void OnOnButton();

    bool equalizerOn_ = false;
    std::array<BoundedValue, kMaxBands> bandValues_;
    float frequencyAxis_[FilterBank::kResponsePoints] = {};
    int deck_ = 0;
    int bandCount_ = 3;
    std::array<QLabel*, kMaxBands> labels_{};
    CTevEqualizerGraph* graph_ = nullptr;
    std::array<QSlider*, kMaxBands> sliders_{};
    std::array<QGroupBox*, kMaxBands> bandBoxes_{};
    std::array<QRadioButton*, 3> countButtons_{};
    CTevButtonCtrl* onButton_ = nullptr;
    bool updating_ = false;  // while the panel moves its own controls: nothing is applied
};

}  // namespace tev
