// A headless walk-through of the updater: the real window on the offscreen
// platform, against a fresh simulated device, worked as an operator would.

#include "mainwindow.h"
#include "walkthrough.h"

#include <QApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

using namespace orvsim;

namespace {

// The offscreen platform's notes about what it cannot do are no news here.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")) || message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quietHandler);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen screen claims 100 DPI, which the program's scaling
    // would picture at 104%: the pictures are of a display at 100%, 96 DPI,
    // unless QT_FONT_DPI says otherwise.
    if (!qEnvironmentVariableIsSet("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    // Scaled as the program is, so that QT_SCALE_FACTOR pictures it at any scale.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);

    QStringList args = app.arguments().mid(1);
    QString out = QStringLiteral("walkthrough");
    const int outAt = args.indexOf(QStringLiteral("--out"));
    if (outAt >= 0 && outAt + 1 < args.size()) {
        out = args[outAt + 1];
        args.erase(args.begin() + outAt, args.begin() + outAt + 2);
    }
    const QString name = args.value(0, QStringLiteral("typical"));

    const Scenario *scenario = findScenario(name);
    if (!scenario || args.size() > 1) {
        std::fprintf(stderr, "usage: orv-walkthrough [SCENARIO] [--out FOLDER]\nscenarios:\n");
        for (const Scenario &candidate : scenarios())
            std::fprintf(stderr, "  %-12s %s\n", qPrintable(candidate.name), qPrintable(candidate.description));
        return 2;
    }

    // Taken before the working directory becomes the release's folder, as
    // the program's does.
    const QDir pictures(QDir(out).absolutePath());
    if (!pictures.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "orv-walkthrough: cannot make %s\n", qPrintable(QDir::toNativeSeparators(pictures.path())));
        return 2;
    }
    removeOwnPictures(pictures);

    // Short writes, but long enough to see the busy dialog and the lines
    // arriving while it is up.
    Device device;
    device.fx3WriteMs = 1000;
    device.fpgaWriteMs = 2000;
    Simulator::reset(device);
    Simulator::edit(scenario->setUp);
    // The scenario's device goes into the state file, where orv-sim can look
    // at it and change it while the walk-through runs. The library has said
    // why when it cannot.
    const QString state = Simulator::statePath();
    if (!Simulator::saveState(state) || !Simulator::usePersistentState(state))
        return 2;
    std::printf("The simulated device is set up in %s\n", qPrintable(QDir::toNativeSeparators(state)));

    MainWindow window;
    window.show();
    QApplication::processEvents();
    Walkthrough walkthrough(window, *scenario, pictures);
    return walkthrough.run();
}
