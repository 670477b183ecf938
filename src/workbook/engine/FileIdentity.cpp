#include "workbook/engine/FileIdentity.h"

#include <sys/stat.h>

namespace orvane
{

bool fileIdentityOf(const std::string &path, FileIdentity *identity)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    *identity = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
                 static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                 static_cast<long long>(st.st_mtim.tv_nsec)};
    return true;
}

} // namespace orvane
