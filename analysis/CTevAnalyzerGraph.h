#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

#include "analysis/AnalysisThreads.h"

class QImage;
class QPainter;

namespace tev {

// The analyzer's plot: draws the analysis tables as a scrolling level chart, ten octave bars or
// an oscilloscope trace, for Deck A, Deck B, both overlaid or both side by side. It owns the
// decks' analysis, which the mixer reaches through the analyzer panel.
//
// Every paint draws the whole picture into an off-screen image and copies it in one call, and the
// background is never erased, so repainting 15 times a second does not flicker. [UI thread]
class CTevAnalyzerGraph : public QWidget {
  public:
    enum GraphType { kChart = 0, kOctave = 1, kScope = 2 };
    enum DeckSelection { kDeckA = 0, kDeckB = 1, kBoth = 2, kSplit = 3 };

    explicit CTevAnalyzerGraph(QWidget* parent = nullptr);

    void SetDeckSelection(int selection) { deckSelection_ = selection; }
    void SetGraphType(int type) { graphType_ = type; }
    void SetOctaveEnabled(bool enabled) { analysis_.SetOctaveEnabled(enabled); }
    void SetScopeEnabled(bool enabled) { analysis_.SetScopeEnabled(enabled); }
    int deckSelection() const { return deckSelection_; }
    int graphType() const { return graphType_; }

    AnalysisThreads& analysis() { return analysis_; }

    // Draws the current picture over the whole image, which has the size of the plot to draw.
    void Draw(QImage& image) const;

    // The colour of a chart entry: the deck's colour (0x00BBGGRR) darkened by the entry's
    // maximum against full scale, each component kept to its low 8 bits as it wraps.
    static QColor ChartColor(uint32_t deckColor, float maximum);
    // The deck's display colour.
    static QColor DeckColor(int deck);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void DrawChart(QPainter& painter, int w, int h) const;
    void DrawOctave(QPainter& painter, int w, int h) const;
    void DrawScope(QPainter& painter, int w, int h) const;

    int deckSelection_ = kDeckA;
    int graphType_ = kScope;
    AnalysisThreads analysis_;
};

}  // namespace tev
