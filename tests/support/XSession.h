// End-to-end runs under a display of their own: an Xvfb server started for
// the test and ended by its process id, programs started on it with their
// standard output read line by line, xdotool for the mouse, and pictures of
// windows taken from the server.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace norv::test {

std::optional<std::string> FindProgram(const std::string& name);

class XvfbServer {
public:
    // An empty Display() when Xvfb is missing or did not come up.
    explicit XvfbServer(const std::string& screen = "1024x768x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// A program run on `display` with its standard output in a pipe.
class ChildProgram {
public:
    // `holdInput`: its standard input is a pipe kept open until it ends, for
    // programs that stop when their input ends.
    ChildProgram(const std::vector<std::string>& argv, const std::string& display, bool holdInput = false);
    ~ChildProgram();  // SIGTERM, then SIGKILL if it lingers
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool Started() const { return pid_ > 0; }
    // The next output line that starts with `prefix`; nullopt after `patience`.
    std::optional<std::string> WaitForLine(const std::string& prefix,
                                           std::chrono::milliseconds patience = std::chrono::seconds(30));
    // Every line read so far.
    const std::vector<std::string>& Lines() const { return lines_; }
    // Ends it (SIGTERM) and returns its exit status, -1 when it had to be killed.
    int Stop();
    // Waits for it to end by itself; its exit status, -1 after `patience` (then it is killed).
    int Wait(std::chrono::milliseconds patience = std::chrono::seconds(20));
    bool Alive();

private:
    bool ReadSome(int timeoutMs);
    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    size_t consumed_ = 0;
    int status_ = -2;
};

// Runs xdotool with `args` on `display`; true when it succeeded.
bool Xdotool(const std::string& display, const std::vector<std::string>& args);

// Whether an override-redirect window (an open menu) shows and has painted
// itself (so it holds the pointer: a menu grabs it before it paints).
bool WaitForMenu(const std::string& display);

// How many pixels of two same-sized images differ in colour; -1 when their sizes differ.
int DifferingPixels(cairo_surface_t* a, cairo_surface_t* b);

// The window's pixels as the server shows them (a cairo RGB24 image; the
// caller destroys it); nullptr when the window cannot be read.
cairo_surface_t* GrabWindow(const std::string& display, unsigned long window);

// Looks at the window until it shows `expected` (a program may still be
// painting on a busy machine); the pixels that still differ at the deadline,
// -1 when the sizes differ or the window cannot be read.
int PixelsLeftToPaint(const std::string& display, unsigned long window, cairo_surface_t* expected);

}  // namespace norv::test
