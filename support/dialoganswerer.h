#ifndef DIALOGANSWERER_H
#define DIALOGANSWERER_H

#include <QList>
#include <QObject>
#include <QPointer>

class QPushButton;
class QWidget;

// Answers the updater's modal dialogs as the operator would, for the tests
// and the walk-through alike: the device selector and the Warning question,
// each once it is up and runs its own loop.
class DialogAnswerer : public QObject
{
    Q_OBJECT

public:
    enum class Answer {
        Accept,        // the model button, or Yes
        Cancel,        // Cancel, or No
        Escape,
        WindowControl, // the window's close button
        None           // left unanswered
    };

    explicit DialogAnswerer(QObject *parent = nullptr);
    ~DialogAnswerer() override;

    Answer selectorAnswer = Answer::Accept;
    Answer questionAnswer = Answer::Accept;
    // How long a window is up before it is answered, in milliseconds.
    int delay = 0;

    // A window's button, by the text the operator reads on it.
    static QPushButton *button(QWidget *window, const QString &text);

signals:
    // A window is shown for the first time (not yet running its own loop).
    void shown(QWidget *window);
    // The window is up and runs its own loop; a dialog is answered next.
    void waiting(QWidget *window);
    // The dialog is answered now: with that button, or without one (null)
    // by Escape or its close button.
    void answering(QWidget *dialog, QPushButton *button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void answer(QWidget *window);

    QList<QPointer<QWidget>> seen;
};

#endif // DIALOGANSWERER_H
