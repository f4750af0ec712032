#ifndef WALKTHROUGH_H
#define WALKTHROUGH_H

#include "dialoganswerer.h"
#include "scenarios.h"

#include <QDir>
#include <QObject>
#include <QString>

class MainWindow;
class QTextEdit;

// Works the window through one of the simulated device's scenarios
// (orvsim::scenarios()) as the operator would, printing the log as it
// grows and picturing each step.
class Walkthrough : public QObject
{
public:
    Walkthrough(MainWindow &window, const orvsim::Scenario &scenario, const QDir &pictures);

    // Returns the exit code: 0 when the scenario ended as it should.
    int run();

private:
    void followLog();
    void printAddedLines(int position);
    void printLine(const QString &text);
    bool press(const QString &text);
    void snapshot(const QString &name);
    QStringList logBelowBanner() const;
    bool endedAsExpected(const orvsim::Device &device) const;

    MainWindow &window;
    const orvsim::Scenario &scenario;
    QDir pictures;
    QTextEdit *log;
    int knownBlocks = 0;
    int bannerBlocks = 0;
    int pictureCount = 0;
    bool writing = false;
    bool busyPictureTaken = false;
    DialogAnswerer answerer;
};

// Removes the pictures that a walk-through wrote into folder, in an earlier
// run too, and nothing else.
void removeOwnPictures(const QDir &folder);

#endif // WALKTHROUGH_H
