#ifndef WALKTHROUGH_H
#define WALKTHROUGH_H

#include "dialoganswerer.h"
#include "scenarios.h"

#include <QDir>
#include <QObject>
#include <QString>

#include <functional>

class MainWindow;
class QPushButton;
class QTextEdit;

// What the operator does in one of the simulated device's scenarios
// (orvsim::scenarios()), and how the run must end.
struct OperatorRun
{
    QString scenario;
    QString command; // the name of the button pressed after the check, or empty
    // Whether the run ended as it should: the log below the banner, and the
    // device afterwards.
    std::function<bool(const QStringList &, const orvsim::Device &)> expected;
};

class Walkthrough : public QObject
{
public:
    Walkthrough(MainWindow &window, const orvsim::Scenario &scenario, const OperatorRun &operatorRun,
                const QDir &pictures);

    // Works the window as an operator would; returns the exit code.
    int run();

private:
    void printAddedLines(int position);
    void printLine(const QString &text);
    void snapshot(const QString &name);
    QPushButton *button(const QString &name) const;
    QStringList logBelowBanner() const;

    MainWindow &window;
    const orvsim::Scenario &scenario;
    const OperatorRun &operatorRun;
    QDir pictures;
    QTextEdit *log;
    int knownBlocks = 0;
    int bannerBlocks = 0;
    int pictureCount = 0;
    bool writing = false;
    bool busyPictureTaken = false;
    DialogAnswerer answerer;
};

// The operator's part in the scenario of that name, or null.
const OperatorRun *operatorRunIn(const QString &scenario);

// Removes the pictures that a walk-through wrote into folder, in an earlier
// run too, and nothing else.
void removeOwnPictures(const QDir &folder);

#endif // WALKTHROUGH_H
