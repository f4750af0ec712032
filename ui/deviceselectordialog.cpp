#include "deviceselectordialog.h"

#include "windowowner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DeviceSelectorDialog::DeviceSelectorDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Device Select"));

    auto *modelButton = new QPushButton(tr("ORV1600"));
    auto *cancelButton = new QPushButton(tr("Cancel"));

    auto *layout = new QVBoxLayout;
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(modelButton);
    buttons->addWidget(cancelButton);

    auto *label = new QLabel(tr("Unable to open device. If the device is not connected to the PC, "
                                "please connect the device and restart this application. If you want "
                                "to bootstrap your device, please select your device type below."));
    label->setWordWrap(true);

    layout->addWidget(label);
    layout->addLayout(buttons);
    setLayout(layout);

    connect(modelButton, &QPushButton::clicked, this, &DeviceSelectorDialog::isORV1600);
    connect(cancelButton, &QPushButton::clicked, this, &DeviceSelectorDialog::cancelPressed);
}

void DeviceSelectorDialog::isORV1600()
{
    accept();
}

void DeviceSelectorDialog::cancelPressed()
{
    cancelled = true;
    accept();
}

void DeviceSelectorDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    centreOnOwner(*this);
}
