#pragma once
// The line interpreter behind orvane-probe: each line runs one engine
// operation and prints what it returned and the thread's last error, so that
// an administrator (or an integration test) can see what a command gives on a
// real directory or workbook. Lines:
//   create <ProgID>            createObject            => @1 | null
//   get <name>                 getObject (moniker)     => @2 | null
//   release <@h>               releaseObject           => released @h
//   invoke <@h> <command>      invoke                  => 0x........ (the HRESULT)
//   set <@h> <command>         setProperty             => 0x........
//   int <@h> <command>         getIntegerProperty      => 42
//   str <@h> <command>         getStringProperty       => "text"
//   variant <@h> <command>     getVariantProperty      => @v1 VT_... value | null
//   object <@h> <command>      getObjectProperty       => @3 | null
//   live                       liveObjectCount         => 3
// Each engine line is followed by "last <code> <0xhex> "<text>"". Handles are
// written @1, @2 ... (a bare number works too). Inside a command, outside
// quoted strings, @n is replaced by handle n's engine number and @vn by the
// address of stored variant n (registered for passing while the line runs),
// so "ActiveConnection = @1 as AutomationObject" and
// "Put('thumbnailPhoto', @v1 as variant)" work; any other number written as
// an address is refused by the engine. Texts print in double
// quotes with \\, \", \r, \n, \t and \xNN escapes; byte arrays in hex; arrays
// element by element; objects inside variants as new handles. Empty lines and
// lines starting with "#" are skipped; a bad line prints "error: ..." and
// nothing else. The session releases what is left when it ends.

#include "automation/com/Variant.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace orvane
{

struct AutomationObject;
class PassedAddress;

class ProbeSession
{
  public:
    ProbeSession() = default;
    ~ProbeSession();
    ProbeSession(const ProbeSession &) = delete;
    ProbeSession &operator=(const ProbeSession &) = delete;

    /// Runs one line and returns the lines it prints (none for a blank or comment line).
    QStringList runLine(const QString &line);
    /// Runs every line of `script` and returns all output, one line each, "\n"-terminated.
    QString runScript(const QString &script);

    /// Text in double quotes with the escapes described above.
    static QString quoted(const QString &text);

  private:
    QStringList runEngineLine(const QString &verb, const QString &rest);
    QString describeVariant(const VARIANT &value);
    QString addHandle(AutomationObject *obj);
    bool resolveHandle(const QString &word, AutomationObject **obj, QString *error) const;
    /// Replaces @n and @vn; each stored variant named is registered in `passed`
    /// for as long as the caller keeps it.
    bool substituteReferences(const QString &command, QString *out, QString *error,
                              std::vector<std::unique_ptr<PassedAddress>> *passed) const;
    static QString lastErrorLine();

    QMap<int, AutomationObject *> handles_;
    QMap<int, VARIANT *> variants_;
    int nextHandle_ = 1;
    int nextVariant_ = 1;
};

} // namespace orvane
