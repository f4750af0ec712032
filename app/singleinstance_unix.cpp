#include "singleinstance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace {
// One name for every user's session: the device is one per PC.
const char markName[] = "ORV1600-Firmware-Updater";
}

// A name in Linux's abstract socket namespace: it exists only while the
// socket bound to it is open, so no file is left behind and a killed
// process holds nothing.
SingleInstance::SingleInstance()
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, markName, sizeof markName - 1);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + sizeof markName - 1);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        // Only a bound name means another copy; any other failure says
        // nothing about one.
        onlyOne = errno != EADDRINUSE;
        ::close(fd);
        return;
    }
    mark = fd;
}

SingleInstance::~SingleInstance()
{
    if (mark >= 0)
        ::close(static_cast<int>(mark));
}
