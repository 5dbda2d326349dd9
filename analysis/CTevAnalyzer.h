#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QCloseEvent;
class QRadioButton;

namespace tev {

class CTevAnalyzerGraph;
class CTevButtonCtrl;

// The analyzer panel: chooses what the plot shows (chart, octave bars or scope; Deck A, Deck B,
// both or split) and switches the display on and off. The mixer hands it every chunk written and
// every chunk heard through its analysis; while it is on, the plot is repainted after each
// analysis. Closing it tells the mixer. [UI thread] everything.
class CTevAnalyzer : public QDialog {
  public:
    static constexpr int kResource = 131;

    explicit CTevAnalyzer(QWidget* parent = nullptr);

    CTevAnalyzerGraph* graph() const { return graph_; }
    bool isOn() const { return on_; }
    // After an analysis: shows it at once while the display is on.
    void ShowAnalysis();

    // The controls, in the order Graph Type (Scope, Octave, Chart), Choose Deck (Deck A,
    // Deck B, Both, Split).
    QRadioButton* graphTypeRadio(int i) const { return graphTypeRadios_[i]; }
    QRadioButton* deckRadio(int i) const { return deckRadios_[i]; }
    CTevButtonCtrl* onButton() const { return onButton_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void accept() override {}  // Enter does not close the panel

  private:
    void OnGraphType(int graphType);
    void OnOnButton();

    CTevAnalyzerGraph* graph_ = nullptr;
    std::array<QRadioButton*, 3> graphTypeRadios_{};
    std::array<QRadioButton*, 4> deckRadios_{};
    CTevButtonCtrl* onButton_ = nullptr;
    bool on_ = false;
};

}  // namespace tev
