#include "render/RenderSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>

#include "host/MidiWriter.h"
#include "host/Performer.h"
#include "host/SongPlayer.h"
#include "support/TempDir.h"
#include "support/TestBundle.h"

namespace norv::test {

std::vector<float> Audio::Left(int64_t begin, int64_t count) const {
    std::vector<float> r;
    for (int64_t i = begin; i < begin + count && i < Frames(); ++i) r.push_back(samples[2 * static_cast<size_t>(i)]);
    return r;
}

float Audio::Peak() const {
    float p = 0;
    for (float x : samples) p = std::max(p, std::fabs(x));
    return p;
}

Audio RenderSong(host::Host& host, TQuirraPlug* plug, const host::MidiSong& song, int rate, int block, double tail) {
    host::Performer performer(host, plug);
    host::SongPlayer player(performer, song, rate, block, tail);
    Audio a;
    a.rate = rate;
    std::vector<float> buffer(2 * static_cast<size_t>(block));
    while (int32_t n = player.Next(buffer.data())) a.samples.insert(a.samples.end(), buffer.begin(), buffer.begin() + 2 * n);
    return a;
}

TQuirraPlug* NewInstance(host::Host& host, int rate, const Knobs& knobs) {
    TQuirraPlug* plug = host.CreateInstance();
    if (!plug) {
        ADD_FAILURE() << "the bundle refused to create an instance";
        return nullptr;
    }
    plug->HostCommand(PlugCommand::SetSampleRate, 0, rate);
    for (auto [index, value] : knobs) plug->HandleParameter(index, value, ParamFlag::Set | ParamFlag::MoveKnob);
    return plug;
}

host::MidiSong OneNote(int key, double seconds) {
    host::MidiSong song;
    host::MidiEvent on;
    on.type = host::MidiType::NoteOn;
    on.data1 = static_cast<uint8_t>(key);
    on.data2 = 100;
    host::MidiEvent off = on;
    off.type = host::MidiType::NoteOff;
    off.seconds = seconds;
    song.events = {on, off};
    song.endSeconds = seconds;
    return song;
}

Loop ReadLoopedSample(const std::filesystem::path& file) {
    Loop loop;
    SF_INFO info{};
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
    if (!f) {
        ADD_FAILURE() << file << ": cannot read the default set's sample (is the bundle built?)";
        return loop;
    }
    SF_INSTRUMENT inst{};
    if (sf_command(f, SFC_GET_INSTRUMENT, &inst, sizeof inst) == SF_TRUE && inst.loop_count > 0) {
        loop.start = inst.loops[0].start;
        loop.end = inst.loops[0].end;
    } else {
        ADD_FAILURE() << file << ": no loop";
    }
    loop.rate = info.samplerate;
    std::vector<float> all(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, all.data(), info.frames);
    sf_close(f);
    for (sf_count_t i = 0; i < info.frames; ++i) loop.left.push_back(all[static_cast<size_t>(i * info.channels)]);
    return loop;
}

Audio ReadAudio(const std::filesystem::path& file) {
    Audio a;
    SF_INFO info{};
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
    if (!f) {
        ADD_FAILURE() << file << ": cannot read: " << sf_strerror(nullptr);
        return a;
    }
    EXPECT_EQ(info.channels, 2) << file;
    a.rate = info.samplerate;
    a.samples.resize(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, a.samples.data(), info.frames);
    sf_close(f);
    return a;
}

namespace {

std::vector<double> HannWindowed(const std::vector<float>& x) {
    const double n = static_cast<double>(x.size());
    std::vector<double> w(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        w[i] = (0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (static_cast<double>(i) + 0.5) / n)) * x[i];
    return w;
}

// |DTFT| of the windowed signal at f Hz.
double Magnitude(const std::vector<double>& w, double rate, double f) {
    const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * f / rate);
    std::complex<double> z = 1.0, sum = 0.0;
    for (size_t i = 0; i < w.size(); ++i) {
        sum += w[i] * z;
        z *= step;
        if ((i & 1023) == 1023) z /= std::abs(z);
    }
    return std::abs(sum);
}

}  // namespace

double PeakFrequency(const std::vector<float>& x, double rate, double guess, double searchCents) {
    const std::vector<double> w = HannWindowed(x);
    // Coarse: a grid finer than the window's main lobe; then a golden-section
    // search around the best point.
    constexpr double kGridCents = 2.0;
    double best = guess, bestMag = -1;
    for (double c = -searchCents; c <= searchCents; c += kGridCents) {
        const double f = guess * std::exp2(c / 1200.0);
        const double m = Magnitude(w, rate, f);
        if (m > bestMag) {
            bestMag = m;
            best = f;
        }
    }
    double a = best * std::exp2(-kGridCents / 1200.0), b = best * std::exp2(kGridCents / 1200.0);
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double c = b - g * (b - a), d = a + g * (b - a);
    double mc = Magnitude(w, rate, c), md = Magnitude(w, rate, d);
    for (int i = 0; i < 40; ++i) {
        if (mc > md) {
            b = d;
            d = c;
            md = mc;
            c = b - g * (b - a);
            mc = Magnitude(w, rate, c);
        } else {
            a = c;
            c = d;
            mc = md;
            d = a + g * (b - a);
            md = Magnitude(w, rate, d);
        }
    }
    return (a + b) / 2.0;
}

std::filesystem::path BundleFolder() { return std::filesystem::path(NORV_PLUGIN_PATH).parent_path(); }

namespace {

// The environment for norvkeys: this process's own.
std::vector<std::string> ChildEnvironment() {
    UseTestBundle();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> r;
    for (std::string& s : strings) r.push_back(s.data());
    r.push_back(nullptr);
    return r;
}

}  // namespace

SplitResult RunNorvkeysPiped(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    SplitResult r;
    const std::string program = NORV_BUILD_DIR "/norvkeys";
    if (access(program.c_str(), X_OK) != 0) {
        ADD_FAILURE() << program << " is missing: build the norvkeys target before running these tests";
        return r;
    }
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = ChildEnvironment();
    for (const std::string& e : extraEnv) {
        const std::string name = e.substr(0, e.find('=') + 1);
        std::erase_if(env, [&name](const std::string& x) { return x.starts_with(name); });
        env.push_back(e);
    }
    std::vector<char*> cargs = Pointers(argv), cenv = Pointers(env);
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return r;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
        execve(program.c_str(), cargs.data(), cenv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[65536];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

CommandResult RunNorvkeys(const std::vector<std::string>& args) {
    SplitResult r = RunNorvkeysPiped(args);
    return {r.exitCode, r.out + r.err};
}

std::filesystem::path WriteOneNoteSong(const std::filesystem::path& folder) {
    host::MidiWriter w(0, 480);
    const size_t t = w.AddTrack();
    w.Note(t, 0, 480, 0, 60, 100);
    w.EndTrack(t, 960);
    const std::filesystem::path p = folder / "song.mid";
    w.Save(p);
    return p;
}

std::string WithPreset(std::string definition, const std::vector<std::pair<int, std::string>>& values) {
    size_t section = definition.find("[parameters]\n");
    if (section == std::string::npos) {
        definition += "\n[parameters]\n";
        section = definition.size() - std::strlen("[parameters]\n");
    }
    for (const auto& [index, value] : values) {
        const size_t body = section + std::strlen("[parameters]\n");
        const size_t end = std::min(definition.find("\n[", body), definition.size());
        const std::string key = std::to_string(index) + "=";
        size_t at = body;
        while (at < end && definition.compare(at, key.size(), key) != 0) {
            const size_t next = definition.find('\n', at);
            at = next == std::string::npos ? end : next + 1;
        }
        if (at < end) {
            definition.replace(at, definition.find('\n', at) - at, key + value);
        } else {
            definition.insert(body, key + value + "\n");
        }
    }
    return definition;
}

}  // namespace norv::test
