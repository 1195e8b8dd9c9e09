#include "support/XSession.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "support/TestBundle.h"

extern char** environ;

namespace norv::test {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

int WaitFor(pid_t pid, std::chrono::milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    int status = 0;
    while (Clock::now() < deadline) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

std::vector<std::string> EnvironmentWith(const std::string& display) {
    UseTestBundle();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
    env.push_back("DISPLAY=" + display);
    return env;
}

}  // namespace

std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
        start = end + 1;
    }
    return std::nullopt;
}

XvfbServer::XvfbServer(const std::string& screen) {
    const auto xvfb = FindProgram("Xvfb");
    if (!xvfb) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<std::string> args = {*xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                     "-nolisten", "tcp", "-noreset"};
    auto argv = Argv(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, xvfb->c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (pid_ > 0 && number.find('\n') == std::string::npos && Clock::now() < deadline) {
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) != 1) break;
        number += c;
    }
    close(fds[0]);
    if (number.find('\n') != std::string::npos) display_ = ":" + number.substr(0, number.find('\n'));
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    WaitFor(pid_, std::chrono::seconds(10));
}

ChildProgram::ChildProgram(const std::vector<std::string>& argvIn, const std::string& display, bool holdInput) {
    int fds[2];
    if (pipe(fds) != 0) return;
    int input[2] = {-1, -1};
    if (holdInput && pipe2(input, O_CLOEXEC) != 0) input[0] = input[1] = -1;
    std::vector<std::string> args = argvIn;
    auto argv = Argv(args);
    std::vector<std::string> env = EnvironmentWith(display);
    auto envp = Argv(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (input[0] >= 0) posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    if (posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
    if (input[0] >= 0) close(input[0]);
    in_ = input[1];
}

ChildProgram::~ChildProgram() {
    Stop();
    if (out_ >= 0) close(out_);
    if (in_ >= 0) close(in_);
}

bool ChildProgram::ReadSome(int timeoutMs) {
    pollfd p{out_, POLLIN, 0};
    if (out_ < 0 || poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(n));
    for (size_t eol; (eol = pending_.find('\n')) != std::string::npos;) {
        lines_.push_back(pending_.substr(0, eol));
        pending_.erase(0, eol + 1);
    }
    return true;
}

std::optional<std::string> ChildProgram::WaitForLine(const std::string& prefix, std::chrono::milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    for (;;) {
        while (consumed_ < lines_.size()) {
            const std::string& line = lines_[consumed_++];
            if (line.rfind(prefix, 0) == 0) return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        ReadSome(static_cast<int>(std::min<long long>(left, 100)));
    }
}

bool ChildProgram::Alive() {
    if (pid_ <= 0 || status_ != -2) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

int ChildProgram::Stop() {
    if (pid_ <= 0) return -1;
    if (Alive()) {
        kill(pid_, SIGTERM);
        status_ = WaitFor(pid_, std::chrono::seconds(10));
    }
    while (ReadSome(0)) {
    }
    return status_;
}

int ChildProgram::Wait(std::chrono::milliseconds patience) {
    if (pid_ <= 0) return -1;
    if (status_ == -2) {
        status_ = WaitFor(pid_, patience);
        while (ReadSome(0)) {
        }
    }
    return status_;
}

bool Xdotool(const std::string& display, const std::vector<std::string>& argsIn) {
    const auto program = FindProgram("xdotool");
    if (!program) return false;
    std::vector<std::string> args = {*program};
    args.insert(args.end(), argsIn.begin(), argsIn.end());
    auto argv = Argv(args);
    std::vector<std::string> env = EnvironmentWith(display);
    auto envp = Argv(env);
    pid_t pid;
    if (posix_spawn(&pid, program->c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return false;
    return WaitFor(pid, std::chrono::seconds(10)) == 0;
}

namespace {

// A painted menu has a one-pixel frame of one colour around a face of another.
bool FramedAndFilled(::Display* x, Window w, int width, int height) {
    if (width < 3 || height < 3) return false;
    XImage* image = XGetImage(x, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                              ZPixmap);
    if (!image) return false;
    const unsigned long frame = XGetPixel(image, 0, 0);
    bool framed = XGetPixel(image, 1, 1) != frame;
    for (int i = 0; framed && i < width; ++i)
        framed = XGetPixel(image, i, 0) == frame && XGetPixel(image, i, height - 1) == frame;
    for (int i = 0; framed && i < height; ++i)
        framed = XGetPixel(image, 0, i) == frame && XGetPixel(image, width - 1, i) == frame;
    XDestroyImage(image);
    return framed;
}

}  // namespace

bool WaitForMenu(const std::string& display) {
    ::Display* x = XOpenDisplay(display.c_str());
    if (!x) return false;
    bool ready = false;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!ready && Clock::now() < deadline) {
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &n)) {
            for (unsigned i = 0; i < n && !ready; ++i) {
                XWindowAttributes a;
                ready = XGetWindowAttributes(x, children[i], &a) && a.override_redirect && a.map_state == IsViewable &&
                        FramedAndFilled(x, children[i], a.width, a.height);
            }
            if (children) XFree(children);
        }
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XCloseDisplay(x);
    return ready;
}

int PixelsLeftToPaint(const std::string& display, unsigned long window, cairo_surface_t* expected) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    for (;;) {
        cairo_surface_t* shown = GrabWindow(display, window);
        if (!shown) return -1;
        const int differing = DifferingPixels(expected, shown);
        cairo_surface_destroy(shown);
        if (differing == 0 || Clock::now() > deadline) return differing;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int DifferingPixels(cairo_surface_t* a, cairo_surface_t* b) {
    const int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
    if (w != cairo_image_surface_get_width(b) || h != cairo_image_surface_get_height(b)) return -1;
    int n = 0;
    for (int y = 0; y < h; ++y) {
        const auto* ra = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a));
        const auto* rb = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b));
        for (int x = 0; x < w; ++x) n += (ra[x] & 0xFFFFFF) != (rb[x] & 0xFFFFFF);
    }
    return n;
}

cairo_surface_t* GrabWindow(const std::string& display, unsigned long window) {
    ::Display* x = XOpenDisplay(display.c_str());
    if (!x) return nullptr;
    XWindowAttributes a;
    cairo_surface_t* out = nullptr;
    if (XGetWindowAttributes(x, window, &a)) {
        XImage* image = XGetImage(x, window, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                                  AllPlanes, ZPixmap);
        if (image) {
            out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.width, a.height);
            auto* data = cairo_image_surface_get_data(out);
            const int stride = cairo_image_surface_get_stride(out);
            for (int y = 0; y < a.height; ++y)
                for (int xx = 0; xx < a.width; ++xx)
                    reinterpret_cast<uint32_t*>(data + y * stride)[xx] =
                        static_cast<uint32_t>(XGetPixel(image, xx, y)) & 0xFFFFFF;
            cairo_surface_mark_dirty(out);
            XDestroyImage(image);
        }
    }
    XCloseDisplay(x);
    return out;
}

}  // namespace norv::test
