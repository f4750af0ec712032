#ifndef TSPROGRESSDIALOG_H
#define TSPROGRESSDIALOG_H

#include <QProgressDialog>

// The modal "Please Wait" window shown while a worker talks to the device.
// It has no button and cannot be dismissed by the operator: the flow that
// shows it removes it when the work is done.
class TSProgressDialog : public QProgressDialog
{
    Q_OBJECT

public:
    explicit TSProgressDialog(const QString &labelText, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

#endif // TSPROGRESSDIALOG_H
