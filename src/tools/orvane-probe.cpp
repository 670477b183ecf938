// orvane-probe: reads engine commands from standard input, one per line, and
// prints what each returns and the last error. See ProbeSession.h for the
// line forms. Usage: orvane-probe < script   (or interactively).

#include "automation/ProbeSession.h"

#ifdef ORVANE_PROBE_DIRECTORY
#include "directory/ldap/RegisterServers.h"
#endif
#ifdef ORVANE_PROBE_EXCEL
#include "workbook/excel/RegisterServers.h"
#endif

#include <QString>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts("usage: orvane-probe < script\n"
                  "lines: create <ProgID> | get <name> | release @h | live\n"
                  "       invoke|set|int|str|variant|object @h <command string>\n"
                  "in commands, @n stands for handle n and @vn for stored variant n");
        return 0;
    }
#ifdef ORVANE_PROBE_DIRECTORY
    orvane::registerDirectoryServers();
#endif
#ifdef ORVANE_PROBE_EXCEL
    orvane::registerExcelServer();
#endif
    orvane::ProbeSession session;
    std::string line;
    while (std::getline(std::cin, line)) {
        for (const QString &printed : session.runLine(QString::fromUtf8(line)))
            std::cout << printed.toStdString() << '\n';
        std::cout.flush();
    }
    return 0;
}
