// Measures what the updater promises, each against a baseline in the same run:
//   wait-cpu       GUI-thread CPU while a worker writes for a few seconds:
//                  the program's wait against a spin on processEvents
//   message-delay  worst time from a worker's emit to the appended paragraph
//   startup        process start to the window shown with its banner,
//                  against a bare QMainWindow with one QTextEdit
//   peak-rss       peak resident memory through a full simulated update,
//                  against the bare window
// Every figure is the median of several runs.

#include "firmwarerelease.h"
#include "mainwindow.h"
#include "processusage.h"
#include "simulator.h"
#include "updatedevicethread.h"
#include "workerwait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

using namespace orvsim;

namespace {

constexpr int waitRuns = 5;
constexpr int startupRuns = 9;
constexpr int memoryRuns = 3;
constexpr int fpgaWriteMs = 3000;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void report(const char *name, double ours, double baseline, const char *unit)
{
    std::printf("%s: %.2f %s vs %.2f %s, ratio %.4f\n", name, ours, unit, baseline, unit,
                baseline > 0 ? ours / baseline : 0.0);
    std::fflush(stdout);
}

struct WaitFigures
{
    double cpuMs;
    double worstDelayMs;
};

// One simulated update (FX3 instant, FPGA a few seconds) waited for either
// way, with its lines appended to a log.
WaitFigures measureWait(bool spin)
{
    Device device;
    device.fpgaWriteMs = fpgaWriteMs;
    Simulator::reset(device);

    QTextEdit log;
    UpdateDeviceThread worker;
    worker.deviceInfo.serialNumber = device.serialNumber;
    worker.deviceInfo.fx3Version = 5;
    worker.deviceInfo.fpgaVersion = 7;
    worker.deviceInfo.targetFx3Version = Release::versions.fx3;
    worker.deviceInfo.targetFpgaVersion = Release::versions.fpga;

    std::map<QString, qint64> emitted;
    std::map<QString, qint64> appended;
    QObject::connect(&worker, &UpdateDeviceThread::addLine, &worker,
                     [&](const QString &s) { emitted[s] = nowNs(); }, Qt::DirectConnection);
    QObject::connect(&worker, &UpdateDeviceThread::addLine, &log, &QTextEdit::append);
    QObject::connect(&log, &QTextEdit::textChanged, &log, [&] {
        const QString last = log.document()->lastBlock().text();
        if (!appended.count(last))
            appended[last] = nowNs();
    });

    const double before = threadCpuMs();
    if (spin) {
        worker.start();
        while (!worker.isFinished())
            QCoreApplication::processEvents();
        worker.wait();
    } else {
        waitForWorker(worker);
    }
    const double cpu = threadCpuMs() - before;
    QCoreApplication::processEvents();

    double worst = 0;
    for (const auto &line : emitted) {
        const auto found = appended.find(line.first);
        if (found != appended.end())
            worst = std::max(worst, static_cast<double>(found->second - line.second) / 1e6);
    }
    if (!worker.succeeded)
        std::fprintf(stderr, "orv-bench: the simulated update failed\n");
    return {cpu, worst};
}

// The children: each prints one figure and ends.
int child(const QString &what)
{
    if (what == QLatin1String("updater-start") || what == QLatin1String("bare-start")) {
        QMainWindow *bare = nullptr;
        MainWindow *updater = nullptr;
        QWidget *shown;
        if (what == QLatin1String("bare-start")) {
            bare = new QMainWindow;
            bare->setCentralWidget(new QTextEdit);
            bare->resize(800, 400);
            shown = bare;
        } else {
            Simulator::reset();
            updater = new MainWindow;
            shown = updater;
        }
        shown->show();
        while (!shown->windowHandle() || !shown->windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        std::printf("shown\n");
        std::fflush(stdout);
        delete bare;
        delete updater;
        return 0;
    }

    if (what == QLatin1String("updater-rss")) {
        Device device;
        device.fx3WriteMs = 200;
        device.fpgaWriteMs = 500;
        Simulator::reset(device);
        MainWindow window;
        window.show();
        QCoreApplication::processEvents();
        for (const char *name : {"checkButton", "updateButton"})
            window.findChild<QPushButton *>(QLatin1String(name))->click();
        if (Simulator::device().fpgaStore != Release::versions.fpga)
            std::fprintf(stderr, "orv-bench: the simulated update did not complete\n");
    } else if (what == QLatin1String("bare-rss")) {
        QMainWindow window;
        window.setCentralWidget(new QTextEdit);
        window.resize(800, 400);
        window.show();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    } else {
        return 2;
    }
    std::printf("%ld\n", peakRssKiB());
    return 0;
}

double runChild(const QString &what, bool timeToOutput)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), what});
    if (!process.waitForStarted(10000))
        return -1;
    QByteArray out;
    double elapsed = -1;
    while (process.state() != QProcess::NotRunning || process.bytesAvailable()) {
        if (process.waitForReadyRead(100) || process.bytesAvailable()) {
            out += process.readAllStandardOutput();
            if (timeToOutput && elapsed < 0 && out.contains('\n'))
                elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        }
        if (timer.elapsed() > 60000)
            break;
    }
    process.waitForFinished(10000);
    return timeToOutput ? elapsed : out.trimmed().toDouble();
}

} // namespace

int main(int argc, char *argv[])
{
    // The program's own scaling, for it and for the bare window it is
    // measured against.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    if (argc == 3 && QByteArray(argv[1]) == "--child") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::printf("Waiting for a simulated %d ms FPGA write, %d runs each way...\n", fpgaWriteMs, waitRuns);
    std::fflush(stdout);
    std::vector<double> oursCpu, spinCpu, oursDelay, spinDelay;
    for (int run = 0; run < waitRuns; ++run) {
        const WaitFigures ours = measureWait(false);
        const WaitFigures spin = measureWait(true);
        oursCpu.push_back(ours.cpuMs);
        spinCpu.push_back(spin.cpuMs);
        oursDelay.push_back(ours.worstDelayMs);
        spinDelay.push_back(spin.worstDelayMs);
        std::printf("  run %d: CPU %.1f ms vs %.1f ms; worst message delay %.3f ms vs %.3f ms\n", run + 1,
                    ours.cpuMs, spin.cpuMs, ours.worstDelayMs, spin.worstDelayMs);
        std::fflush(stdout);
    }

    std::printf("Starting the updater and a bare window, %d times each...\n", startupRuns);
    std::fflush(stdout);
    std::vector<double> oursStart, bareStart;
    for (int run = 0; run < startupRuns; ++run) {
        oursStart.push_back(runChild(QStringLiteral("updater-start"), true));
        bareStart.push_back(runChild(QStringLiteral("bare-start"), true));
    }

    std::printf("Peak memory through a full simulated update, %d times each...\n", memoryRuns);
    std::fflush(stdout);
    std::vector<double> oursRss, bareRss;
    for (int run = 0; run < memoryRuns; ++run) {
        oursRss.push_back(runChild(QStringLiteral("updater-rss"), false) / 1024.0);
        bareRss.push_back(runChild(QStringLiteral("bare-rss"), false) / 1024.0);
    }

    std::printf("\n");
    report("wait-cpu", median(oursCpu), median(spinCpu), "ms");
    report("message-delay", median(oursDelay), median(spinDelay), "ms");
    report("startup", median(oursStart), median(bareStart), "ms");
    report("peak-rss", median(oursRss), median(bareRss), "MiB");
    return 0;
}
