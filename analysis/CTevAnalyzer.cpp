#include "analysis/CTevAnalyzer.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "analysis/CTevAnalyzerGraph.h"
#include "controls/CTevButtonCtrl.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"

namespace tev {

namespace {

QVBoxLayout* Tight(QGroupBox* box) {
    auto* inside = new QVBoxLayout(box);
    inside->setContentsMargins(4, 2, 4, 2);
    inside->setSpacing(0);
    return inside;
}

}  // namespace

CTevAnalyzer::CTevAnalyzer(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Analyzer"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    auto* controls = new QVBoxLayout();
    controls->setSpacing(2);
    row->addLayout(controls);

    auto* typeBox = new QGroupBox(QStringLiteral("Graph Type"), this);
    // In the order of the radios: Scope, Octave, Chart.
    constexpr int kTypes[3] = {CTevAnalyzerGraph::kScope, CTevAnalyzerGraph::kOctave,
                               CTevAnalyzerGraph::kChart};
    const QString typeNames[3] = {QStringLiteral("Scope"), QStringLiteral("Octave"),
                                  QStringLiteral("Chart")};
    QVBoxLayout* types = Tight(typeBox);
    for (int i = 0; i < 3; ++i) {
        graphTypeRadios_[i] = new QRadioButton(typeNames[i], typeBox);
        types->addWidget(graphTypeRadios_[i]);
        connect(graphTypeRadios_[i], &QRadioButton::clicked, this,
                [this, type = kTypes[i]] { OnGraphType(type); });
    }
    controls->addWidget(typeBox);

    auto* deckBox = new QGroupBox(QStringLiteral("Choose Deck"), this);
    auto* deckGrid = new QHBoxLayout(deckBox);
    deckGrid->setContentsMargins(4, 2, 4, 2);
    const QString deckNames[4] = {QStringLiteral("Deck A"), QStringLiteral("Deck B"),
                                  QStringLiteral("Both"), QStringLiteral("Split")};
    auto* left = new QVBoxLayout();
    auto* right = new QVBoxLayout();
    deckGrid->addLayout(left);
    deckGrid->addLayout(right);
    for (int i = 0; i < 4; ++i) {
        deckRadios_[i] = new QRadioButton(deckNames[i], deckBox);
        (i < 2 ? left : right)->addWidget(deckRadios_[i]);
        connect(deckRadios_[i], &QRadioButton::clicked, this,
                [this, i] { graph_->SetDeckSelection(i); });
    }
    controls->addWidget(deckBox);

    row->addWidget(MakeEnableGroup(this, onButton_));
    connect(onButton_, &CTevButtonCtrl::clicked, this, &CTevAnalyzer::OnOnButton);

    auto* plot = new QGroupBox(QStringLiteral("Plot"), this);
    graph_ = new CTevAnalyzerGraph(plot);
    Tight(plot)->addWidget(graph_);
    row->addWidget(plot, 1);

    // The graph starts as a scope of Deck A.
    graphTypeRadios_[0]->setChecked(true);
    deckRadios_[0]->setChecked(true);
}

void CTevAnalyzer::OnGraphType(int graphType) {
    graph_->SetGraphType(graphType);
    // Each graph needs its own analysis; the chart's runs always.
    graph_->SetOctaveEnabled(graphType == CTevAnalyzerGraph::kOctave);
    graph_->SetScopeEnabled(graphType == CTevAnalyzerGraph::kScope);
}

void CTevAnalyzer::OnOnButton() {
    on_ = !on_;
    onButton_->SetOnLook(on_);
    onButton_->setText(on_ ? QStringLiteral("On") : QStringLiteral("Off"));
    // Off, nothing is shown, so nothing beyond the chart is analysed.
    graph_->SetOctaveEnabled(on_ && graphTypeRadios_[1]->isChecked());
    graph_->SetScopeEnabled(on_ && graphTypeRadios_[0]->isChecked());
}

void CTevAnalyzer::ShowAnalysis() {
    if (on_) {
        graph_->repaint();
    }
}

void CTevAnalyzer::closeEvent(QCloseEvent* event) {
    SendAppMessage(hMixerWnd, WM_PANEL_CLOSED, 0, kResource);
    QDialog::closeEvent(event);
}

}  // namespace tev
