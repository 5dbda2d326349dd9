#include "playlist/CTevDeckSelector.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

namespace tev {

CTevDeckSelector::CTevDeckSelector(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Select Deck"));

    auto* choices = new QGroupBox(tr("Choices"), this);
    auto* choiceLayout = new QVBoxLayout(choices);
    const std::pair<QString, Choice> buttons[] = {
        {tr("Deck A"), kDeckA}, {tr("Deck B"), kDeckB}, {tr("Switch"), kSwitch}};
    for (const auto& entry : buttons) {
        const Choice choice = entry.second;
        auto* button = new QRadioButton(entry.first, choices);
        button->setChecked(choice == choice_);
        connect(button, &QRadioButton::clicked, this, [this, choice] { choice_ = choice; });
        choiceLayout->addWidget(button);
    }

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(choices);
    layout->addWidget(box);
}

}  // namespace tev
