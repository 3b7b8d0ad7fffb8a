// Starts a program and reports, as one line of JSON, the time from exec to its first mapped
// window (for a tray program: the tray icon embedded in the tray) and its resident memory after
// an idle period. Usage: startupprobe IDLE_MS PROGRAM [ARGS...]

#include "XProbe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using vorlex::bench::ignoreErrors;
using vorlex::bench::windowPid;

bool hasMappedWindowOf(Display* display, Window window, Atom pidAtom, long pid)
{
    XWindowAttributes attributes;
    if (windowPid(display, window, pidAtom) == pid && XGetWindowAttributes(display, window, &attributes) &&
        attributes.map_state == IsViewable)
        return true;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i)
        found = hasMappedWindowOf(display, children[i], pidAtom, pid);
    if (children)
        XFree(children);
    return found;
}

long rssKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s IDLE_MS PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    const int idleMs = std::atoi(argv[1]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "startupprobe: no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    double shownMs = -1;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        if (hasMappedWindowOf(display, DefaultRootWindow(display), pidAtom, child)) {
            shownMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
    const long rss = rssKiB(child);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    std::printf("{\"shown_ms\": %.1f, \"rss_kib\": %ld}\n", shownMs, rss);
    return shownMs < 0 ? 1 : 0;
}
