// Starts a GUI program on the current X display and reports how long it took from the exec to
// the mapping of its window with the given title, and to the first drawing into that window, and
// the program's peak resident set size. Everything is read from X events, without polling: the
// probe watches the root window's children being created and mapped, reads each mapped window's
// title, and follows drawing through the DAMAGE extension. After the first drawing the program
// is left `--settle-ms` more, then ended with SIGTERM; the peak RSS comes from wait4.
//
//   startup-probe --title TEXT [--settle-ms MS] [--limit-ms MS] -- PROGRAM [ARGUMENT...]
//
// Prints one JSON object: {"shown_ms": ..., "painted_ms": ..., "peak_rss_kib": ..., "width": ...,
// "height": ...} (the window's size when it was first drawn). Exit 1 when no such window appeared
// (or was drawn) within the limit, or the program ended first.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string title;
    int settleMs = 300;
    int limitMs = 20000;
    char** command = nullptr;
};

bool ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--" && i + 1 < argc) {
            options.command = argv + i + 1;
            return !options.title.empty();
        }
        if (i + 1 >= argc) {
            return false;
        }
        if (argument == "--title") {
            options.title = argv[++i];
        } else if (argument == "--settle-ms") {
            options.settleMs = std::atoi(argv[++i]);
        } else if (argument == "--limit-ms") {
            options.limitMs = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return false;
}

// The window's title: _NET_WM_NAME (UTF-8) when set, else WM_NAME.
std::string WindowTitle(Display* display, Window window) {
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(display, window, &name) != 0 && name != nullptr) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

// Swallows the errors of windows that vanish between an event and the probe's look at them.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: startup-probe --title TEXT [--settle-ms MS] [--limit-ms MS] -- "
                     "PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "startup-probe: cannot open the X display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreXError);
    const Window root = DefaultRootWindow(display);
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    int damageEvent = 0;
    int damageError = 0;
    if (XDamageQueryExtension(display, &damageEvent, &damageError) == 0) {
        std::fprintf(stderr, "startup-probe: the X server has no DAMAGE extension\n");
        return 2;
    }
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    const int connection = ConnectionNumber(display);
    fcntl(connection, F_SETFD, FD_CLOEXEC);

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("startup-probe: fork");
        return 1;
    }
    if (child == 0) {
        execvp(options.command[0], options.command);
        std::perror("startup-probe: exec");
        _exit(127);
    }

    // Windows are followed for drawing from their creation, so no early drawing goes unseen.
    std::unordered_map<Window, Clock::time_point> firstDrawn;
    Window target = None;
    Clock::time_point shown{};
    Clock::time_point painted{};
    const Clock::time_point deadline = start + std::chrono::milliseconds(options.limitMs);
    while (painted == Clock::time_point{} && Clock::now() < deadline) {
        if (XPending(display) == 0) {
            if (waitpid(child, nullptr, WNOHANG) == child) {
                std::fprintf(stderr, "startup-probe: the program ended before showing a window\n");
                return 1;
            }
            pollfd ready{connection, POLLIN, 0};
            poll(&ready, 1, 50);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        const Clock::time_point now = Clock::now();
        Window titled = None;
        if (event.type == CreateNotify) {
            XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
        } else if (event.type == MapNotify) {
            titled = event.xmap.window;
            // A title set after the mapping still counts, from the moment it is set.
            XSelectInput(display, titled, PropertyChangeMask);
        } else if (event.type == PropertyNotify &&
                   (event.xproperty.atom == XA_WM_NAME || event.xproperty.atom == netWmName)) {
            titled = event.xproperty.window;
        } else if (event.type == damageEvent + XDamageNotify) {
            const auto* damage = reinterpret_cast<const XDamageNotifyEvent*>(&event);
            firstDrawn.try_emplace(damage->drawable, now);
            // Acknowledge, so that the next drawing is reported too.
            XDamageSubtract(display, damage->damage, None, None);
        }
        if (target == None && titled != None &&
            WindowTitle(display, titled).find(options.title) != std::string::npos) {
            target = titled;
            shown = now;
        }
        if (target != None) {
            const auto drawn = firstDrawn.find(target);
            if (drawn != firstDrawn.end()) {
                painted = std::max(drawn->second, shown);
            }
        }
    }
    if (painted == Clock::time_point{}) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::fprintf(stderr,
                     "startup-probe: no window titled \"%s\" was shown and drawn within %d ms\n",
                     options.title.c_str(), options.limitMs);
        return 1;
    }

    XWindowAttributes attributes{};
    XGetWindowAttributes(display, target, &attributes);

    usleep(static_cast<useconds_t>(options.settleMs) * 1000);
    kill(child, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    XCloseDisplay(display);
    std::printf(
        "{\"shown_ms\": %.3f, \"painted_ms\": %.3f, \"peak_rss_kib\": %ld, \"width\": %d, "
        "\"height\": %d}\n",
        Milliseconds(shown - start), Milliseconds(painted - start), usage.ru_maxrss,
        attributes.width, attributes.height);
    return 0;
}
