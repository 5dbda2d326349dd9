#include "decks/CTevAudioDlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/QtMessagePump.h"

using namespace tev;

TEST(MainWindow, TheCpuSampleIsShownAsAWholePercentThroughThePostOffice) {
    QtMessagePump pump;
    SetMessagePump(&pump);
    {
        CTevAudioDlg dialog;
        hMainWnd.Attach(&dialog);
        EXPECT_EQ(dialog.cpuUsageLabel()->text(), QStringLiteral("0 %"));
        dialog.SampleCpuUsage();
        EXPECT_EQ(dialog.cpuUsageLabel()->text(), QStringLiteral("0 %"))
            << "updated only when posted";
        QCoreApplication::processEvents();
        const QString text = dialog.cpuUsageText();
        EXPECT_TRUE(text.endsWith(QStringLiteral(" %")));
        EXPECT_EQ(dialog.cpuUsageLabel()->text(), text);
        EXPECT_EQ(dialog.cpuUsageBar()->value(), text.section(QLatin1Char(' '), 0, 0).toInt());
        // Numbers without a handler change nothing.
        for (const uint32_t unused :
             {WM_APP + 59, WM_APP + 60, WM_APP + 67, WM_APP + 68, WM_APP + 74}) {
            EXPECT_EQ(SendAppMessage(hMainWnd, unused), 0);
        }
        EXPECT_EQ(dialog.cpuUsageLabel()->text(), text);
    }
    EXPECT_FALSE(hMainWnd);
    SetMessagePump(nullptr);
}
