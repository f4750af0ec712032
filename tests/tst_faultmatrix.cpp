// Every library call of every flow, made to fail and, separately, cut off by
// an unplug: what the operator sees, what the device holds, and that no call
// follows a failure the flow tests.

#include "flowsupport.h"
#include "workersupport.h"

#include <QtTest>

using namespace orvsim;
using namespace testsupport;

namespace {

enum class Flow { Check, Bootstrap, Update, Restore };

struct FlowSetup
{
    QString name;
    Flow flow;
    Device device;
    int fx3 = 0; // the record handed to a write flow
    int fpga = 0;
};

struct Row
{
    FlowSetup setup;
    int index;  // of the broken call in the clean run's calls
    Op op;
    int nth;    // which call of op that is
    bool unplug;
};

QList<FlowSetup> setups()
{
    Device typical;
    Device failed;
    failed.fx3Store = 7;
    failed.fpgaStore = 9;
    failed.fpgaStatus = 2;
    Device bootLoader;
    bootLoader.mode = Mode::BootLoader;
    bootLoader.fx3Store = erased;
    return {
        {"check", Flow::Check, typical},
        {"bootstrap", Flow::Bootstrap, bootLoader},
        {"update both", Flow::Update, typical, 5, 7},
        {"update FX3 only", Flow::Update, typical, 5, 9},
        {"update FPGA only", Flow::Update, typical, 7, 7},
        {"update neither", Flow::Update, typical, 7, 9},
        {"restore", Flow::Restore, failed, 7, 9},
    };
}

struct Outcome
{
    QStringList lines;
    QVector<Call> calls;
    Device device;
    bool update = false;
    bool restore = false;
    bool panelEnabled = true;
};

Outcome runFlow(const FlowSetup &setup)
{
    Outcome outcome;
    Window w;
    Operator op(w.panel());
    if (setup.flow == Flow::Check || setup.flow == Flow::Bootstrap) {
        QTest::mouseClick(w.check(), Qt::LeftButton);
    } else {
        w.panel().deviceInfo = recordFor(setup.fx3, setup.fpga, setup.device.serialNumber);
        w.panel().deviceInfo.state = setup.flow == Flow::Restore ? NeedsRestore : Ready;
        QMetaObject::invokeMethod(&w.panel(), setup.flow == Flow::Restore ? "restoreDevice" : "updateDevice");
    }
    outcome.lines = w.lines();
    outcome.calls = Simulator::calls();
    outcome.device = Simulator::device();
    outcome.update = w.update()->isEnabled();
    outcome.restore = w.restore()->isEnabled();
    outcome.panelEnabled = w.panel().isEnabled();
    return outcome;
}

int rowCount = 0;

} // namespace

Q_DECLARE_METATYPE(Row)

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void matrix_data();
    void matrix();
    void cleanupTestCase();

private:
    QHash<QString, QVector<Call>> cleanRuns;
};

void TestFaultMatrix::matrix_data()
{
    QTest::addColumn<Row>("row");
    for (const FlowSetup &setup : setups()) {
        Simulator::reset(setup.device);
        const Outcome clean = runFlow(setup);
        cleanRuns[setup.name] = clean.calls;
        QHash<int, int> seen;
        for (int i = 0; i < clean.calls.size(); ++i) {
            const Op op = clean.calls[i].op;
            const int nth = ++seen[int(op)];
            for (bool unplug : {false, true}) {
                QTest::addRow("%s: %s #%d %s", qPrintable(setup.name), qPrintable(opName(op)), nth,
                              unplug ? "unplugged" : "fails")
                    << Row{setup, i, op, nth, unplug};
                ++rowCount;
            }
        }
    }
}

void TestFaultMatrix::matrix()
{
    QFETCH(Row, row);
    const FlowSetup &setup = row.setup;
    const QVector<Call> clean = cleanRuns.value(setup.name);
    Simulator::reset(setup.device);
    if (row.unplug)
        Simulator::unplugAt(row.op, row.nth);
    else
        Simulator::failCall(row.op, ORVStatus(23), row.nth);
    const Outcome out = runFlow(setup);

    // The calls up to the broken one are the clean run's.
    QVERIFY(out.calls.size() > row.index);
    for (int i = 0; i <= row.index; ++i)
        QCOMPARE(out.calls[i].op, clean[i].op);
    QStringList done;
    QStringList after;
    for (int i = 0; i < out.calls.size(); ++i)
        (i <= row.index ? done : after) << opName(out.calls[i].op);
    int fx3 = setup.device.fx3Store;
    int fpga = setup.device.fpgaStore;
    storesAfter(done, row.unplug, &fx3, &fpga);
    QCOMPARE(int(out.device.fx3Store), fx3);
    QCOMPARE(int(out.device.fpgaStore), fpga);

    if (setup.flow == Flow::Update || setup.flow == Flow::Restore) {
        QVERIFY(!out.panelEnabled);
        const Write write = setup.flow == Flow::Restore ? Write::Restore : Write::Update;
        const QString line = failureLine(write, row.op, row.unplug);
        if (!line.isEmpty()) {
            // A failure the worker tests: never a success, its line last,
            // no call after it but the open of a list it does not look at.
            QCOMPARE(out.lines.mid(out.lines.size() - 5), QStringList(line) + failure);
            QVERIFY(!out.lines.contains(success[0]));
            const bool listFailure = write == Write::Restore && row.op == Op::GetDeviceList && !row.unplug;
            QCOMPARE(after, listFailure ? QStringList("OpenDevice") : QStringList());
        } else {
            // Only the preset's result is ignored: the writes stand.
            QCOMPARE(row.op, Op::Preset);
            QCOMPARE(out.lines.mid(out.lines.size() - 2), success);
            QVERIFY(after.isEmpty());
        }
        return;
    }

    // Check and bootstrap: nothing is written; only what applies is enabled.
    QVERIFY(out.panelEnabled);
    QVERIFY(!(out.update && out.restore));
    const QStringList tail = out.lines.mid(3);
    const bool toBootstrap = row.op == Op::GetDeviceList || row.op == Op::OpenDevice || row.op == Op::Bootstrap;
    if (setup.flow == Flow::Bootstrap) {
        if (row.op == Op::Bootstrap || (row.unplug && row.op == Op::GetDeviceList)) {
            QVERIFY(!out.update && !out.restore);
            QCOMPARE(tail.mid(tail.size() - 3), noDeviceLines);
        } else {
            // The list's status and the bootstrap's close are not looked
            // at: the device still starts from its boot loader.
            QVERIFY(out.restore);
            QVERIFY(tail.contains(bootstrappedSerial));
        }
    } else if (toBootstrap) {
        // Nothing could be opened: the bootstrap is tried, and fails on a
        // device that does not run its boot loader.
        QVERIFY(!out.update && !out.restore);
        QCOMPARE(tail.mid(0, 2), bootstrapLines);
        QCOMPARE(tail.mid(tail.size() - 3), noDeviceLines);
        QCOMPARE(after.mid(after.size() - 2), QStringList({"Bootstrap", "CloseDevice"}));
    } else {
        // A read or the close, whose results are ignored: the operator is
        // told what the preset values say.
        const QString shown = row.op == Op::GetFirmwareVersion ? "0.0.0" : "5.5.7";
        QCOMPARE(tail.value(1), "Serial 25203117, with firmware " + shown);
        QCOMPARE(tail.value(2), QString("Firmware requires update."));
        QVERIFY(out.update);
        QVERIFY(after.size() <= 2);
    }
}

void TestFaultMatrix::cleanupTestCase()
{
    qInfo("fault matrix: %d rows over %d flows", rowCount, int(setups().size()));
}

QTEST_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
