#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>

namespace {

struct ProcessRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
    std::chrono::milliseconds took{0};
};

ProcessRun RunProgram(const QString& program, const QProcessEnvironment& env, int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(env);
    const auto start = std::chrono::steady_clock::now();
    process.start(program, {});
    ProcessRun run;
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

}  // namespace

TEST(Shutdown, ClosingWithBlockedWorkersExitsZeroPromptly) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", config.path());

    const ProcessRun run = RunProgram(TEV_SHUTDOWN_PROBE, env, 20000);
    ASSERT_TRUE(run.finished) << "the process hung; output: " << run.out.toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("mixer shown")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("main window closed, mixer handle cleared, loader busy 1"))
        << run.out.toStdString();
    EXPECT_LT(run.took.count(), 10000);
    // The colours were read through the settings store, which wrote their defaults.
    EXPECT_TRUE(QFile::exists(config.path() + "/Tev Quillet/TevAudio.conf"));
}

TEST(Shutdown, WithoutADisplayTheProgramSaysSoInOneLine) {
    QProcessEnvironment env;
    env.insert("PATH", "/usr/bin:/bin");
    env.insert("HOME", QDir::tempPath());
    const ProcessRun run = RunProgram(TEV_APP, env, 20000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("xvfb-run")) << run.err.toStdString();
    EXPECT_EQ(run.err.trimmed().count('\n'), 0) << run.err.toStdString();
}
