#pragma once

#include <QRgb>
#include <QWidget>

#include "analysis/FilterBank.h"

namespace tev {

// The equalizer panel's picture of its bands: each band's frequency response in the band's
// colour on black, from -20 dB at the bottom edge to +20 dB at the top, its points spread evenly
// across the width (the band set's axis is already logarithmic). The panel writes the responses;
// the graph keeps its own copy.
class CTevEqualizerGraph : public QWidget {
  public:
    static constexpr int kMaxBands = 5;
    static constexpr int kPoints = FilterBank::kResponsePoints;
    // Red, orange, yellow, green, blue: band 1 ... band 5.
    static constexpr QRgb kBandColours[kMaxBands] = {0xFFFF0000, 0xFFFFA500, 0xFFFFFF00, 0xFF008000,
                                                     0xFF0000FF};

    explicit CTevEqualizerGraph(QWidget* parent = nullptr);

    // Band 0 ... kMaxBands-1's kPoints values in dB, for FilterBank::GetBandResponse to fill.
    float* response(int band);
    const float* response(int band) const;
    // Bands 0 ... count-1 are drawn, at most kMaxBands.
    void SetBandCount(int count);
    int bandCount() const { return bandCount_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    float responses_[kMaxBands][kPoints] = {};
    int bandCount_ = 0;
};

}  // namespace tev
