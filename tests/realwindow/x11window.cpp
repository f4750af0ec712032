// Finds a top-level X11 window by its title (and, with --pid, of that
// process), checks that it is mapped at the given size (0 0: any size), and
// asks it to close as a window manager would (WM_DELETE_WINDOW), unless
// told to --keep it.
//   x11window [--pid PID] [--keep] TITLE WIDTH HEIGHT [TIMEOUT_S]

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::string titleOf(Display *display, Window window)
{
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data)
            == Success
        && data) {
        title.assign(reinterpret_cast<char *>(data), count);
        XFree(data);
        return title;
    }
    char *name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

long pidOf(Display *display, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data)
            == Success
        && data) {
        if (count == 1 && format == 32)
            pid = *reinterpret_cast<long *>(data);
        XFree(data);
    }
    return pid;
}

Window find(Display *display, Window parent, const std::string &title, long pid)
{
    Window root = 0;
    Window up = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        if (titleOf(display, children[i]) == title && (pid == 0 || pidOf(display, children[i]) == pid))
            found = children[i];
        else
            found = find(display, children[i], title, pid);
    }
    if (children)
        XFree(children);
    return found;
}

// A window may go while it is read (a process that ends, a box that
// closes): Xlib's default handler would end the search there.
int ignoreError(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    long pid = 0;
    bool keep = false;
    int at = 1;
    for (; at < argc && argv[at][0] == '-' && argv[at][1] == '-'; ++at) {
        if (std::strcmp(argv[at], "--pid") == 0 && at + 1 < argc)
            pid = std::atol(argv[++at]);
        else if (std::strcmp(argv[at], "--keep") == 0)
            keep = true;
    }
    if (argc - at < 3) {
        std::fprintf(stderr, "usage: x11window [--pid PID] [--keep] TITLE WIDTH HEIGHT [TIMEOUT_S]\n");
        return 2;
    }
    const std::string title = argv[at];
    const int width = std::atoi(argv[at + 1]);
    const int height = std::atoi(argv[at + 2]);
    const int timeout = argc - at > 3 ? std::atoi(argv[at + 3]) : 30;
    const bool anySize = width == 0 && height == 0;

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11window: cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(ignoreError);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
    Window window = 0;
    XWindowAttributes attributes{};
    while (std::chrono::steady_clock::now() < deadline) {
        window = find(display, DefaultRootWindow(display), title, pid);
        if (window && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable
            && (anySize || (attributes.width == width && attributes.height == height)))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!window) {
        std::fprintf(stderr, "x11window: no window titled \"%s\"\n", title.c_str());
        return 1;
    }
    std::printf("window \"%s\": %s, %dx%d\n", title.c_str(),
                attributes.map_state == IsViewable ? "mapped" : "not mapped", attributes.width, attributes.height);
    if (attributes.map_state != IsViewable || (!anySize && (attributes.width != width || attributes.height != height))) {
        std::fprintf(stderr, "x11window: expected a mapped window of %dx%d\n", width, height);
        return 1;
    }

    if (keep) {
        XCloseDisplay(display);
        return 0;
    }
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &close);
    XFlush(display);
    XCloseDisplay(display);
    std::printf("asked it to close\n");
    return 0;
}
