#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include "operatortexts.h"
#include "runrecord.h"
#include "simulator.h"
#include "updater.h"

#include <QCloseEvent>
#include <QMetaObject>
#include <QWindow>
#include <QPushButton>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

namespace testsupport {

inline QTextEdit *logOf(Updater &panel)
{
    return panel.findChild<QTextEdit *>("log");
}

inline QStringList logLines(Updater &panel)
{
    QStringList lines;
    QTextDocument *doc = logOf(panel)->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

// The format of the first character of paragraph n.
inline QTextCharFormat lineFormat(Updater &panel, int n)
{
    QTextCursor cursor(logOf(panel)->document()->findBlockByNumber(n));
    cursor.movePosition(QTextCursor::NextCharacter);
    return cursor.charFormat();
}

// Its colour, and whether that is its own rather than the palette's.
inline QColor lineColour(Updater &panel, int n) { return lineFormat(panel, n).foreground().color(); }
inline bool hasOwnColour(Updater &panel, int n) { return lineFormat(panel, n).hasProperty(QTextFormat::ForegroundBrush); }

inline void invoke(Updater &panel, const char *slot, const QString &s)
{
    QVERIFY(QMetaObject::invokeMethod(&panel, slot, Qt::DirectConnection, Q_ARG(QString, s)));
}

// What the window manager's close button does; returns whether the window
// went. The close goes the window system's way, so Qt drops it for a window
// that a modal dialog blocks.
inline bool closeByWindowControl(QWidget &widget)
{
    widget.windowHandle()->close();
    return !widget.isVisible();
}

// The texts of the newest run record of this process's data folder, without
// their times.
inline QStringList recordLines()
{
    const QDir records(RunRecord::folder());
    const QStringList names = records.entryList({"run-*.txt"}, QDir::Files, QDir::Name);
    QFile record(records.filePath(names.value(names.size() - 1, "none")));
    QStringList texts;
    if (record.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QString &line : QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts))
            texts << line.mid(25);
    }
    return texts;
}

// A fresh in-memory device, with no write time.
inline void freshDevice(const orvsim::Device &device = orvsim::Device())
{
    orvsim::Simulator::reset(device);
}

} // namespace testsupport

#endif
