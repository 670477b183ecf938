#include "workbook/engine/FileReplacement.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane
{

namespace
{

std::atomic<RenameFunction> renameFunction{nullptr};

std::string folderOf(const std::string &path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string systemError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool copyBytes(int from, int to, std::string *error)
{
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *error = systemError("cannot read the workbook");
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                *error = systemError("cannot write the temporary file");
                return false;
            }
            done += w;
        }
    }
}

} // namespace

void setRenameFunctionForTesting(RenameFunction function)
{
    renameFunction.store(function);
}

bool copyToSiblingTemp(const std::string &target, std::string *tempPath, std::string *error)
{
    int from = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        *error = systemError("cannot open the workbook");
        return false;
    }
    struct stat st;
    if (::fstat(from, &st) != 0) {
        *error = systemError("cannot examine the workbook");
        ::close(from);
        return false;
    }
    std::string name = target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
    std::string pattern = folderOf(target) + "/." + name + ".saving-XXXXXX";
    int to = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (to < 0) {
        *error = systemError("cannot create a temporary file beside the workbook");
        ::close(from);
        return false;
    }
    bool ok = copyBytes(from, to, error);
    if (ok && ::fchmod(to, st.st_mode & 07777) != 0) {
        *error = systemError("cannot set the permissions of the temporary file");
        ok = false;
    }
    ::close(from);
    if (::close(to) != 0 && ok) {
        *error = systemError("cannot write the temporary file");
        ok = false;
    }
    if (!ok) {
        ::unlink(pattern.c_str());
        return false;
    }
    *tempPath = pattern;
    return true;
}

bool commitSiblingTemp(const std::string &tempPath, const std::string &target, std::string *error)
{
    int fd = ::open(tempPath.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (!ok) {
        *error = systemError("cannot flush the temporary file to disk");
    }
    if (fd >= 0) {
        ::close(fd);
    }
    RenameFunction rename = renameFunction.load();
    if (ok && (rename ? rename : ::rename)(tempPath.c_str(), target.c_str()) != 0) {
        *error = systemError("cannot replace the workbook with the saved copy");
        ok = false;
    }
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace orvane
