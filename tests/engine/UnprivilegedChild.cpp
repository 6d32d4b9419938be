#include "UnprivilegedChild.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ferrymark::test {

std::string UnprivilegedChild::unavailableReason() {
    if (::geteuid() != 0) {
        return "needs root to drop privileges in a child (as a user, permissions can not be "
               "set up for another account)";
    }
    return {};
}

int UnprivilegedChild::run(const std::function<int()>& work) {
    return run(work, {});
}

int UnprivilegedChild::run(const std::function<int()>& work, const std::vector<gid_t>& groups) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(kGroup) != 0 ||
            ::setuid(kUser) != 0) {
            ::_exit(254);
        }
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

}  // namespace ferrymark::test
