#pragma once
// What the benchmarks share: timing a step over rounds (best and median, in
// milliseconds) and the private slapd that scripts/test-directories starts
// for them (its env file sets ORVANE_SLAPD_*), with the arguments of the
// OpenLDAP tools that measure the floors beside the program.

#include "directory/DirectoryConnection.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace orvane::bench
{

/// Best and median of a step's times, in milliseconds.
struct Stats {
    double best = 0;
    double median = 0;
};

/// A step's times collected one by one, in milliseconds.
struct Samples {
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    /// The shortest time; 0 when there is none.
    double best() const;
    /// The middle time (the upper one of an even count); 0 when there is none.
    double median() const;
    Stats stats() const { return {best(), median()}; }
};

/// The time `work` takes, in milliseconds.
double timed(const std::function<void()> &work);

/// Runs `work` `rounds` times and returns the best and median time.
Stats measure(int rounds, const std::function<void()> &work);

/// Prints one line "<what> best <ms> median <ms>" and flushes it.
void report(const char *what, const Stats &s);

/// The private directory of scripts/test-directories.
struct BenchDirectory {
    QString host;
    QString port;
    QString base;
    QString admin;
    QString password;
    int bulk = 0; ///< how many bulk users it was started with (ORVANE_SLAPD_BULK)

    /// The directory that ORVANE_SLAPD_* name; host and port empty when they are not set.
    static BenchDirectory fromEnvironment();
    bool isSet() const { return !host.isEmpty() && !port.isEmpty(); }
    /// The program's connection to it, bound as its administrator.
    DirectoryConnection connection() const;
    /// The OpenLDAP tools' arguments to reach it: simple bind as the administrator over StartTLS.
    QStringList toolArguments() const;
    /// ldapsearch's arguments for `filter` below `base` (the directory's when
    /// empty), paged by `page`, lines unwrapped; the attributes go after them.
    QStringList searchArguments(int page, const QString &filter, const QString &base = QString()) const;
};

} // namespace orvane::bench
