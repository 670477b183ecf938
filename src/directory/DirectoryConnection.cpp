#include "directory/DirectoryConnection.h"

#include "store/Settings.h"

namespace orvane
{

DirectoryConnection connectionFromSettings(const Settings &settings)
{
    return {settings.serverAddress, settings.baseDn, settings.useCurrentCredentials, settings.userName,
            settings.password};
}

} // namespace orvane
