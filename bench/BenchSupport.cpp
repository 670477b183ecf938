#include "BenchSupport.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace orvane::bench
{

double Samples::best() const
{
    return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end());
}

double Samples::median() const
{
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0 : sorted[sorted.size() / 2];
}

double timed(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

Stats measure(int rounds, const std::function<void()> &work)
{
    Samples samples;
    for (int i = 0; i < rounds; ++i)
        samples.add(timed(work));
    return samples.stats();
}

void report(const char *what, const Stats &s)
{
    std::printf("%-62s best %9.1f ms   median %9.1f ms\n", what, s.best, s.median);
    std::fflush(stdout);
}

BenchDirectory BenchDirectory::fromEnvironment()
{
    return {qEnvironmentVariable("ORVANE_SLAPD_HOST"),     qEnvironmentVariable("ORVANE_SLAPD_PORT"),
            qEnvironmentVariable("ORVANE_SLAPD_BASE"),     qEnvironmentVariable("ORVANE_SLAPD_ADMIN"),
            qEnvironmentVariable("ORVANE_SLAPD_PASSWORD"), qEnvironmentVariable("ORVANE_SLAPD_BULK").toInt()};
}

DirectoryConnection BenchDirectory::connection() const
{
    return {host + u':' + port, base, 0, admin, password};
}

QStringList BenchDirectory::toolArguments() const
{
    return {QStringLiteral("-x"), QStringLiteral("-ZZ"),
            QStringLiteral("-H"), QStringLiteral("ldap://%1:%2").arg(host, port),
            QStringLiteral("-D"), admin,
            QStringLiteral("-w"), password};
}

QStringList BenchDirectory::searchArguments(int page, const QString &filter, const QString &searchBase) const
{
    return QStringList{QStringLiteral("-LLL"), QStringLiteral("-o"), QStringLiteral("ldif-wrap=no")} +
           toolArguments() +
           QStringList{QStringLiteral("-b"), searchBase.isEmpty() ? base : searchBase, QStringLiteral("-E"),
                       QStringLiteral("pr=%1/noprompt").arg(page), filter};
}

} // namespace orvane::bench
