#include "privatedisplay.h"
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

PrivateDisplay::~PrivateDisplay()
{
    if (m_pid > 0) {
        ::kill(pid_t(m_pid), SIGTERM);
        ::waitpid(pid_t(m_pid), nullptr, 0);
    }
}

bool PrivateDisplay::ensure()
{
    const char* d = std::getenv("DISPLAY");
    if (d && *d) return true;
    int fds[2];
    if (::pipe(fds) != 0) return false;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        // Quiet: its log would mix with the application's one-line messages.
        if (int null = ::open("/dev/null", O_WRONLY); null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    m_pid = pid;
    // Xvfb writes the display number it chose once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0) {
        char c;
        if (::read(fds[0], &c, 1) != 1) break;
        if (c == '\n') break;
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        m_pid = -1;
        return false;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}
