#include "decks/CTevEffects.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>
#include <cassert>
#include <cmath>

#include "controls/CTevButtonCtrl.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "platform/MessageLayer.h"

namespace tev {
namespace {

// How a parameter's value reads on the panel.
enum class Reading {
    kStepped,      // truncated to the effect's display step, one decimal, then the unit
    kThousandths,  // a plain ratio, 0.001 ... 0.999
    kWaveShape,    // the gargle's wave, as the output takes it: square below 1, triangle above
};

struct ParameterRow {
    const char* name;
    double minimum;
    double maximum;
    double initial;
    const char* unit;
    Reading reading = Reading::kStepped;
    float divisor = 1.0F;  // the value is shown divided by it
};

struct EffectRow {
    const char* name;
    float step;
    ParameterRow parameters[CTevEffects::kParameters];
};

// The list holds "No Effect" and then these, in this order. The limits 0.01, 0.001 and 0.999
// are the effects' own, in single precision: the values reach the output as floats, and a double
// 0.001 would lie below the reverb's least length.
const EffectRow kEffects[] = {
    {"Chorus", 0.1F, {{"feedback", -99, 99, 25, "%"}, {"frequency", 0, 10, 1.1, " Hz"}}},
    {"Compressor", 0.1F, {{"gain", -60, 60, 0, " dB"}, {"attack", 0.01F, 500, 10, " ms"}}},
    {"Distortion", 0.1F, {{"gain", -60, 0, -18, " dB"}, {"edge", 0, 100, 15, "%"}}},
    {"Echo", 0.01F, {{"feedback", 0, 100, 50, "%"}, {"delay", 1, 2000, 500, " ms"}}},
    {"Flanger", 0.01F, {{"feedback", -99, 99, -50, "%"}, {"delay", 0, 4, 2, " ms"}}},
    {"Gargle", 1.0F, {{"rate", 1, 1000, 20, " Hz"}, {"wave", 0, 2, 0, "", Reading::kWaveShape}}},
    {"Reverb",
     0.01F,
     {{"length", 0.001F, 3000, 1000, "s", Reading::kStepped, 1000.0F},
      {"high freq %", 0.001F, 0.999F, 0.001F, "", Reading::kThousandths}}},
};

const QString kNoEffect = QStringLiteral("No Effect");
const QString kNone = QStringLiteral("--");

// The row of a named effect; nullptr for "No Effect".
const EffectRow* FindEffect(const QString& name) {
    for (const EffectRow& row : kEffects) {
        if (name == QLatin1String(row.name)) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

CTevEffects::CTevEffects(QWidget* parent) : QDialog(parent) {
    // The panel shares the row under its deck with the equalizer: every pixel counts.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);
    const auto tight = [](QGroupBox* box) {
        auto* inside = new QVBoxLayout(box);
        inside->setContentsMargins(2, 2, 2, 2);
        inside->setSpacing(2);
        return inside;
    };

    auto* top = new QHBoxLayout();
    top->addWidget(MakeEnableGroup(this, onButton_));

    auto* chooseBox = new QGroupBox(QStringLiteral("Choose Effect"), this);
    effectList_ = new QComboBox(chooseBox);
    effectList_->addItem(kNoEffect);
    for (const EffectRow& row : kEffects) {
        effectList_->addItem(QString::fromLatin1(row.name));
    }
    effectList_->setToolTip(QStringLiteral("Choose Effect"));
    // Typed letters belong to keyboard control, not to the list's search.
    effectList_->setFocusPolicy(Qt::NoFocus);
    tight(chooseBox)->addWidget(effectList_, 0, Qt::AlignVCenter);
    top->addWidget(chooseBox, 1);
    column->addLayout(top);

    auto* parameters = new QHBoxLayout();
    for (int i = 0; i < kParameters; ++i) {
        parameterBoxes_[i] = new QGroupBox(this);
        QVBoxLayout* inside = tight(parameterBoxes_[i]);
        valueLabels_[i] = new QLabel(parameterBoxes_[i]);
        valueLabels_[i]->setAlignment(Qt::AlignHCenter);
        sliders_[i] = new QSlider(Qt::Vertical, parameterBoxes_[i]);
        sliders_[i]->setFocusPolicy(Qt::NoFocus);
        // The top is the parameter's maximum, position 0.
        sliders_[i]->setInvertedAppearance(true);
        sliders_[i]->setInvertedControls(true);
        sliders_[i]->setRange(0, kSliderRange);
        sliders_[i]->setMinimumHeight(100);
        inside->addWidget(valueLabels_[i]);
        inside->addWidget(sliders_[i], 1, Qt::AlignHCenter);
        parameters->addWidget(parameterBoxes_[i], 1);
        connect(sliders_[i], &QSlider::valueChanged, this, [this, i] {
            if (!updating_) {
                ApplySlider(i);
            }
        });
    }
    column->addLayout(parameters, 1);

    // "No Effect" from the start, shown without asking anyone: no deck is known yet.
    LoadParameters(kNoEffect);
    updating_ = true;
    for (int i = 0; i < kParameters; ++i) {
        sliders_[i]->setValue(SliderPosition(i));
        valueText_[i] = kNone;
        ShowValueText(i);
    }
    updating_ = false;
    ShowParameterNames();

    connect(effectList_, &QComboBox::activated, this,
            [this](int index) { ChooseEffect(effectList_->itemText(index)); });
    connect(onButton_, &QPushButton::clicked, this, &CTevEffects::OnOnButton);
}

void CTevEffects::SetDeck(int deck) {
    assert(deck >= 0 && deck < kDeckCount);
    deck_ = deck;
    setWindowTitle(deck == 0 ? QStringLiteral("Deck A Effects") : QStringLiteral("Deck B Effects"));
}

QString CTevEffects::GetEffectName() const {
    return effectList_->currentText();
}

void CTevEffects::LoadParameters(const QString& name) {
    const EffectRow* effect = FindEffect(name);
    for (int i = 0; i < kParameters; ++i) {
        BoundedValue& parameter = parameter_[i];
        if (effect == nullptr) {
            // Without an effect the ranges stay as they were.
            parameterName_[i] = kNone;
            parameter.Set(parameter.minimum());
            parameter.SetEnabled(false);
            continue;
        }
        const ParameterRow& row = effect->parameters[i];
        parameterName_[i] = QString::fromLatin1(row.name);
        parameter.SetLimits(row.minimum, row.maximum);
        parameter.Set(row.initial);
        parameter.SetEnabled(true);
    }
}

void CTevEffects::ChooseEffect(const QString& name) {
    LoadParameters(name);
    for (int i = 0; i < kParameters; ++i) {
        // The output builds the new effect from these: the old effect's values would set it
        // wrong (a reverb's 1000 ms as an echo's feedback) until the sliders catch up.
        effectParameter[deck_][i] = static_cast<float>(parameter_[i].Get());
        PostAppMessage(hMainWnd, WM_SYNC_EFFECT_SLIDER, WPARAM(deck_), LPARAM(i));
    }
    if (effectOn_) {
        SendAppMessage(hMixerWnd, WM_SET_EFFECT, WPARAM(deck_));
    }
    PostAppMessage(hMainWnd, WM_SHOW_EFFECT_CAPTIONS, WPARAM(deck_));
}

void CTevEffects::ShowParameterNames() {
    for (int i = 0; i < kParameters; ++i) {
        parameterBoxes_[i]->setTitle(parameterName_[i]);
    }
}

void CTevEffects::ShowValueText(int i) {
    valueLabels_[i]->setText(valueText_[i]);
}

int CTevEffects::SliderPosition(int i) const {
    const BoundedValue& p = parameter_[i];
    return kSliderRange -
           static_cast<int>((p.Get() - p.minimum()) / (p.maximum() - p.minimum()) * kSliderRange);
}

void CTevEffects::ShowSliderPosition(int i) {
    updating_ = true;
    sliders_[i]->setValue(SliderPosition(i));
    updating_ = false;
    // Applied even where the slider stays put: the new effect's value may fall on the old one's
    // position, and it still has to be shown and shared.
    ApplySlider(i);
}

void CTevEffects::ApplySlider(int i) {
    BoundedValue& p = parameter_[i];
    const int position = sliders_[i]->value();
    p.Set(p.minimum() + static_cast<double>(kSliderRange - position) / kSliderRange *
                            (p.maximum() - p.minimum()));
    UpdateParameter(i);
}

void CTevEffects::UpdateParameter(int i) {
    const QString name = effectList_->currentText();
    // The mixer reads the value from effectParameter when it handles the message: it must be
    // there first.
    effectParameter[deck_][i] = static_cast<float>(parameter_[i].Get());
    valueText_[i] = ValueText(name, i, parameter_[i].Get());
    if (effectOn_ && name != kNoEffect) {
        SendAppMessage(hMixerWnd, WM_SET_EFFECT_PARAMETER, WPARAM(deck_), LPARAM(i));
    }
    PostAppMessage(hMainWnd, WM_SHOW_EFFECT_VALUE, WPARAM(deck_), LPARAM(i));
}

QString CTevEffects::ValueText(const QString& effect, int i, double value) {
    const EffectRow* row = FindEffect(effect);
    if (row == nullptr) {
        return kNone;
    }
    const ParameterRow& parameter = row->parameters[i];
    // Worked out from the float the output gets, so the text and the sound agree.
    const float shown = static_cast<float>(value) / parameter.divisor;
    switch (parameter.reading) {
        case Reading::kWaveShape:
            return shown < 1.0F ? QStringLiteral("square") : QStringLiteral("triangle");
        case Reading::kThousandths:
            return QString::asprintf("%.3f", static_cast<double>(shown));
        case Reading::kStepped:
            break;
    }
    const float stepped = std::trunc(shown / row->step) * row->step;
    return QString::asprintf("%.1f%s", static_cast<double>(stepped), parameter.unit);
}

void CTevEffects::OnOnButton() {
    effectOn_ = !effectOn_;
    onButton_->SetOnLook(effectOn_);
    onButton_->setText(effectOn_ ? QStringLiteral("Off") : QStringLiteral("On"));
    SendAppMessage(hMixerWnd, effectOn_ ? WM_SET_EFFECT : WM_CLEAR_EFFECT, WPARAM(deck_));
}

}  // namespace tev
