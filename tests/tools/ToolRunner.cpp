#include "tools/ToolRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "support/TestBundle.h"

extern char** environ;

namespace norv::test {
namespace {

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

const std::string& ToolPath() {
    static const std::string path = NORV_BUILD_DIR "/norvkeys";
    return path;
}

namespace {

ToolResult Run(std::vector<std::string> argv, char** env, const TempDir& scratch) {
    const std::string out = (scratch.path() / "tool.out").string();
    const std::string err = (scratch.path() / "tool.err").string();
    std::vector<char*> cargs;
    for (std::string& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, cargs[0], &actions, nullptr, cargs.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    ToolResult r;
    r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Out = Slurp(out);
    r.Err = Slurp(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args, const TempDir& scratch) {
    UseTestBundle();
    std::vector<std::string> argv{ToolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(std::move(argv), environ, scratch);
}

ToolResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const TempDir& scratch) {
    std::vector<std::string> owned = env;
    std::vector<char*> cenv;
    for (std::string& e : owned) cenv.push_back(e.data());
    cenv.push_back(nullptr);
    return Run(argv, cenv.data(), scratch);
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace norv::test
