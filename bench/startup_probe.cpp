// Measures how long a program takes from its start to its first window
// being mapped on the X server:
//
//     vantrel-startup-probe RUNS TITLE PROGRAM [ARGUMENTS...]
//
// Before each run the probe listens for the root window's structure
// events; it reads the clock, forks and execs PROGRAM, and stops the clock
// when the X server reports a top-level window titled TITLE as mapped. The
// program is then ended. One warm-up run (which also lets the program set
// up its files) is left out; the figure of each run and their median are
// printed in milliseconds. Needs DISPLAY (scripts/startup-time.sh runs it
// under Xvfb).

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool hasTitle(Display *display, Window window, const std::string &title)
{
    char *name = nullptr;
    const bool found = XFetchName(display, window, &name) != 0 && name != nullptr && title == name;
    if (name != nullptr)
        XFree(name);
    return found;
}

// Milliseconds from the fork to the mapping, or a negative number when the
// program ended or took longer than 30 seconds.
double measure(Display *display, const std::string &title, char **command)
{
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        std::perror(command[0]);
        _exit(127);
    }
    double elapsed = -1;
    const int fd = ConnectionNumber(display);
    while (Clock::now() - start < std::chrono::seconds(30)) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && hasTitle(display, event.xmap.window, title)) {
                elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                break;
            }
        }
        if (elapsed >= 0 || waitpid(child, nullptr, WNOHANG) == child)
            break;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(fd, &ready);
        timeval wait{0, 20000};
        select(fd + 1, &ready, nullptr, nullptr, &wait);
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XSelectInput(display, root, NoEventMask);
    XSync(display, True);
    return elapsed;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fputs("usage: vantrel-startup-probe RUNS TITLE PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const std::string title = argv[2];
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fputs("vantrel-startup-probe: cannot open the X display\n", stderr);
        return 1;
    }
    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {
        const double ms = measure(display, title, argv + 3);
        if (ms < 0) {
            std::fprintf(stderr, "vantrel-startup-probe: no window \"%s\" was mapped\n",
                         title.c_str());
            return 1;
        }
        if (run == 0)
            continue;
        std::printf("run %2d: %6.1f ms\n", run, ms);
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("median of %zu runs: %.1f ms (fastest %.1f, slowest %.1f)\n", n, median,
                times.front(), times.back());
    XCloseDisplay(display);
    return 0;
}
