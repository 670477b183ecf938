#include "Console.h"

#include <QStringList>
#include <cstdio>
#include <unistd.h>

namespace orvane::synctool
{

namespace
{

void writeLine(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

QString oneLine(const QString &text)
{
    QStringList parts;
    for (const QString &line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            parts << trimmed;
    }
    return parts.join(u' ');
}

Console::Console() : stderrTerminal_(isatty(STDERR_FILENO) == 1) {}

void Console::out(const QString &text) const
{
    writeLine(stdout, text);
}

void Console::info(const QString &text) const
{
    if (!quiet)
        writeLine(stdout, text);
}

void Console::detail(const QString &text) const
{
    if (verbose)
        writeLine(stderr, text);
}

int Console::fail(int code, const QString &text)
{
    warn(text);
    return code;
}

void Console::warn(const QString &text)
{
    endProgress();
    writeLine(stderr, QStringLiteral("orvane-sync: ") + oneLine(text));
}

void Console::progress(const QString &label, long done, long total)
{
    if (!stderrTerminal_ || quiet)
        return;
    // Redrawing on every user would cost more than the work on a slow terminal.
    if (progressShown_ && done < total && lastDrawn_.isValid() && lastDrawn_.elapsed() < 200)
        return;
    lastDrawn_.start();
    const QString text = total > 0 ? QStringLiteral("\r%1: %2/%3").arg(label).arg(done).arg(total)
                                   : QStringLiteral("\r%1: %2").arg(label).arg(done);
    std::fputs(text.toUtf8().constData(), stderr);
    std::fputs("\x1b[K", stderr); // clears what a longer earlier line left
    std::fflush(stderr);
    progressShown_ = true;
}

void Console::endProgress()
{
    if (!progressShown_)
        return;
    std::fputc('\n', stderr);
    progressShown_ = false;
}

bool Console::canAsk()
{
    return isatty(STDIN_FILENO) == 1;
}

bool Console::ask(const QString &question)
{
    endProgress();
    std::fputs((question + QStringLiteral(" [y/N] ")).toUtf8().constData(), stderr);
    std::fflush(stderr);
    char line[64] = {};
    if (!std::fgets(line, sizeof line, stdin))
        return false;
    const QString answer = QString::fromUtf8(line).trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

} // namespace orvane::synctool
