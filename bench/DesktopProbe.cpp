// Drives a running Vorlex from outside through XTEST, like a user at the keyboard, and reports
// one line of JSON. The focused window must be a text field (the click point lies inside it).
//   desktopprobe hotkey PID PRESSES CLICK_X CLICK_Y
//       Ctrl+A, then Ctrl+Shift+K; milliseconds from the key press until the popup (title
//       "Vorlex") is mapped and exposed; a click at CLICK_X,CLICK_Y hides it again. The first
//       press creates the popup window and is reported on its own.
//   desktopprobe type COUNT PID...
//       COUNT letter key presses into the focused window; the CPU time each PID used meanwhile,
//       one line each.

#include "XProbe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using vorlex::bench::ignoreErrors;
using vorlex::bench::windowPid;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The popup: a viewable window of PID titled "Vorlex", wider than a tray icon.
Window findPopup(Display* display, Window window, Atom pidAtom, long pid)
{
    if (windowPid(display, window, pidAtom) == pid) {
        XWindowAttributes attributes;
        char* name = nullptr;
        const bool named = XFetchName(display, window, &name) && name && std::strcmp(name, "Vorlex") == 0;
        if (name)
            XFree(name);
        if (named && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable &&
            attributes.width >= 150)
            return window;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i)
        found = findPopup(display, children[i], pidAtom, pid);
    if (children)
        XFree(children);
    return found;
}

void key(Display* display, KeySym symbol, bool down)
{
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down ? True : False, CurrentTime);
}

void chord(Display* display, std::initializer_list<KeySym> symbols)
{
    for (KeySym symbol : symbols)
        key(display, symbol, true);
    for (auto it = std::rbegin(symbols); it != std::rend(symbols); ++it)
        key(display, *it, false);
    XFlush(display);
}

// Waits for an event of TYPE on WINDOW; false after timeoutMs.
bool waitForEvent(Display* display, Window window, int type, int timeoutMs)
{
    const auto start = Clock::now();
    for (;;) {
        XEvent event;
        while (XPending(display)) {
            XNextEvent(display, &event);
            if (event.type == type && event.xany.window == window)
                return true;
        }
        const int left = timeoutMs - static_cast<int>(msSince(start));
        if (left <= 0)
            return false;
        pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
        poll(&descriptor, 1, left);
    }
}

void drain(Display* display)
{
    XSync(display, False);
    XEvent event;
    while (XPending(display))
        XNextEvent(display, &event);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int hotkey(Display* display, long pid, int presses, int clickX, int clickY)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    const int screen = DefaultScreen(display);
    Window popup = 0;
    double first = -1;
    std::vector<double> copied;
    std::vector<double> mapped;
    std::vector<double> exposed;
    // The text field taking the clipboard marks the copy Vorlex asked for.
    int fixesEvent = 0;
    int fixesError = 0;
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    if (XFixesQueryExtension(display, &fixesEvent, &fixesError))
        XFixesSelectSelectionInput(display, DefaultRootWindow(display), clipboard, XFixesSetSelectionOwnerNotifyMask);
    for (int i = 0; i <= presses; ++i) {
        // The popup opens next to the pointer: away from the text field, so the click hides it.
        XTestFakeMotionEvent(display, screen, 1000, 420, CurrentTime);
        chord(display, {XK_Control_L, XK_a});
        pause(150);
        drain(display);
        const auto start = Clock::now();
        chord(display, {XK_Control_L, XK_Shift_L, XK_k});
        if (!popup) {
            while (!popup && msSince(start) < 5000) {
                popup = findPopup(display, DefaultRootWindow(display), pidAtom, pid);
                if (!popup)
                    pause(1);
            }
            if (!popup) {
                std::fprintf(stderr, "desktopprobe: no popup within 5 s\n");
                return 1;
            }
            first = msSince(start);
            XSelectInput(display, popup, StructureNotifyMask | ExposureMask);
        } else {
            if (!waitForEvent(display, DefaultRootWindow(display), fixesEvent + XFixesSelectionNotify, 5000)) {
                std::fprintf(stderr, "desktopprobe: the text field did not copy within 5 s\n");
                return 1;
            }
            copied.push_back(msSince(start));
            if (!waitForEvent(display, popup, MapNotify, 5000)) {
                std::fprintf(stderr, "desktopprobe: the popup was not mapped within 5 s\n");
                return 1;
            }
            mapped.push_back(msSince(start));
            if (!waitForEvent(display, popup, Expose, 2000)) {
                std::fprintf(stderr, "desktopprobe: the popup was not exposed within 2 s\n");
                return 1;
            }
            exposed.push_back(msSince(start));
        }
        pause(300);
        XTestFakeMotionEvent(display, screen, clickX, clickY, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
        if (!waitForEvent(display, popup, UnmapNotify, 3000)) {
            std::fprintf(stderr, "desktopprobe: a click outside did not hide the popup\n");
            return 1;
        }
        pause(200); // the focus goes back to the text field
    }
    std::printf("{\"first_ms\": %.1f, \"copied_ms\": %.1f, \"mapped_ms\": %.1f, \"exposed_ms\": %.1f, \"min_ms\": "
                "%.1f, \"max_ms\": %.1f, "
                "\"presses\": %d}\n",
                first, median(copied), median(mapped), median(exposed),
                *std::min_element(exposed.begin(), exposed.end()), *std::max_element(exposed.begin(), exposed.end()),
                presses);
    return 0;
}

struct CpuTime {
    long ticks = 0;   // utime + stime of the process, all threads
    long long ns = 0; // run time of its live threads, finer grained
};

CpuTime cpuTime(long pid)
{
    CpuTime time;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close != std::string::npos) {
        std::istringstream fields(line.substr(close + 2));
        std::string field;
        long utime = 0;
        long stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::atol(field.c_str());
            if (i == 15)
                stime = std::atol(field.c_str());
        }
        time.ticks = utime + stime;
    }
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
            long long ns = 0;
            if (schedstat >> ns)
                time.ns += ns;
        }
        closedir(dir);
    }
    return time;
}

int type(Display* display, int count, const std::vector<long>& pids)
{
    const long hz = sysconf(_SC_CLK_TCK);
    pause(500); // whatever came before settles
    std::vector<CpuTime> before;
    for (long pid : pids)
        before.push_back(cpuTime(pid));
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const KeySym letter = XK_a + i % 26;
        key(display, letter, true);
        key(display, letter, false);
        XSync(display, False);
        pause(2);
    }
    const double typingMs = msSince(start);
    pause(500); // the last presses reach the programs
    for (size_t i = 0; i < pids.size(); ++i) {
        const CpuTime after = cpuTime(pids[i]);
        std::printf("{\"pid\": %ld, \"cpu_ms\": %.1f, \"cpu_run_ms\": %.1f, \"typing_ms\": %.0f, \"presses\": %d}\n",
                    pids[i], double(after.ticks - before[i].ticks) * 1000.0 / double(hz),
                    double(after.ns - before[i].ns) / 1e6, typingMs, count);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool hotkeyMode = mode == "hotkey" && argc == 6;
    if (!hotkeyMode && !(mode == "type" && argc >= 4)) {
        std::fprintf(stderr, "usage: %s hotkey PID PRESSES CLICK_X CLICK_Y | type COUNT PID...\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "desktopprobe: no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    std::vector<long> pids;
    for (int i = 3; i < argc && !hotkeyMode; ++i)
        pids.push_back(std::atol(argv[i]));
    const int result =
        hotkeyMode ? hotkey(display, std::atol(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]))
                   : type(display, std::atoi(argv[2]), pids);
    XCloseDisplay(display);
    return result;
}
