// Every library call of the check and the bootstrap, made to fail and,
// separately, cut off by an unplug: what the operator sees, that nothing is
// written, and that no call follows a failure the flow tests. The writes'
// calls are the workers' table's.

#include "flowsupport.h"
#include "workersupport.h"

#include <QtTest>

using namespace orvsim;
using namespace testsupport;

namespace {

enum class Flow { Check, Bootstrap };

struct FlowSetup
{
    QString name;
    Flow flow;
    Device device;
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
    Device bootLoader;
    bootLoader.mode = Mode::BootLoader;
    bootLoader.fx3Store = erased;
    return {
        {"check", Flow::Check, Device()},
        {"bootstrap", Flow::Bootstrap, bootLoader},
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

Outcome runFlow()
{
    Outcome outcome;
    Window w;
    Operator op(w.panel());
    QTest::mouseClick(w.check(), Qt::LeftButton);
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
        const Outcome clean = runFlow();
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
    const Outcome out = runFlow();

    // The calls up to the broken one are the clean run's.
    QVERIFY(out.calls.size() > row.index);
    for (int i = 0; i <= row.index; ++i)
        QCOMPARE(out.calls[i].op, clean[i].op);
    QStringList after;
    for (int i = row.index + 1; i < out.calls.size(); ++i)
        after << opName(out.calls[i].op);
    // Nothing is written; only what applies is enabled.
    QCOMPARE(out.device.fx3Store, setup.device.fx3Store);
    QCOMPARE(out.device.fpgaStore, setup.device.fpgaStore);
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
