#ifndef WRITERESULT_H
#define WRITERESULT_H

#include <QCoreApplication>
#include <QString>

// What an update or a restore did to the device, and why it stopped short:
// the panel's advice and the run's record follow from it.
struct WriteResult
{
    Q_DECLARE_TR_FUNCTIONS(WriteResult)

public:
    enum class Store {
        Untouched,
        EraseFailed, // asked to erase, which failed: it may be partly erased
        Erased, // erased, and its write failed or never came
        Written
    };
    enum class Stop {
        None,
        ReleaseDamaged, // the updater's own image files
        ThisPc, // this PC could not keep the note or the images' copies
        Device
    };

    Store fx3 = Store::Untouched;
    Store fpga = Store::Untouched;
    Stop stop = Stop::None;

    // "FX3 written, FPGA erased", for the run's record.
    QString storesText() const;
};

#endif // WRITERESULT_H
