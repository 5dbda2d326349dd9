#include "controls/CTevTipOfTheDay.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "core/SettingsStore.h"

namespace tev {
namespace {

constexpr const char* kTips[CTevTipOfTheDay::kTipCount] = {
    "To get started:\n\n1. Click the chooser box on Deck A that says \"Nothing Loaded\"\n2. Select "
    "\"Browse...\"\n3. Choose a sound file\n4. Click the play/pause button.",
    "Double click an item on the play list to send it to a deck.",
    "To play a CD, your user must be allowed to read the CD drive (on most systems: be in the "
    "\"cdrom\" group). A CD image (a .cue file with its .bin) plays without a drive: choose it "
    "through \"Browse...\".",
    "Enabling the Analyzer uses extra CPU cycles.",
    "Keyboard shortcuts will not work if the play list is the active window.",
    "You can split a four channel sound device so you can use the front and rear outputs "
    "separately for the headphones and main output.  This will however make their volume "
    "controls the same.",
    "The effects and the equalizer work on a split sound device too.",
    "You can only play backwards for about 7 seconds.",
    "If you want to record your mix: click the red record button beside the mixer's status "
    "line, and click it again to finish. Its folder and format are in Options. Another program "
    "can record the sound server's monitor of the main output's device too.",
};

int Wrapped(uint32_t stored) {
    return static_cast<int>(stored % CTevTipOfTheDay::kTipCount);
}

}  // namespace

CTevTipOfTheDay::CTevTipOfTheDay(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Tip Of The Day"));
    auto* layout = new QVBoxLayout(this);
    tipText_ = new QLabel(this);
    tipText_->setWordWrap(true);
    tipText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tipText_->setFrameShape(QFrame::StyledPanel);
    tipText_->setMargin(10);
    tipText_->setMinimumSize(380, 150);
    layout->addWidget(tipText_, 1);
    auto* row = new QHBoxLayout();
    showAtStartup_ = new QCheckBox(QStringLiteral("Show Tips At Startup"), this);
    nextTip_ = new QPushButton(QStringLiteral("Next Tip"), this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    nextTip_->setAutoDefault(false);
    row->addWidget(showAtStartup_, 1);
    row->addWidget(nextTip_);
    row->addWidget(ok_);
    layout->addLayout(row);

    // A stored index from an older list or an edited file is taken modulo the count.
    index_ = Wrapped(Settings().LoadTipOfTheDayIndex());
    showAtStartup_->setChecked(Settings().LoadShowTipOfTheDay());
    tipText_->setText(Tip(index_));
    connect(nextTip_, &QPushButton::clicked, this, &CTevTipOfTheDay::OnNextTip);
    connect(ok_, &QPushButton::clicked, this, &CTevTipOfTheDay::OnOK);
    connect(showAtStartup_, &QCheckBox::clicked, this, &CTevTipOfTheDay::OnShowAtStartup);
}

QString CTevTipOfTheDay::Tip(int index) {
    return QString::fromUtf8(kTips[Wrapped(static_cast<uint32_t>(index))]);
}

bool CTevTipOfTheDay::ShouldShowAtStart() {
    const char* off = std::getenv("TEV_NO_TIPS");
    if (off != nullptr && *off != 0) {
        return false;
    }
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        return false;
    }
    return Settings().LoadShowTipOfTheDay();
}

void CTevTipOfTheDay::OnNextTip() {
    index_ = (index_ + 1) % kTipCount;
    Settings().SaveTipOfTheDayIndex(static_cast<uint32_t>(index_));
    tipText_->setText(Tip(index_));
}

void CTevTipOfTheDay::OnOK() {
    // The next start shows the tip after this one.
    Settings().SaveTipOfTheDayIndex(static_cast<uint32_t>((index_ + 1) % kTipCount));
    accept();
}

void CTevTipOfTheDay::OnShowAtStartup(bool checked) {
    Settings().SaveShowTipOfTheDay(checked);
}

}  // namespace tev
