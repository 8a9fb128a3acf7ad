#include "doctor_program_output.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace quorrel::cli {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        if (read >= 0) ::close(read);
        if (write >= 0) ::close(write);
    }
    bool Open() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return false;
        read = ends[0];
        write = ends[1];
        return true;
    }
    void CloseWrite() {
        ::close(write);
        write = -1;
    }
};

}  // namespace

ProgramOutput RunProgram(const std::vector<std::string>& arguments) {
    ProgramOutput output;
    Pipe out;
    Pipe err;
    if (!out.Open() || !err.Open()) {
        output.errorText = std::strerror(errno);
        return output;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        output.errorText = std::strerror(spawned);
        return output;
    }
    output.started = true;
    out.CloseWrite();
    err.CloseWrite();

    // Both pipes at once, so that a full one never holds the program up.
    std::array<pollfd, 2> ends{{{out.read, POLLIN, 0}, {err.read, POLLIN, 0}}};
    std::array<std::string*, 2> into{&output.out, &output.errorText};
    while (ends[0].fd >= 0 || ends[1].fd >= 0) {
        if (::poll(ends.data(), ends.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t at = 0; at < ends.size(); ++at) {
            if (ends[at].fd < 0 || ends[at].revents == 0) continue;
            char buffer[65536];
            const ssize_t got = ::read(ends[at].fd, buffer, sizeof buffer);
            if (got > 0) {
                into[at]->append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ends[at].fd = -1;
            }
        }
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    output.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

}  // namespace quorrel::cli
