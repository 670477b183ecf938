#pragma once
// What the tool says and where: results on standard output, errors and
// progress on standard error. Progress is drawn only when standard error is a
// terminal, so that mail from a schedule holds no carriage-return noise.

#include <QElapsedTimer>
#include <QString>

namespace orvane::synctool
{

class Console
{
  public:
    Console();

    bool quiet = false;
    bool verbose = false;

    /// Prints `text` and a newline on standard output (always: it is the result).
    void out(const QString &text) const;
    /// Prints a summary line on standard output unless quiet.
    void info(const QString &text) const;
    /// Prints a detail line on standard error when verbose.
    void detail(const QString &text) const;
    /// Prints "orvane-sync: " + `text` as one line on standard error and returns `code`.
    int fail(int code, const QString &text);
    /// Prints "orvane-sync: " + `text` as one line on standard error (a warning; the run goes on).
    void warn(const QString &text);

    /// Shows "label: done/total" on a terminal's standard error, at most a few times a second.
    void progress(const QString &label, long done, long total);
    /// Ends the progress line, if one is shown.
    void endProgress();

    /// True when standard input is a terminal (a question can be asked).
    static bool canAsk();
    /// Asks `question` on the terminal; true for "y" or "yes".
    bool ask(const QString &question);

  private:
    bool stderrTerminal_ = false;
    bool progressShown_ = false;
    QElapsedTimer lastDrawn_;
};

/// `text` on one line: its lines trimmed and joined by a space.
QString oneLine(const QString &text);

} // namespace orvane::synctool
