#include "walkthrough.h"

#include "deviceselectordialog.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>

namespace {

// Every picture carries this, so that a later run can tell its own from a
// user's file of the same name.
const QString markKey = QStringLiteral("Software");
const QString mark = QStringLiteral("orv-walkthrough");

void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

} // namespace

Walkthrough::Walkthrough(MainWindow &window, const orvsim::Scenario &scenario, const QDir &pictures)
    : window(window), scenario(scenario), pictures(pictures),
      log(window.findChild<QTextEdit *>(QStringLiteral("log")))
{
    bannerBlocks = log->document()->blockCount();
    // Each dialog a while after it is up, so that it is seen, and pictured.
    answerer.delay = 300;
    connect(&answerer, &DialogAnswerer::answering, this, [this](QWidget *dialog, QPushButton *pressed) {
        snapshot(qobject_cast<DeviceSelectorDialog *>(dialog) ? QStringLiteral("device-select") : QStringLiteral("question"));
        if (pressed) {
            say(QStringLiteral("== The operator answers \"%1\" with %2")
                    .arg(dialog->windowTitle(), pressed->text().remove(QLatin1Char('&'))));
        }
    });
}

int Walkthrough::run()
{
    say(QStringLiteral("Scenario %1: %2").arg(scenario.name, scenario.description));
    followLog();
    // The window as the operator first sees it: once the release the run
    // uses has been checked and told of.
    if (auto *releaseCheck = window.findChild<QFutureWatcherBase *>(QStringLiteral("releaseCheck"))) {
        while (!releaseCheck->isFinished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    snapshot(QStringLiteral("start"));

    if (!press(QStringLiteral("Check Versions"))) {
        say(QStringLiteral("FAILED: Check Versions is not enabled at the start"));
        return 1;
    }
    snapshot(QStringLiteral("after-check"));

    if (!scenario.command.isEmpty()) {
        writing = true;
        const bool pressed = press(scenario.command);
        writing = false;
        if (!pressed) {
            say(QStringLiteral("FAILED: %1 is not enabled after the check").arg(scenario.command));
            return 1;
        }
        if (!busyPictureTaken)
            say(QStringLiteral("(the write ended before the busy dialog could be pictured)"));
        snapshot(QStringLiteral("result"));
    }

    const orvsim::Device device = orvsim::Simulator::device();
    say(QStringLiteral("Device afterwards:\n") + orvsim::Simulator::describe().trimmed());
    say(QStringLiteral("Pictures are in %1").arg(QDir::toNativeSeparators(pictures.absolutePath())));
    if (!endedAsExpected(device)) {
        say(QStringLiteral("FAILED: the scenario did not end as expected"));
        return 1;
    }
    say(QStringLiteral("The scenario ended as expected."));
    return 0;
}

// Prints the log so far, and from now on each line as it is added.
void Walkthrough::followLog()
{
    QTextDocument *doc = log->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        printLine(block.text());
    knownBlocks = doc->blockCount();
    connect(doc, &QTextDocument::contentsChange, this, [this](int position, int, int) { printAddedLines(position); });
}

// Presses the panel's button that reads text, as the operator does; false
// when it cannot be pressed.
bool Walkthrough::press(const QString &text)
{
    QPushButton *button = DialogAnswerer::button(&window, text);
    if (!button || !button->isEnabled())
        return false;
    say(QStringLiteral("== The operator presses %1").arg(text));
    button->click();
    return true;
}

// A line goes in as a paragraph after the one at position: at the end of
// the log, or below the banner, where the start-up check puts its lines.
void Walkthrough::printAddedLines(int position)
{
    QTextDocument *doc = log->document();
    const int added = doc->blockCount() - knownBlocks;
    knownBlocks = doc->blockCount();
    QTextBlock block = doc->findBlock(position).next();
    for (int n = 0; n < added && block.isValid(); ++n, block = block.next())
        printLine(block.text());
}

void Walkthrough::printLine(const QString &text)
{
    say(QStringLiteral("log| ") + text);
    // Picture the busy dialog once the write has begun.
    if (writing && !busyPictureTaken && text.startsWith(QLatin1String("Updating FPGA"))) {
        busyPictureTaken = true;
        QTimer::singleShot(400, this, [this] { snapshot(QStringLiteral("writing")); });
    }
}

// The window, with any dialog that is up drawn over its middle: the offscreen
// platform has no window manager to put them together.
void Walkthrough::snapshot(const QString &name)
{
    const QPixmap main = window.grab();
    const int titleHeight = 24;
    QSize canvas = main.size();
    QList<QDialog *> dialogs;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(top);
        if (dialog && dialog->isVisible()) {
            dialogs << dialog;
            canvas = canvas.expandedTo(dialog->size() + QSize(42, titleHeight + 41));
        }
    }
    QPixmap picture(canvas);
    picture.fill(QColor(40, 44, 52));
    QPainter painter(&picture);
    painter.drawPixmap((canvas.width() - main.width()) / 2, (canvas.height() - main.height()) / 2, main);
    for (QDialog *dialog : dialogs) {
        const QPixmap content = dialog->grab();
        QRect frame(0, 0, content.width() + 2, content.height() + titleHeight + 1);
        frame.moveCenter(picture.rect().center());
        painter.fillRect(frame, QColor(70, 70, 80));
        painter.setPen(Qt::white);
        painter.drawText(QRect(frame.left() + 8, frame.top(), frame.width() - 16, titleHeight),
                         Qt::AlignVCenter | Qt::AlignLeft, dialog->windowTitle());
        painter.drawPixmap(frame.left() + 1, frame.top() + titleHeight, content);
    }
    painter.end();
    const QString file = pictures.filePath(QStringLiteral("%1-%2.png").arg(++pictureCount).arg(name));
    if (QFileInfo::exists(file)) {
        say(QStringLiteral("left %1 as it is: it is not a picture of the walk-through").arg(QDir::toNativeSeparators(file)));
        return;
    }
    QImage image = picture.toImage();
    image.setText(markKey, mark);
    if (image.save(file))
        say(QStringLiteral("picture: %1").arg(QDir::toNativeSeparators(file)));
    else
        say(QStringLiteral("could not save %1").arg(file));
}

QStringList Walkthrough::logBelowBanner() const
{
    QStringList lines;
    for (QTextBlock block = log->document()->findBlockByNumber(bannerBlocks); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

// The lines the scenario's run shows, a write's last word, and the device.
bool Walkthrough::endedAsExpected(const orvsim::Device &device) const
{
    const QStringList lines = logBelowBanner();
    for (const QString &line : scenario.outcome) {
        if (!lines.contains(line))
            return false;
    }
    if (!scenario.command.isEmpty() && lines.value(lines.size() - 1) != QLatin1String("You may now close the software."))
        return false;
    return scenario.deviceAfter(device);
}

void removeOwnPictures(const QDir &folder)
{
    const QRegularExpression name(QStringLiteral("^[0-9]+-[a-z-]+\\.png$"));
    for (const QString &file : folder.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        if (name.match(file).hasMatch() && QImageReader(folder.filePath(file), "png").text(markKey) == mark)
            QFile::remove(folder.filePath(file));
    }
}
