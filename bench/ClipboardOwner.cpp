// An X client that owns a selection and serves it well or badly, in a window that also plays an
// editor: Ctrl+C copies, Ctrl+V pastes; bench/clipboardowners.sh drives it. Arguments:
//   --selection PRIMARY|CLIPBOARD  (CLIPBOARD)       --text TEXT   what it serves from the start
//   --bytes N      serves N bytes of "שלום עולם\n" repeated instead, made as they are sent
//   --answer once|never|incr|slow|die   one property (appended in 1 MiB requests); no answer; INCR
//                  pieces as fast as taken, one a second, or exit after the first piece
//   --type ATOM --format 8|16|32   the reply's type (UTF8_STRING) and unit size (8)
//   --copy TEXT    Ctrl+C makes it serve TEXT; it takes the selection only when it thinks it does not
//                  own it (as LibreOffice Writer and Tk do), with --retake 1 always
//   --late MS      learns MS after it lost the selection that it did: a Ctrl+V meanwhile pastes its own
// It reports (the helper-child protocol): ready <window> (it has the keyboard), lost, pasted <base64
// of what Ctrl+V pasted>.

#include <QByteArray>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const QByteArray pattern = QByteArray("שלום עולם\n");

struct Incr {
    Atom property = None;
    long long sent = 0;
    Clock::time_point due{}; // the next piece is written once the reader took the last one and this passed
    bool taken = false;
};

Display* display = nullptr;
Window window = None;
Atom selection = None, type = None, incrAtom = None, targetsAtom = None;
std::string answer = "once";
int format = 8;
long long total = 0, piece = 65536;
QByteArray text, copyText;
bool generated = false, retake = false, owns = false;
int lateMs = -1;
Clock::time_point lostAt = Clock::time_point::max();
std::map<Window, Incr> transfers;

void report(const QByteArray& line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

QByteArray bytesAt(long long offset, long long count)
{
    if (!generated)
        return text.mid(offset, count);
    QByteArray out(count, Qt::Uninitialized);
    for (long long i = 0; i < count; ++i)
        out[i] = pattern[(offset + i) % pattern.size()];
    return out;
}

void write(Window requestor, Atom property, Atom kind, const QByteArray& bytes, int mode)
{
    std::vector<long> units; // Xlib takes 32-bit units as longs
    for (qsizetype i = 0; format == 32 && i + 4 <= bytes.size(); i += 4)
        units.push_back(*reinterpret_cast<const qint32*>(bytes.constData() + i));
    const auto* data = format == 32 ? reinterpret_cast<const unsigned char*>(units.data())
                                    : reinterpret_cast<const unsigned char*>(bytes.constData());
    XChangeProperty(display, requestor, property, kind, format, mode, data, int(bytes.size() * 8 / format));
}

void notify(const XSelectionRequestEvent& request, Atom property)
{
    XEvent event{};
    event.xselection = {SelectionNotify, 0,        True,        display, request.requestor, request.selection,
                        request.target,  property, request.time};
    XSendEvent(display, request.requestor, False, 0, &event);
}

void serve(const XSelectionRequestEvent& request)
{
    const Atom property = request.property == None ? request.target : request.property;
    if (request.target == targetsAtom) {
        const long targets[] = {long(targetsAtom), long(type)};
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(targets), 2);
    } else if (answer == "never") {
        return;
    } else if (answer == "once") {
        for (long long at = 0; at == 0 || at < total; at += 1 << 20)
            write(request.requestor, property, type, bytesAt(at, 1 << 20), at == 0 ? PropModeReplace : PropModeAppend);
    } else {
        const long size = long(total);
        XSelectInput(display, request.requestor, PropertyChangeMask);
        XChangeProperty(display, request.requestor, property, incrAtom, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&size), 1);
        transfers[request.requestor] = Incr{property, 0, Clock::now(), false};
    }
    notify(request, property);
}

// Writes the next INCR piece where the reader took the last one; the empty piece ends it.
void continueTransfers()
{
    for (auto it = transfers.begin(); it != transfers.end();) {
        Incr& incr = it->second;
        if (!incr.taken || Clock::now() < incr.due) {
            ++it;
            continue;
        }
        const QByteArray bytes = bytesAt(incr.sent, std::min(piece, total - incr.sent));
        write(it->first, incr.property, type, bytes, PropModeReplace);
        XFlush(display);
        incr.sent += bytes.size();
        incr.taken = false;
        incr.due = Clock::now() + std::chrono::seconds(answer == "slow" ? 1 : 0);
        if (answer == "die")
            std::exit(0);
        it = bytes.isEmpty() ? transfers.erase(it) : std::next(it);
    }
}

void key(const XKeyEvent& event)
{
    if (!(event.state & ControlMask))
        return;
    if (event.keycode == 54) { // C
        if (!copyText.isEmpty()) {
            text = copyText;
            total = text.size();
            generated = false;
        }
        if (!owns || retake)
            XSetSelectionOwner(display, selection, window, CurrentTime);
        owns = true;
    } else if (event.keycode == 55) { // V
        if (owns)
            return report("pasted " + text.toBase64());
        XConvertSelection(display, selection, XInternAtom(display, "UTF8_STRING", False), selection, window,
                          CurrentTime);
    }
}

void pasted()
{
    Atom kind = None;
    int unit = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, selection, 0, 1 << 20, True, AnyPropertyType, &kind, &unit, &count, &after,
                       &data);
    report("pasted " + QByteArray(reinterpret_cast<const char*>(data), qsizetype(count)).toBase64());
    XFree(data);
}

} // namespace

int main(int argc, char* argv[])
{
    std::string selectionName = "CLIPBOARD", typeName = "UTF8_STRING";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--selection")
            selectionName = value;
        else if (option == "--text")
            text = value;
        else if (option == "--bytes")
            total = std::stoll(value), generated = true;
        else if (option == "--answer")
            answer = value;
        else if (option == "--type")
            typeName = value;
        else if (option == "--format")
            format = std::stoi(value);
        else if (option == "--copy")
            copyText = value;
        else if (option == "--late")
            lateMs = std::stoi(value);
        else if (option == "--retake")
            retake = std::string(value) == "1";
    }
    if (!generated)
        total = text.size();
    if (!(display = XOpenDisplay(nullptr)))
        return 1;
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }); // a reader that gave up took its window
    selection = XInternAtom(display, selectionName.c_str(), False);
    type = XInternAtom(display, typeName.c_str(), False);
    incrAtom = XInternAtom(display, "INCR", False);
    targetsAtom = XInternAtom(display, "TARGETS", False);
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 300, 200, 300, 120, 0, 0, 0xffffff);
    XStoreName(display, window, "clipboard owner helper");
    XSelectInput(display, window, KeyPressMask | StructureNotifyMask | FocusChangeMask | PropertyChangeMask);
    XMapWindow(display, window);
    XSetSelectionOwner(display, selection, window, CurrentTime);
    owns = true;
    for (bool ready = false;;) {
        if (!XPending(display)) {
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, transfers.empty() && lostAt == Clock::time_point::max() ? -1 : 20);
        }
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify)
                XSetInputFocus(display, window, RevertToParent, CurrentTime);
            else if (event.type == FocusIn && !std::exchange(ready, true))
                report("ready " + QByteArray::number(quint64(window)));
            else if (event.type == SelectionRequest)
                serve(event.xselectionrequest);
            else if (event.type == SelectionClear)
                lostAt = Clock::now() + std::chrono::milliseconds(std::max(0, lateMs));
            else if (event.type == KeyPress)
                key(event.xkey);
            else if (event.type == SelectionNotify && event.xselection.property != None)
                pasted();
            else if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete &&
                     transfers.count(event.xproperty.window) &&
                     transfers[event.xproperty.window].property == event.xproperty.atom)
                transfers[event.xproperty.window].taken = true;
        }
        if (Clock::now() >= lostAt) {
            owns = false;
            lostAt = Clock::time_point::max();
            report("lost");
        }
        continueTransfers();
        XFlush(display);
    }
}
