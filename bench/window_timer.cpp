// Times a program from its launch to the moment its first top-level window is
// mapped on the X display, and reports its peak memory.
//
//   window_timer [--kill-after MS] [--then COMMAND] -- PROGRAM [ARGUMENTS...]
//
// It watches the root window of $DISPLAY for a top-level window being mapped
// (with no window manager running, a program's own map request is what maps
// it), starts PROGRAM and notes the time. Then, with --then, it runs COMMAND
// through the shell (to drive the program, e.g. with xdotool) and times it;
// with --kill-after it waits MS milliseconds and ends the program with
// SIGTERM; otherwise it waits for the program to end by itself. It prints one
// line of key=value figures:
//
//   mapped_ms=31.52 then_ms=0.00 exited_ms=40.10 cpu_ms=30.12 maxrss_kb=29184 status=0
//
// cpu_ms is the processor time the program used in all (user and system), and
// maxrss_kb its peak resident memory, as its parent sees them at its end (the
// same figures as `/usr/bin/time -f "%U %S %M"`).

#include <X11/Xlib.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int usage() {
    std::fprintf(
        stderr,
        "usage: window_timer [--kill-after MS] [--then COMMAND] -- PROGRAM [ARGUMENTS...]\n");
    return 2;
}

constexpr double kGiveUpMs = 30000;

} // namespace

int main(int argc, char** argv) {
    int killAfterMs = -1;
    std::string then;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string option = argv[first];
        if (option == "--") {
            ++first;
            break;
        }
        if (option == "--kill-after" && first + 1 < argc) {
            killAfterMs = std::atoi(argv[++first]);
        } else if (option == "--then" && first + 1 < argc) {
            then = argv[++first];
        } else {
            return usage();
        }
    }
    if (first >= argc) {
        return usage();
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "window_timer: cannot open the display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    if (child == 0) {
        close(ConnectionNumber(display));
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }

    double mappedMs = -1;
    int status = 0;
    rusage usage{};
    bool ended = false;
    const auto reap = [&](int options) {
        if (!ended && wait4(child, &status, options, &usage) == child) {
            ended = true;
        }
        return ended;
    };

    // Until the window is mapped or the program has ended.
    while (mappedMs < 0 && !reap(WNOHANG)) {
        if (millisecondsSince(start) > kGiveUpMs) {
            std::fprintf(stderr, "window_timer: no window after %.0f ms\n", kGiveUpMs);
            kill(child, SIGKILL);
            reap(0);
            return 1;
        }
        if (XPending(display) == 0) {
            pollfd connection{ConnectionNumber(display), POLLIN, 0};
            poll(&connection, 1, 1);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect) {
            mappedMs = millisecondsSince(start);
        }
    }

    double thenMs = 0;
    if (!ended && !then.empty()) {
        const Clock::time_point thenStart = Clock::now();
        if (std::system(then.c_str()) != 0) {
            std::fprintf(stderr, "window_timer: the command after mapping failed\n");
        }
        thenMs = millisecondsSince(thenStart);
    }
    if (!ended && killAfterMs >= 0) {
        usleep(static_cast<useconds_t>(killAfterMs) * 1000);
        if (!reap(WNOHANG)) {
            kill(child, SIGTERM);
        }
    }
    while (!reap(WNOHANG)) {
        if (millisecondsSince(start) > kGiveUpMs) {
            kill(child, SIGKILL);
        }
        usleep(200);
    }
    const double exitedMs = millisecondsSince(start);
    XCloseDisplay(display);

    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    std::printf("mapped_ms=%.2f then_ms=%.2f exited_ms=%.2f cpu_ms=%.2f maxrss_kb=%ld status=%d\n",
                mappedMs, thenMs, exitedMs, cpuMs, usage.ru_maxrss, code);
    return mappedMs < 0 ? 1 : 0;
}
