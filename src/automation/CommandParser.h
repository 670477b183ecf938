#pragma once
// The command-string language: one line of text names a path of members
// separated by "\", each with an optional parenthesised argument list and,
// on the last member only, "= value" for a property write:
//   Fields('cn')\Value      Properties('Page Size') = 100      Execute()
//   ActiveSheet\Columns(3)\Find('x', #optional, #optional, 1)\Row
// Arguments: 'text' (escapes $hhhh give the character of the low byte of
// hhhh), numbers (smallest integer type that holds them, or VT_R8 with a
// "."), #true, #false, #optional/#opt/#empty (the "missing" marker), #void,
// #nullstring; each optionally followed by "byref", "as <type>" and "byref".
// Limits: 20 members, 20 arguments per member, 200 tokens per member.
//
// Putting a value into a command: ALWAYS through quoteArgument(text), which
// quotes it so that it comes back exactly (a bare "'" would end the string,
// and "$" + four hex digits would turn into another character).

#include "automation/com/Variant.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orvane
{

inline constexpr int kMaxMembers = 20;
inline constexpr int kMaxArguments = 20;
inline constexpr int kMaxTokens = 200;
/// UTF-16 units of a ParsedCommand's own room for names and string arguments.
inline constexpr int kInlineTextUnits = 256;

/// One member of a parsed command.
struct ParsedMember {
    /// The member's name as written (case kept).
    BSTR name = nullptr;
    /// Number of arguments, 0..20 (the put value of "= value" included, last).
    int argumentCount = 0;
    /// Argument slots 0..19, filled from slot 19 downwards in written order:
    /// the used slots 20 - argumentCount .. 19 hold the arguments last-first,
    /// which is the order IDispatch::Invoke expects. Only the used slots are
    /// initialised; a parse pays for the arguments written, not for all 20.
    VARIANT arguments[kMaxArguments];
    /// The address passed as DISPPARAMS::rgvarg (null without arguments).
    VARIANT *firstArgument() { return argumentCount ? &arguments[kMaxArguments - argumentCount] : nullptr; }
};

/// A parsed command; it owns every name, argument value and interface
/// reference it holds. Made by parseCommand, freed by freeParsedCommand.
struct ParsedCommand {
    int memberCount = 0;
    /// members[0] is the first member written.
    ParsedMember members[kMaxMembers];
    /// Where the names and the plain string arguments of a typical command
    /// live, each laid out as a BSTR (length prefix, text, NUL), instead of
    /// one allocation each; texts that do not fit are allocated. Such a BSTR
    /// is valid while the command lives and is never freed on its own.
    alignas(4) OLECHAR inlineText[kInlineTextUnits];
    int inlineTextUsed = 0;
    /// Why the last parse into this record refused a number as an address or
    /// handle (for the last error's text); empty otherwise.
    QString failureDetail;
    /// True when the parse is made from the command text alone and may be run
    /// again for the same text: false once an argument takes a handle, an
    /// address or a copy of the caller's memory, which can change between runs.
    bool fromTextAlone = true;
};

/// Parses `command`. S_OK and `*parsed` set (the caller frees it), or a
/// failure code and `*parsed` null: E_INVALIDARG for any syntax error, an
/// unknown type name or keyword, a non-number, a handle that is not live
/// ("as AutomationObject"), or an address that is not registered with
/// PassedAddress ("as variant", "as object", "as idispatch", "as iunknown",
/// "byref"); E_OUTOFMEMORY
/// for the 21st argument of a member; VariantChangeType/VariantCopy codes
/// unchanged. Records nothing.
HRESULT parseCommand(const QString &command, ParsedCommand **parsed);
/// Frees a parsed command and everything it owns; null is ignored.
void freeParsedCommand(ParsedCommand *parsed);

/// parseCommand into storage the caller provides (a default-constructed
/// ParsedCommand, typically on the stack), so that running a command costs no
/// allocation of the 20 x 20 slots. Same codes as parseCommand; on failure
/// `*parsed` owns nothing. On success the caller ends with clearParsedCommand.
/// Engine-internal.
HRESULT parseCommandInto(const QString &command, ParsedCommand *parsed);
/// Frees everything `parsed` owns and leaves it empty (memberCount 0).
void clearParsedCommand(ParsedCommand *parsed);

/// A BSTR of `text` in the command's own room when `parsed` is given and the
/// text fits there, else allocated; null when out of memory. Engine-internal.
BSTR commandString(ParsedCommand *parsed, QStringView text);
/// Whether `text` lies in `parsed`'s own room (and is freed with it, not by
/// SysFreeString). Engine-internal.
bool isInlineText(const ParsedCommand &parsed, const OLECHAR *text);

/// Returns `text` as a quoted string argument that the parser decodes back to
/// exactly `text`: "'" becomes $0027, "$" becomes $0024, everything else is
/// kept. THE way to put any value (user input, directory or workbook data,
/// paths) into a command string: "Put('mail', " + quoteArgument(value) + ")".
QString quoteArgument(const QString &text);

} // namespace orvane
