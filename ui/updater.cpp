#include "updater.h"

#include "checkversionthread.h"
#include "devicelibrary.h"
#include "deviceselectordialog.h"
#include "enterpressesbutton.h"
#include "firmwarerelease.h"
#include "keepawake.h"
#include "privateimages.h"
#include "releaseimages.h"
#include "restoredevicethread.h"
#include "tsprogressdialog.h"
#include "updatedevicethread.h"
#include "windowowner.h"
#include "workerwait.h"
#include "writenote.h"

#include <orv_api.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <cstdlib>

namespace {

const QColor successColour(34, 177, 76);
const QColor failureColour(Qt::red);

QTextCharFormat colouredFormat(const QColor &colour)
{
    QTextCharFormat format;
    format.setForeground(colour);
    return format;
}

QString stateName(DeviceState state)
{
    switch (state) {
    case NoDevice:
        return QStringLiteral("no device");
    case NeedsRestore:
        return QStringLiteral("needs restore");
    case Ready:
        return QStringLiteral("ready");
    }
    return QString::number(state);
}

} // namespace

Updater::Updater(QWidget *parent)
    : QWidget(parent)
{
    log = new QTextEdit;
    log->setReadOnly(true);
    // A log is never undone; an undo stack would only grow with it.
    log->setUndoRedoEnabled(false);
    // The log follows its newest line unless the operator has scrolled up.
    // The text is laid out later than it is appended, so the view follows
    // the scroll range, not the appends.
    QScrollBar *scrollBar = log->verticalScrollBar();
    connect(scrollBar, &QScrollBar::valueChanged, this,
            [this, scrollBar](int value) { followLog = value >= scrollBar->maximum(); });
    connect(scrollBar, &QScrollBar::rangeChanged, this, [this, scrollBar](int, int maximum) {
        if (followLog)
            scrollBar->setValue(maximum);
    });

    checkButton = new QPushButton(tr("  Check Versions  "));
    updateButton = new QPushButton(tr("  Update  "));
    restoreButton = new QPushButton(tr("  Restore  "));
    // Found by these names by whatever drives the panel.
    log->setObjectName(QStringLiteral("log"));
    checkButton->setObjectName(QStringLiteral("checkButton"));
    updateButton->setObjectName(QStringLiteral("updateButton"));
    restoreButton->setObjectName(QStringLiteral("restoreButton"));
    updateButton->setEnabled(false);
    restoreButton->setEnabled(false);

    auto *layout = new QHBoxLayout;
    auto *logColumn = new QVBoxLayout;
    auto *buttonColumn = new QVBoxLayout;
    logColumn->addWidget(log);
    buttonColumn->addWidget(checkButton);
    buttonColumn->addWidget(updateButton);
    buttonColumn->addWidget(restoreButton);
    buttonColumn->addStretch(0);
    layout->addLayout(logColumn);
    layout->addLayout(buttonColumn);
    setLayout(layout);

    connect(checkButton, &QPushButton::clicked, this, &Updater::checkVersions);
    connect(updateButton, &QPushButton::clicked, this, &Updater::updateDevice);
    connect(restoreButton, &QPushButton::clicked, this, &Updater::restoreDevice);
    new EnterPressesButton({checkButton, updateButton, restoreButton}, this);

    // Which release the run uses is decided once, off the GUI thread:
    // reading large images must not hold the window up. The operator learns
    // of a damaged release below the banner, before pressing a button that
    // cannot succeed; a check waits for it.
    releaseCheck.setObjectName(QStringLiteral("releaseCheck"));
    connect(&releaseCheck, &QFutureWatcherBase::finished, this, &Updater::applyReleaseChoice);
    releaseCheck.setFuture(QtConcurrent::run([working = QDir::currentPath(),
                                              program = QCoreApplication::applicationDirPath()] {
        RunRecord::removeOldRecords(RunRecord::folder());
        return Release::chooseFolder(working, program);
    }));

    const char *apiVersion = orvGetAPIVersion();
    // What support needs to read the record: which program, library and
    // release this run was.
    recordLine(QStringLiteral("== ORV1600 Firmware Updater %1, started in %2")
                   .arg(QStringLiteral(ORV_PROGRAM_VERSION), QDir::toNativeSeparators(QDir::currentPath())));
    recordLine(QStringLiteral("== Device library: %1").arg(QString::fromUtf8(apiVersion ? apiVersion : "")));
    recordLine(QStringLiteral("== Device library file: %1").arg(loadedDeviceLibrary()));
    recordLine(QStringLiteral("== Release: FX3 %1, FPGA %2 (%3)")
                   .arg(Release::versions.fx3)
                   .arg(Release::versions.fpga)
                   .arg(versionText(Release::versions.fx3, Release::versions.fpga)));
    const Release::ImageDigests digests = Release::builtDigests();
    QStringList images = digests.keys();
    images.sort();
    for (const QString &image : images)
        recordLine(QStringLiteral("== SHA-256 %1  %2").arg(QString::fromLatin1(digests.value(image)), image));
    const int offset = QDateTime::currentDateTime().offsetFromUtc() / 60;
    recordLine(QStringLiteral("== Times are local, UTC%1%2:%3")
                   .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                   .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                   .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0')));

    addLine(tr("ORV1600 firmware updater"));
    addLine(tr("Using ORV API version %1").arg(QString::fromUtf8(apiVersion ? apiVersion : "")));
    addLine(QString());
    addLine(tr("Please read below before continuing."));
    addLine(QString());
    addLine(tr("Updates ORV to firmware version %1").arg(versionText(Release::versions.fx3, Release::versions.fpga)));
    addLine(QString());
    addLine(tr("Ensure only one Tessaly device is connected to the PC."));
    addLine(tr("Please connect the ORV1600 to the PC using the provided USB 2.0 cable."));
    addColouredLine(tr("Do not disconnect the device at any time during the update."), failureColour);
    addLine(tr("Disconnecting the device during an update can leave your device in an unoperable state."));
    bannerWritten = true;
    tellIfNotRecorded();
    // The operator's first command goes by the keyboard too.
    checkButton->setFocus();
}

Updater::~Updater()
{
    releaseCheck.waitForFinished();
    recordLine(QStringLiteral("== Closed"));
}

// Settles which release the run uses: when the decision is made, and at the
// latest before a check. The working directory changes here or never.
void Updater::applyReleaseChoice()
{
    if (releaseChoiceApplied)
        return;
    releaseChoiceApplied = true;
    releaseCheck.waitForFinished();
    releaseChoice = releaseCheck.result();
    const bool moved = QDir(releaseChoice.folder) != QDir::current();
    if (moved)
        QDir::setCurrent(releaseChoice.folder);
    recordLine(QStringLiteral("== Firmware images: %1").arg(releaseChoice.imageFolder()));
    if (moved)
        addLine(tr("Using the firmware images in %1").arg(releaseChoice.imageFolder()));
    for (const QString &problem : qAsConst(releaseChoice.problems))
        addColouredLine(problem, failureColour);
    if (!releaseChoice.problems.isEmpty())
        addDamagedReleaseAdvice();
}

bool Updater::reportDamagedRelease()
{
    if (releaseChoice.problems.isEmpty())
        return false;
    addColouredLine(tr("Nothing can be written to the device: the firmware updater's own files are damaged, "
                       "as said above."),
                    failureColour);
    return true;
}

// Nothing is wrong with the device: the updater's copy of the release is.
void Updater::addDamagedReleaseAdvice()
{
    if (damagedReleaseAdviceGiven) {
        addLine(tr("See above for what to do."));
        return;
    }
    damagedReleaseAdviceGiven = true;
    addLine(tr("The firmware updater's own files are damaged."));
    addLine(tr("Copy the firmware updater's folder again from its package, and run it from there."));
    addLine(tr("If problem persists, contact Tessaly."));
}

void Updater::recordLine(const QString &s)
{
    record.write(s);
    tellIfNotRecorded();
}

// Said once, and not inside the banner.
void Updater::tellIfNotRecorded()
{
    if (!record.problem().isEmpty() && !recordProblemTold && bannerWritten) {
        recordProblemTold = true;
        addLine(tr("This run is not recorded: %1.").arg(record.problem()));
    }
}

void Updater::addLine(const QString &s)
{
    appendParagraph(s, QTextCharFormat());
}

void Updater::addStatusLine(const QString &s, bool success)
{
    addColouredLine(s, success ? successColour : failureColour);
}

void Updater::addColouredLine(const QString &s, const QColor &colour)
{
    appendParagraph(s, colouredFormat(colour));
}

void Updater::appendParagraph(const QString &s, const QTextCharFormat &format)
{
    // A cursor of the panel's own: whatever the operator clicked or selected
    // in the log, the line gets its own format (none: the palette's colour,
    // greyed out when disabled) and the selection stays.
    QTextCursor at(log->document());
    at.movePosition(QTextCursor::End);
    at.beginEditBlock();
    if (!log->document()->isEmpty())
        at.insertBlock(QTextBlockFormat(), format);
    at.insertText(s, format);
    at.endEditBlock();
    recordLine(s);
}

void Updater::replaceLastLine(const QString &s)
{
    QTextCursor cursor = log->textCursor();
    cursor.movePosition(QTextCursor::End, QTextCursor::MoveAnchor);
    cursor.deletePreviousChar();
    cursor.select(QTextCursor::LineUnderCursor);
    cursor.removeSelectedText();
    cursor.deletePreviousChar();
    addLine(s);
}

bool Updater::mayClose() const
{
    return !workerRunning;
}

void Updater::refuseClose()
{
    addLine(tr("Please wait: the software can be closed once the device has finished."));
}

bool Updater::waitForWorker(QThread &worker)
{
    workerRunning = true;
    const bool quitting = ::waitForWorker(worker);
    workerRunning = false;
    return quitting;
}

void Updater::checkVersions()
{
    checkButton->setEnabled(false);
    applyReleaseChoice();
    addHeading(tr("Checking Firmware Versions..."));

    TSProgressDialog progress(tr("Checking firmware version\nEstimated 30 seconds\nPlease Wait"));
    setWindowOwner(progress, window());
    progress.show();

    CheckVersionThread worker;
    connect(&worker, &CheckVersionThread::updateText, this, &Updater::addLine);
    const bool quitting = waitForWorker(worker);
    progress.hide();

    deviceInfo = worker.deviceInfo;
    if (deviceInfo.state != NoDevice)
        recordLine(QStringLiteral("== Device: serial %1, FX3 %2, FPGA %3, %4")
                       .arg(deviceInfo.serialNumber)
                       .arg(deviceInfo.fx3Version)
                       .arg(deviceInfo.fpgaVersion)
                       .arg(stateName(deviceInfo.state)));
    // The application is on its way out: no question for an operator who
    // has gone, and no more calls to the device.
    if (quitting)
        return;
    if (deviceInfo.state == NoDevice) {
        if (!bootstrapDevice())
            return;
        if (deviceInfo.state == NoDevice) {
            addLine(tr("Failed to detect device."));
            addLine(tr("Cycle the power on the device, restart the firmware updater,  and try again."));
            addLine(tr("If you continue to receive this message, contact Tessaly."));
            return;
        }
    }

    if (deviceInfo.state == NeedsRestore) {
        addLine(tr("Attempting to bootstrap firmware."));
        addLine(tr("Found serial %1").arg(deviceInfo.serialNumber));
        if (reportDamagedRelease())
            return;
        addLine(tr("Firmware can now be restored."));
        addLine(tr("Press Restore to continue."));
        restoreButton->setEnabled(true);
        restoreButton->setFocus();
    } else {
        reportVersions();
    }
}

bool Updater::bootstrapDevice()
{
    addLine(tr("Failed to open boot device."));
    addLine(tr("Looking to bootstrap device."));

    DeviceSelectorDialog selector;
    setWindowOwner(selector, window());
    selector.exec();
    if (selector.cancelled)
        std::_Exit(0);
    // Still up, or the window closed under it: the application is quitting,
    // and nobody chose.
    if (selector.isVisible() || !window()->isVisible())
        return false;

    deviceInfo.targetFx3Version = Release::versions.fx3;
    deviceInfo.targetFpgaVersion = Release::versions.fpga;
    // A device started from its boot loader is there to be restored, which
    // a damaged release cannot do.
    if (reportDamagedRelease())
        return false;
    const std::string path = fx3ImagePath(Release::versions);
    // The device runs the image it is started from: only the release's own,
    // as it was checked.
    const PrivateImages image({path});
    if (!image.problem().isEmpty()) {
        addColouredLine(image.problem(), failureColour);
        if (image.releaseDamaged())
            addDamagedReleaseAdvice();
        else
            addLine(tr("Free disk space on this PC, then restart the firmware updater and try again."));
        return false;
    }
    int32_t handle = -1;
    if (orvConfigNetBootstrapDevice(&handle, image.path(path)) == 0) {
        deviceInfo.serialNumber = Release::bootstrapSerialNumber;
        deviceInfo.state = NeedsRestore;
    }
    orvConfigNetCloseDevice(handle);
    return true;
}

void Updater::reportVersions()
{
    addLine(tr("Found ORV1600"));
    addLine(tr("Serial %1, with firmware %2")
                .arg(deviceInfo.serialNumber)
                .arg(deviceVersionText(deviceInfo.fx3Version, deviceInfo.fpgaVersion)));
    if (reportDamagedRelease())
        return;

    const VersionVerdict verdict = compareVersions(deviceInfo);
    const bool unfinished = reportUnfinishedWrite();
    switch (verdict) {
    case VersionVerdict::DeviceNewer: {
        const QString question = tr("Your device appears to have a newer firmware version.\n"
                                    "Installing this will overwrite your firmware with an older version.\n"
                                    "Are you sure you wish to continue?");
        recordLine(QStringLiteral("== Asked \"%1\": %2").arg(tr("Warning"), QString(question).replace('\n', ' ')));
        const bool yes = QMessageBox::question(this, tr("Warning"), question, QMessageBox::Yes | QMessageBox::No)
                         == QMessageBox::Yes;
        recordLine(yes ? QStringLiteral("== Answered: Yes") : QStringLiteral("== Answered: No"));
        if (!yes) {
            addLine(tr("Cancelling operation."));
        } else {
            updateButton->setEnabled(true);
            updateButton->setFocus();
            addLine(tr("Firmware can now be updated."));
            addLine(tr("Press Update to continue."));
        }
        break;
    }
    case VersionVerdict::UpdateNeeded:
        addLine(tr("Firmware requires update."));
        addLine(tr("Press Update to continue."));
        updateButton->setEnabled(true);
        updateButton->setFocus();
        break;
    case VersionVerdict::Current:
        if (unfinished) {
            addLine(tr("Press Update to continue."));
            updateButton->setEnabled(true);
            updateButton->setFocus();
        } else {
            addLine(tr("Firmware does not require update."));
        }
        break;
    }
}

bool Updater::reportUnfinishedWrite()
{
    const WriteNote::Entry note = WriteNote::read(deviceInfo.serialNumber);
    const QString begun = note.started.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    switch (note.state) {
    case WriteNote::State::None:
        return false;
    case WriteNote::State::Writing:
        addColouredLine(tr("The last update of this device, begun %1, did not finish: "
                           "its firmware may be incomplete.").arg(begun), failureColour);
        break;
    case WriteNote::State::Failed:
        addColouredLine(tr("The last update of this device, begun %1, failed: "
                           "its firmware may be incomplete.").arg(begun), failureColour);
        break;
    case WriteNote::State::CutShort:
        addColouredLine(tr("The last update of this device did not finish: its firmware may be incomplete."),
                        failureColour);
        break;
    case WriteNote::State::Unreadable:
        addColouredLine(tr("An earlier update of this device may not have finished (%1 cannot be read): "
                           "its firmware may be incomplete.").arg(QDir::toNativeSeparators(note.path)),
                        failureColour);
        break;
    }
    // The versions the device reports say nothing of the stores that write
    // left: Update writes both.
    deviceInfo.fx3Version = 0;
    deviceInfo.fpgaVersion = 0;
    return true;
}

void Updater::updateDevice()
{
    addHeading(tr("Updating Firmware"));

    TSProgressDialog progress(tr("Updating Device\nDO NOT UNPLUG THE DEVICE\n"
                                 "This process can take several minutes\nPlease Wait..."));
    setWindowOwner(progress, window());
    progress.show();

    UpdateDeviceThread worker;
    worker.deviceInfo = deviceInfo;
    connect(&worker, &UpdateDeviceThread::addLine, this, &Updater::addLine);
    connect(&worker, &UpdateDeviceThread::replaceLastLine, this, &Updater::replaceLastLine);
    connect(&worker, &UpdateDeviceThread::addStatusLine, this, &Updater::addStatusLine);
    waitForWrite(worker);
    QCoreApplication::processEvents();

    finishWrite(worker.succeeded, worker.result);
}

void Updater::restoreDevice()
{
    addHeading(tr("Restoring Device"));

    TSProgressDialog progress(tr("Performing Device Restore\nDO NOT UNPLUG DEVICE\n"
                                 "This process will take up to 10 minutes\nPlease Wait..."));
    setWindowOwner(progress, window());
    progress.show();

    RestoreDeviceThread worker;
    worker.deviceInfo = deviceInfo;
    connect(&worker, &RestoreDeviceThread::addLine, this, &Updater::addLine);
    connect(&worker, &RestoreDeviceThread::addStatusLine, this, &Updater::addStatusLine);
    waitForWrite(worker);

    finishWrite(worker.succeeded, worker.result);
}

void Updater::addHeading(const QString &title)
{
    addLine(QString());
    addLine(title);
    addLine(QString());
}

void Updater::waitForWrite(QThread &worker)
{
    const KeepAwake awake(window());
    waitForWorker(worker);
}

// The result of a write, after which the panel stays disabled.
void Updater::finishWrite(bool succeeded, const WriteResult &result)
{
    if (succeeded) {
        addColouredLine(tr("Firmware updated successfully."), successColour);
    } else {
        addColouredLine(tr("Firmware updated unsuccessfully."), failureColour);
        switch (result.stop) {
        case WriteResult::Stop::ReleaseDamaged:
            addDamagedReleaseAdvice();
            break;
        case WriteResult::Stop::ThisPc: // its red lines said what to do
            break;
        case WriteResult::Stop::None:
        case WriteResult::Stop::Device:
            addLine(tr("Check device connections and re-run the software."));
            addLine(tr("If problem persists, contact Tessaly."));
            break;
        }
    }
    addLine(tr("You may now close the software."));
    recordLine(QStringLiteral("== Result: %1; %2")
                   .arg(succeeded ? QStringLiteral("written") : QStringLiteral("not written"), result.storesText()));
    setEnabled(false);
}
