#ifndef ENTERPRESSESBUTTON_H
#define ENTERPRESSESBUTTON_H

#include <QList>
#include <QObject>

class QAbstractButton;

// Enter or Return presses the focused button, as Windows users expect of a
// focused command. Outside a dialog Qt's push buttons take only Space, unless
// they are auto-default, which some styles draw wider.
class EnterPressesButton : public QObject
{
    Q_OBJECT

public:
    EnterPressesButton(const QList<QAbstractButton *> &buttons, QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

#endif // ENTERPRESSESBUTTON_H
