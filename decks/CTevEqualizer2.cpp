#include "decks/CTevEqualizer2.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cassert>
#include <cmath>

#include "controls/CTevButtonCtrl.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "platform/MessageLayer.h"

namespace tev {
namespace {

constexpr int kBandCounts[] = {2, 3, 5};

double GainOf(int position) {
    return (2000 - position) / 1000.0;
}

int PositionOf(double gain) {
    return static_cast<int>(std::lround(2000 - gain * 1000));
}

}  // namespace

CTevEqualizer2::CTevEqualizer2(QWidget* parent) : QDialog(parent) {
    for (BoundedValue& value : bandValues_) {
        value = BoundedValue(GainOf(kSliderFlat), GainOf(kSliderBottom), GainOf(kSliderTop));
    }

    // The panel shares the row under its deck with the effects panel: every pixel counts.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(4);
    const auto tight = [](QGroupBox* box) {
        auto* column = new QVBoxLayout(box);
        column->setContentsMargins(2, 2, 2, 2);
        column->setSpacing(2);
        return column;
    };

    grid->addWidget(MakeEnableGroup(this, onButton_), 0, 0);

    auto* countBox = new QGroupBox(QStringLiteral("# Bands"), this);
    QVBoxLayout* countColumn = tight(countBox);
    for (size_t i = 0; i < countButtons_.size(); ++i) {
        countButtons_[i] = new QRadioButton(QString::number(kBandCounts[i]), countBox);
        countButtons_[i]->setFocusPolicy(Qt::NoFocus);  // the keys belong to keyboard control
        countColumn->addWidget(countButtons_[i]);
        connect(countButtons_[i], &QRadioButton::clicked, this,
                [this, i] { ChooseBandCount(kBandCounts[i]); });
    }
    grid->addWidget(countBox, 1, 0);

    for (int b = 0; b < kMaxBands; ++b) {
        bandBoxes_[b] = new QGroupBox(QStringLiteral("Band %1").arg(b + 1), this);
        QVBoxLayout* column = tight(bandBoxes_[b]);
        labels_[b] = new QLabel(bandBoxes_[b]);
        labels_[b]->setAlignment(Qt::AlignHCenter);
        QFont small = labels_[b]->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        labels_[b]->setFont(small);
        // Wide enough for "12000 Hz", so the boxes keep their width as the count changes.
        labels_[b]->setMinimumWidth(
            QFontMetrics(small).horizontalAdvance(QStringLiteral("12000 Hz")));
        sliders_[b] = new QSlider(Qt::Vertical, bandBoxes_[b]);
        sliders_[b]->setFocusPolicy(Qt::NoFocus);
        // The top is the highest gain, position 850.
        sliders_[b]->setInvertedAppearance(true);
        sliders_[b]->setInvertedControls(true);
        sliders_[b]->setMinimumHeight(70);
        column->addWidget(labels_[b]);
        column->addWidget(sliders_[b], 1, Qt::AlignHCenter);
        grid->addWidget(bandBoxes_[b], 0, b + 1, 2, 1);
        connect(sliders_[b], &QSlider::valueChanged, this, [this, b] { OnBandSlider(b); });
    }

    graph_ = new CTevEqualizerGraph(this);
    graph_->setFixedHeight(50);  // one and a quarter pixels a decibel
    grid->addWidget(graph_, 2, 0, 1, kMaxBands + 1);

    updating_ = true;
    for (QSlider* slider : sliders_) {
        slider->setRange(kSliderTop, kSliderBottom);
        slider->setValue(kSliderFlat);
    }
    updating_ = false;
    countButtons_[1]->setChecked(true);
    EnableBands(bandCount_);
    connect(onButton_, &QPushButton::clicked, this, &CTevEqualizer2::OnOnButton);
}

void CTevEqualizer2::SetDeck(int deck) {
    assert(deck >= 0 && deck < kDeckCount);
    deck_ = deck;
    setWindowTitle(deck == 0 ? QStringLiteral("Deck A Equalizer")
                             : QStringLiteral("Deck B Equalizer"));
    SetBandCount(3);
    // The bands keyboard control moves; Ctrl reaches Deck B's.
    const QString ctrl = deck == 0 ? QString() : QStringLiteral("Ctrl-");
    sliders_[0]->setToolTip(QStringLiteral("'%1A', '%1Z'").arg(ctrl));
    sliders_[1]->setToolTip(QStringLiteral("'%1S', '%1X'").arg(ctrl));
    sliders_[2]->setToolTip(QStringLiteral("'%1C'").arg(ctrl));
}

void CTevEqualizer2::EnableBands(int count) {
    for (int b = 0; b < kMaxBands; ++b) {
        const bool used = b < count;
        labels_[b]->setEnabled(used);
        bandBoxes_[b]->setEnabled(used);
        sliders_[b]->setEnabled(used);
    }
}

void CTevEqualizer2::ChooseBandCount(int count) {
    updating_ = true;
    EnableBands(count);
    SetBandCount(count);
    graph_->update();
    updating_ = false;
}

void CTevEqualizer2::SetBandCount(int count) {
    assert(count == 2 || count == 3 || count == 5);
    bandCount_ = std::clamp(count, FilterBank::kMinBands, kMaxBands);
    FilterBank& bank = equalizerBanks[deck_];
    bank.Design(bandCount_);
    bank.GetFrequencyAxis(frequencyAxis_);
    for (int b = 0; b < kMaxBands; ++b) {
        if (b < bandCount_) {
            labels_[b]->setText(
                QStringLiteral("%1 Hz").arg(std::lround(bank.GetCenterFrequency(b))));
            bank.GetBandResponse(b, graph_->response(b));
        } else {
            labels_[b]->clear();
        }
    }
    if (equalizerOn_) {
        // The output rebuilds the deck's equalizer with the new bands.
        SendAppMessage(hMixerWnd, WM_APPLY_EQUALIZER, WPARAM(deck_));
    }
    graph_->SetBandCount(bandCount_);
}

void CTevEqualizer2::SetBand(int band, double value) {
    assert(band >= 0 && band < kMaxBands);
    FilterBank& bank = equalizerBanks[deck_];
    bank.GetFrequencyAxis(frequencyAxis_);
    bank.SetBandGain(band, static_cast<float>(value));
    bank.UpdateBandResponse(band);
    // The mixer reads the gain from the band set when it handles the message: the gain must be
    // there first, or the output would apply the one before.
    SendAppMessage(hMixerWnd, WM_SET_EQUALIZER_BAND, WPARAM(deck_), LPARAM(band));
    bank.GetBandResponse(band, graph_->response(band));
    graph_->update();
}

void CTevEqualizer2::OnBandSlider(int band) {
    if (updating_) {
        return;
    }
    const double value = GainOf(sliders_[band]->value());
    bandValues_[band].Set(value);
    SetBand(band, value);
}

void CTevEqualizer2::NudgeBand(int band, double step) {
    if (band >= bandCount_) {
        return;
    }
    BoundedValue value = bandValues_[band];
    value.Nudge(step);
    sliders_[band]->setValue(PositionOf(value.Get()));
}

void CTevEqualizer2::OnOnButton() {
    equalizerOn_ = !equalizerOn_;
    onButton_->SetOnLook(equalizerOn_);
    onButton_->setText(equalizerOn_ ? QStringLiteral("Off") : QStringLiteral("On"));
    SendAppMessage(hMixerWnd, equalizerOn_ ? WM_APPLY_EQUALIZER : WM_DISABLE_EQUALIZER,
                   WPARAM(deck_));
}

}  // namespace tev
