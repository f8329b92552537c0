#include "links.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace kavro_sim {

std::string PortLinkName(int port) {
    return "com" + std::to_string(port);
}

bool ReplaceSymlink(const std::string& target, const std::string& link, std::string& error) {
    static std::atomic<unsigned> counter{0};
    const std::string temporary =
        link + ".tmp." + std::to_string(getpid()) + "." + std::to_string(counter++);
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        error = "symlink " + temporary + ": " + std::strerror(errno);
        return false;
    }
    if (rename(temporary.c_str(), link.c_str()) != 0) {
        error = "rename to " + link + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void RemoveSymlinkIfTarget(const std::string& link, const std::string& target) {
    char buffer[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n < 0)
        return;
    if (std::string(buffer, static_cast<std::size_t>(n)) == target)
        unlink(link.c_str());
}

}  // namespace kavro_sim
