#include "decks/CTevAudioDlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>

#include "core/EngineState.h"
#include "core/QtMessagePump.h"
#include "platform/SoundCard.h"

using namespace tev;

TEST(MainWindow, DropoutsOfEverySoundCardAreCountedAndShownBesideTheProcessorLoad) {
    QtMessagePump pump;
    SetMessagePump(&pump);
    {
        CTevAudioDlg dialog;
        hMainWnd.Attach(&dialog);
        ManualClockCard card;
        const uint64_t before = SoundCard::TotalUnderruns();
        card.ReportUnderflow();
        card.ReportUnderflow();
        EXPECT_EQ(card.Underruns(), 2U);
        EXPECT_EQ(SoundCard::TotalUnderruns(), before + 2);
        dialog.SampleCpuUsage();
        QCoreApplication::processEvents();
        EXPECT_EQ(dialog.dropoutsLabel()->text(), QStringLiteral("%1 dropouts").arg(before + 2));
        EXPECT_TRUE(dialog.cpuUsageLabel()->text().endsWith(QStringLiteral(" %")));
    }
    SetMessagePump(nullptr);
}
