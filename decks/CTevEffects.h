#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "output/BoundedValue.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QSlider;

namespace tev {

class CTevButtonCtrl;

// The effects panel of one deck: chooses one of seven effects (or none), switches it on and off
// and sets its two parameters with sliders. The panel keeps the parameters' ranges and values and
// writes the values to effectParameter[deck]; the mixer, told by synchronous messages, programs
// the effect on the deck's outputs. Every change to the panel's own controls goes through the
// main window (hMainWnd), which calls the Show functions. [UI thread] everything.
class CTevEffects : public QDialog {
  public:
    static constexpr int kParameters = 2;
    // Slider positions run from 0 at the top, the parameter's maximum, to kSliderRange at the
    // bottom, its minimum.
    static constexpr int kSliderRange = 1000;

    explicit CTevEffects(QWidget* parent = nullptr);

    // Called by the mixer once after creation.
    void SetDeck(int deck);
    int deck() const { return deck_; }

    // The effect chosen in the list; the mixer reads it when it applies the deck's effect.
    QString GetEffectName() const;

    // Control updates the main window carries out.
    void ShowParameterNames();
    void ShowValueText(int i);
    // Moves slider i to its parameter's value; the slider then applies the value it can hold.
    void ShowSliderPosition(int i);

    // How a value of parameter i of the named effect reads: "--" for "No Effect".
    static QString ValueText(const QString& effect, int i, double value);

    bool effectOn() const { return effectOn_; }
    const BoundedValue& parameter(int i) const { return parameter_[i]; }

    // The controls.
    CTevButtonCtrl* onButton() const { return onButton_; }
    QComboBox* effectList() const { return effectList_; }
    QSlider* slider(int i) const { return sliders_[i]; }
    QGroupBox* parameterBox(int i) const { return parameterBoxes_[i]; }
    QLabel* valueLabel(int i) const { return valueLabels_[i]; }

  private:
    // The list's choice: takes the named effect's parameters, has the main window move the
    // sliders and show the names, and switches the outputs to it while the effect is on.
    void ChooseEffect(const QString& name);
    // Sets both parameters' names, ranges, values and enabled flags for the named effect.
    void LoadParameters(const QString& name);
    int SliderPosition(int i) const;
    // Takes the value of slider i's position into its parameter, then UpdateParameter(i).
    void ApplySlider(int i);
    // Shares parameter i's value with the mixer, which applies it while the effect is on.
    void UpdateParameter(int i);
    void OnOnButton();

    std::array<BoundedValue, kParameters> parameter_;
    bool effectOn_ = false;
    std::array<QString, kParameters> parameterName_;
    int deck_ = 0;
    std::array<QLabel*, kParameters> valueLabels_{};
    std::array<QSlider*, kParameters> sliders_{};
    QComboBox* effectList_ = nullptr;
    std::array<QGroupBox*, kParameters> parameterBoxes_{};
    CTevButtonCtrl* onButton_ = nullptr;
    std::array<QString, kParameters> valueText_;
    bool updating_ = false;  // while the panel moves a slider itself: it applies the value once
};

}  // namespace tev
