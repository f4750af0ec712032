#include "updater.h"

#include "firmwarerelease.h"

#include <orv_api.h>

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QColor successColour(34, 177, 76);
const QColor failureColour(Qt::red);

} // namespace

Updater::Updater(QWidget *parent)
    : QWidget(parent)
{
    log = new QTextEdit;
    log->setReadOnly(true);

    checkButton = new QPushButton(tr("  Check Versions  "));
    updateButton = new QPushButton(tr("  Update  "));
    restoreButton = new QPushButton(tr("  Restore  "));
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

    const char *apiVersion = orvGetAPIVersion();
    log->append(tr("ORV1600 firmware updater"));
    log->append(QString::asprintf("Using ORV API version %s", apiVersion ? apiVersion : ""));
    log->append(QString());
    log->append(tr("Please read below before continuing."));
    log->append(QString());
    log->append(tr("Updates ORV to firmware version ")
                + versionText(Release::versions.fx3, Release::versions.fpga));
    log->append(QString());
    log->append(tr("Ensure only one Tessaly device is connected to the PC."));
    log->append(tr("Please connect the ORV1600 to the PC using the provided USB 2.0 cable."));
    addColouredLine(tr("Do not disconnect the device at any time during the update."), failureColour);
    log->append(tr("Disconnecting the device during an update can leave your device in an unoperable state."));
}

void Updater::addLine(const QString &s)
{
    log->append(s);
}

void Updater::addStatusLine(const QString &s, bool success)
{
    addColouredLine(s, success ? successColour : failureColour);
}

void Updater::addColouredLine(const QString &s, const QColor &colour)
{
    const QColor previous = log->textColor();
    log->setTextColor(colour);
    log->append(s);
    log->setTextColor(previous);
}

void Updater::replaceLastLine(const QString &s)
{
    QTextCursor cursor = log->textCursor();
    cursor.movePosition(QTextCursor::End, QTextCursor::MoveAnchor);
    cursor.deletePreviousChar();
    cursor.select(QTextCursor::LineUnderCursor);
    cursor.removeSelectedText();
    cursor.deletePreviousChar();
    log->append(s);
}

void Updater::checkVersions()
{
}

void Updater::updateDevice()
{
}

void Updater::restoreDevice()
{
}
