#pragma once
// Makes the directory service's automation servers known to the class
// registry: the ProgIDs "ADODB.Connection", "ADODB.Command" and
// "ADODB.RecordSet", and the moniker prefix "LDAP:" (the namespace object and
// ADsPaths). Call once at start-up, before the first createObject/getObject;
// further calls do nothing. Safe from any thread.

namespace orvane
{

void registerDirectoryServers();

} // namespace orvane
