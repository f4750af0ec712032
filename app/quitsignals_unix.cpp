#include "quitsignals.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace {

const int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};
int signalSockets[2] = {-1, -1};

// A signal handler may do next to nothing: it passes the signal on to the
// event loop through a socket.
void onSignal(int number)
{
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return;
    notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(signalSockets[1], &byte, 1) == 1)
            emit quitRequested();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : quitSignals)
        sigaction(number, &action, nullptr);
}

QuitSignals::~QuitSignals()
{
    if (!notifier)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number : quitSignals)
        sigaction(number, &action, nullptr);
    delete notifier;
    notifier = nullptr;
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}
