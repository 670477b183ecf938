#pragma once
// Parsed commands kept for the commands a thread sends again and again: the
// same field read for every user of a search, the same cell property for
// every row. Each thread keeps its own bounded set, keyed by the exact
// command text, so no lock is taken and no parse is shared between threads.
//
// Only parses made from the text alone are kept (ParsedCommand::fromTextAlone):
// a command passing a handle, an address or a copy of the caller's memory is
// parsed afresh every time, as are commands that failed to parse, so a run
// from the cache has exactly the codes and texts of a fresh parse. A command
// is kept from its second sighting on, so commands seen once (a cell of one
// row) do not push out the ones that repeat. Engine-internal.

#include "automation/CommandParser.h"

#include <QString>
#include <memory>

namespace orvane
{

/// Entries each thread keeps at most (the least recently used goes first).
inline constexpr int kParseCacheEntries = 128;

/// The parse of one command for one run: this thread's kept parse of the same
/// text, or a fresh parse held here. The kept parse stays alive while this
/// object lives even if the cache lets it go meanwhile (a server calling the
/// engine back on the same thread).
class CommandParse
{
  public:
    CommandParse() = default;
    CommandParse(const CommandParse &) = delete;
    CommandParse &operator=(const CommandParse &) = delete;
    ~CommandParse();

    /// Parses `command` or takes its kept parse: the codes of parseCommandInto.
    /// On failure failureDetail() says why, as ParsedCommand::failureDetail.
    HRESULT parse(const QString &command);
    /// The parsed command after a successful parse(); not to be changed.
    ParsedCommand &command() { return *current_; }
    /// Why the failed parse refused a number (empty otherwise).
    const QString &failureDetail() const;

  private:
    ParsedCommand &local();

    // Made only for a parse that is not kept: a run from a kept parse (every
    // field read of a walk) does not lay out a record of twenty members. Raw
    // room rather than std::optional, whose construction zeroes all of it.
    alignas(ParsedCommand) unsigned char localRoom_[sizeof(ParsedCommand)];
    ParsedCommand *local_ = nullptr;
    std::shared_ptr<ParsedCommand> kept_;
    ParsedCommand *current_ = nullptr;
};

/// Forgets the calling thread's kept parses; for tests.
void clearParseCache();
/// Number of parses the calling thread keeps; for tests.
int parseCacheSize();

} // namespace orvane
