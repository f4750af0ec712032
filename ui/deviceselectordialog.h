#ifndef DEVICESELECTORDIALOG_H
#define DEVICESELECTORDIALOG_H

#include <QDialog>

// Asked when no device could be opened: bootstrap it as an ORV1600, or cancel.
class DeviceSelectorDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DeviceSelectorDialog(QWidget *parent = nullptr);

    bool cancelled = false;

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void isORV1600();
    void cancelPressed();
};

#endif // DEVICESELECTORDIALOG_H
