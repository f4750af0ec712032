#ifndef UPDATER_H
#define UPDATER_H

#include "deviceinfo.h"
#include "releaseimages.h"
#include "runrecord.h"

#include <QFutureWatcher>
#include <QWidget>

class QPushButton;
class QTextCharFormat;
class QTextEdit;
class QThread;
struct WriteResult;

// The window's panel: the operator log on the left, the three commands on
// the right.
class Updater : public QWidget
{
    Q_OBJECT

public:
    explicit Updater(QWidget *parent = nullptr);
    ~Updater() override;

    // Whether the program may close now: not while a worker talks to the
    // device.
    bool mayClose() const;
    // Says in the log why the program stays open.
    void refuseClose();

    DeviceInfo deviceInfo;

private slots:
    void addLine(const QString &s);
    void addStatusLine(const QString &s, bool success);
    void replaceLastLine(const QString &s);
    void checkVersions();
    void updateDevice();
    void restoreDevice();

private:
    // The end of a check that found a running device: tells the operator
    // what deviceInfo shows and enables Update where it applies, asking
    // first when the device is newer than the release.
    void reportVersions();
    void applyReleaseChoice();
    // Tells the operator when the release in use is not intact. Returns
    // whether it told.
    bool reportDamagedRelease();
    // That it is the updater's own files that need mending: said once in
    // full, and referred to after that.
    void addDamagedReleaseAdvice();
    // Tells of a write to this device that did not finish. Returns whether
    // there was one.
    bool reportUnfinishedWrite();
    void recordLine(const QString &s);
    void tellIfNotRecorded();
    void addColouredLine(const QString &s, const QColor &colour);
    void appendParagraph(const QString &s, const QTextCharFormat &format);
    void addHeading(const QString &title);
    // Returns whether the application was told to quit meanwhile.
    bool waitForWorker(QThread &worker);
    void waitForWrite(QThread &worker);
    // Returns false when nothing more is to be said: the application quit
    // before the operator chose, or the release cannot start the device.
    bool bootstrapDevice();
    void finishWrite(bool succeeded, const WriteResult &result);

    QTextEdit *log;
    QPushButton *checkButton;
    QPushButton *updateButton;
    QPushButton *restoreButton;
    bool workerRunning = false;
    bool followLog = true;
    bool bannerWritten = false;
    QFutureWatcher<Release::FolderChoice> releaseCheck{this};
    bool releaseChoiceApplied = false;
    Release::FolderChoice releaseChoice;
    bool damagedReleaseAdviceGiven = false;
    RunRecord record;
    bool recordProblemTold = false;
};

#endif // UPDATER_H
