#include "import/sandbox/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define LECTORIN_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LECTORIN_SANITIZED 1
#endif
#endif

namespace importer::sandbox {

namespace {

constexpr bool kLimitAddressSpace =
#ifdef LECTORIN_SANITIZED
    false;
#else
    true;
#endif

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int value)
        : fd(value)
    {
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset()
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
};

bool socketPair(Fd& parent, Fd& child)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    parent.fd = fds[0];
    child.fd = fds[1];
    return true;
}

// Between fork and exec only async-signal-safe calls: the parent may have other threads.
[[noreturn]] void becomeChild(
    const std::vector<char*>& argv, int input, int output, int errors, const ChildLimits& limits)
{
    if (dup2(input, STDIN_FILENO) < 0 || dup2(output, STDOUT_FILENO) < 0
        || (errors >= 0 && dup2(errors, STDERR_FILENO) < 0))
        _exit(127);
    // Signals the parent ignores or blocks would stay so across exec.
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    signal(SIGPIPE, SIG_DFL);
    rlimit cpu { limits.cpuSeconds, limits.cpuSeconds + 1 };
    setrlimit(RLIMIT_CPU, &cpu);
    if (kLimitAddressSpace) {
        rlimit space { limits.addressSpaceBytes, limits.addressSpaceBytes };
        setrlimit(RLIMIT_AS, &space);
    }
    rlimit core { 0, 0 };
    setrlimit(RLIMIT_CORE, &core);
    execv(argv[0], argv.data());
    _exit(127);
}

} // namespace

ChildResult runChild(const std::vector<std::string>& arguments, std::span<const std::uint8_t> input,
    const ChildLimits& limits, bool keepErrors)
{
    ChildResult result;
    if (arguments.empty())
        return result;
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    Fd toChild, childInput, fromChild, childOutput;
    if (!socketPair(toChild, childInput) || !socketPair(fromChild, childOutput))
        return result;
    Fd devNull(keepErrors ? -1 : open("/dev/null", O_WRONLY | O_CLOEXEC));
    shutdown(toChild.fd, SHUT_RD);
    shutdown(fromChild.fd, SHUT_WR);

    pid_t pid = fork();
    if (pid < 0)
        return result;
    if (pid == 0)
        becomeChild(argv, childInput.fd, childOutput.fd, devNull.fd, limits);
    childInput.reset();
    childOutput.reset();
    fcntl(toChild.fd, F_SETFL, fcntl(toChild.fd, F_GETFL) | O_NONBLOCK);
    fcntl(fromChild.fd, F_SETFL, fcntl(fromChild.fd, F_GETFL) | O_NONBLOCK);

    auto deadline = std::chrono::steady_clock::now() + limits.wallTime;
    std::size_t written = 0;
    if (input.empty())
        toChild.reset();
    bool killed = false;
    char buffer[65536];
    while (fromChild.fd >= 0) {
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            result.outcome = ChildOutcome::TimedOut;
            killed = true;
            break;
        }
        auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        pollfd fds[2] = { { fromChild.fd, POLLIN, 0 }, { toChild.fd, POLLOUT, 0 } };
        int count = toChild.fd >= 0 ? 2 : 1;
        int ready = poll(fds, nfds_t(count), int(std::min<long long>(remaining + 1, 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (count == 2 && fds[1].revents) {
            // The child may stop reading (a crash, or it read enough): the rest of the input is dropped.
            ssize_t n = send(toChild.fd, input.data() + written, std::min<std::size_t>(input.size() - written, 1 << 20),
                MSG_NOSIGNAL);
            if (n > 0)
                written += std::size_t(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()
                || (fds[1].revents & (POLLERR | POLLHUP)))
                toChild.reset();
        }
        if (fds[0].revents) {
            ssize_t n = read(fromChild.fd, buffer, sizeof buffer);
            if (n > 0) {
                if (result.output.size() + std::size_t(n) > limits.maximumOutputBytes) {
                    result.outcome = ChildOutcome::OutputTooLarge;
                    killed = true;
                    break;
                }
                result.output.append(buffer, std::size_t(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                fromChild.reset();
            }
        }
    }
    toChild.reset();
    fromChild.reset();
    int status = 0;
    if (!killed) {
        // Output closed: the child is ending, or closed stdout and runs on; the deadline still holds for it.
        for (;;) {
            pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR))
                break;
            if (std::chrono::steady_clock::now() >= deadline) {
                result.outcome = ChildOutcome::TimedOut;
                killed = true;
                break;
            }
            timespec pause { 0, 1000000 };
            nanosleep(&pause, nullptr);
        }
    }
    if (killed) {
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        return result;
    }
    if (WIFEXITED(status)) {
        result.outcome = ChildOutcome::Exited;
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.outcome = ChildOutcome::Signalled;
        result.signal = WTERMSIG(status);
    }
    return result;
}

} // namespace importer::sandbox
