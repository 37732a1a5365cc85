// xprobe: the native saver's end-to-end tests' and measurements' hands on
// the X display.
//
//   xprobe window W H        makes a plain W x H window, prints "window 0x..."
//                            and keeps it until it is killed or destroyed
//   xprobe close ID          asks window ID to close as a window manager does
//                            (a WM_DELETE_WINDOW message)
//   xprobe measure SECONDS X Y W H -- COMMAND...
//                            starts COMMAND and prints, as "name value" lines,
//                            the milliseconds until the screen region is no
//                            longer black (first_frame_ms) and how often the
//                            region changes per second over the next SECONDS
//                            (fps), then ends COMMAND with SIGTERM and prints
//                            how long it took (exit_ms; killed after 5 s)
//                            and its exit code
//   xprobe drawn X Y W H     exit code 0 when the screen region is not all
//                            black (something has been drawn there), else 1
//   xprobe vanish W H MS -- COMMAND...
//                            makes a plain W x H window, starts COMMAND with
//                            each argument "{}" replaced by the window's
//                            number, destroys the window MS milliseconds
//                            after the start and prints the command's
//                            exit_code (128 + N after signal N; killed after
//                            20 s)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double Now() {
    timespec t = {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void Pause(double seconds) {
    if (seconds <= 0.0)
        return;
    timespec t = {static_cast<time_t>(seconds),
                  static_cast<long>((seconds - static_cast<time_t>(seconds)) * 1e9)};
    nanosleep(&t, nullptr);
}

Display* Open() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "xprobe: no display\n");
        std::exit(1);
    }
    return display;
}

int MakeWindow(int width, int height) {
    Display* display = Open();
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0,
                            BlackPixel(display, DefaultScreen(display)));
    XStoreName(display, window, "xprobe");
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("window 0x%lx\n", window);
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == DestroyNotify)
            return 0;
    }
}

int Close(const char* id) {
    Display* display = Open();
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::strtoul(id, nullptr, 0);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}

// The region's pixels, or an empty vector when it cannot be read.
std::vector<unsigned long> Grab(Display* display, int x, int y, int w, int h) {
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, w, h, AllPlanes, ZPixmap);
    if (image == nullptr)
        return pixels;
    pixels.reserve(static_cast<size_t>(w) * h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            pixels.push_back(XGetPixel(image, i, j) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

int Measure(double seconds, int x, int y, int w, int h, char** command) {
    Display* display = Open();
    const double start = Now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        _exit(127);
    }
    double firstFrame = -1.0;
    std::vector<unsigned long> previous;
    while (Now() - start < 60.0) {
        std::vector<unsigned long> pixels = Grab(display, x, y, w, h);
        bool drawn = false;
        for (unsigned long p : pixels)
            drawn = drawn || p != 0;
        if (drawn) {
            firstFrame = Now() - start;
            previous = pixels;
            break;
        }
        if (waitpid(child, nullptr, WNOHANG) == child)
            break;
        Pause(0.002);
    }
    std::printf("first_frame_ms %.0f\n", firstFrame * 1000.0);
    int changes = 0;
    const double from = Now();
    while (firstFrame >= 0.0 && Now() - from < seconds) {
        std::vector<unsigned long> pixels = Grab(display, x, y, w, h);
        if (pixels != previous) {
            ++changes;
            previous.swap(pixels);
        }
        Pause(0.002);
    }
    std::printf("fps %.1f\n", changes / seconds);
    const double stop = Now();
    kill(child, SIGTERM);
    int status = 0;
    // A command that outlives SIGTERM by five seconds is killed.
    while (waitpid(child, &status, WNOHANG) != child) {
        if (Now() - stop > 5.0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        Pause(0.005);
    }
    std::printf("exit_ms %.0f\n", (Now() - stop) * 1000.0);
    std::printf("exit_code %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}

int Drawn(int x, int y, int w, int h) {
    Display* display = Open();
    const std::vector<unsigned long> pixels = Grab(display, x, y, w, h);
    XCloseDisplay(display);
    for (unsigned long p : pixels)
        if (p != 0)
            return 0;
    return 1;
}

// The exit code of a child as the shell gives it, waiting at most seconds
// before killing it.
int WaitExitCode(pid_t child, double seconds) {
    const double start = Now();
    int status = 0;
    while (waitpid(child, &status, WNOHANG) != child) {
        if (Now() - start > seconds) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        Pause(0.002);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int Vanish(int width, int height, double milliseconds, char** command) {
    Display* display = Open();
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0,
                            BlackPixel(display, DefaultScreen(display)));
    XMapWindow(display, window);
    XSync(display, False);
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", window);
    std::vector<char*> arguments;
    for (char** a = command; *a != nullptr; ++a)
        arguments.push_back(std::strcmp(*a, "{}") == 0 ? id : *a);
    arguments.push_back(nullptr);
    const double start = Now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    Pause(milliseconds / 1000.0 - (Now() - start));
    XDestroyWindow(display, window);
    XSync(display, False);
    std::printf("exit_code %d\n", WaitExitCode(child, 20.0));
    XCloseDisplay(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "window") == 0)
        return MakeWindow(std::atoi(argv[2]), std::atoi(argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return Close(argv[2]);
    if (argc >= 9 && std::strcmp(argv[1], "measure") == 0 && std::strcmp(argv[7], "--") == 0)
        return Measure(std::atof(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                       std::atoi(argv[5]), std::atoi(argv[6]), argv + 8);
    if (argc == 6 && std::strcmp(argv[1], "drawn") == 0)
        return Drawn(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                     std::atoi(argv[5]));
    if (argc >= 7 && std::strcmp(argv[1], "vanish") == 0 && std::strcmp(argv[5], "--") == 0)
        return Vanish(std::atoi(argv[2]), std::atoi(argv[3]), std::atof(argv[4]), argv + 6);
    std::fprintf(stderr,
                 "usage: xprobe window W H | close ID | measure SECONDS X Y W H -- COMMAND... |\n"
                 "       vanish W H MS -- COMMAND... | drawn X Y W H\n");
    return 2;
}
