#include "automation/CommandParseCache.h"

#include <QHash>
#include <array>
#include <list>
#include <new>
#include <utility>

namespace orvane
{

namespace
{

struct KeptParse {
    QString text;
    std::shared_ptr<ParsedCommand> parsed;
};

// One thread's kept parses, most recently used first, and the hashes of
// texts seen once (one per slot: a collision only delays keeping a text).
class ParseCache
{
  public:
    // The kept parse of `text` when it was last asked for by this very
    // string (the same characters at the same address, as a caller's command
    // text built once and sent for every user is): found without hashing it.
    // A text may sit in any of kFrontProbes slots from its own: the forty-odd
    // commands of a walk then rarely push each other out, which one slot per
    // address did often enough to send a tenth of every read through a hash.
    const std::shared_ptr<ParsedCommand> *findByAddress(const QString &text) const
    {
        const size_t first = frontSlot(text);
        for (size_t probe = 0; probe < kFrontProbes; ++probe) {
            const FrontSlot &slot = front_[(first + probe) % kFrontSlots];
            // Characters the slot shares are the caller's very string (a shared
            // block is copied before any change); others are compared.
            if (slot.parsed && slot.text.constData() == text.constData() && slot.text.size() == text.size() &&
                (slot.text.isSharedWith(text) || QStringView(slot.text) == QStringView(text)))
                return &slot.parsed;
        }
        return nullptr;
    }
    void rememberAddress(const QString &text, const std::shared_ptr<ParsedCommand> &parsed)
    {
        const size_t first = frontSlot(text);
        FrontSlot *target = &front_[first];
        for (size_t probe = 0; probe < kFrontProbes; ++probe) {
            FrontSlot &slot = front_[(first + probe) % kFrontSlots];
            if (!slot.parsed) {
                target = &slot;
                break;
            }
        }
        if (target->parsed) // all taken: the one after the home slot goes, in turn
            target = &front_[(first + 1 + (nextEviction_++ % (kFrontProbes - 1))) % kFrontSlots];
        target->text = text;
        target->parsed = parsed;
    }

    // The kept parse of `text`, made the most recently used; null when none.
    std::shared_ptr<ParsedCommand> find(const QString &text)
    {
        const auto at = index_.constFind(text);
        if (at == index_.constEnd())
            return nullptr;
        order_.splice(order_.begin(), order_, at.value());
        return at.value()->parsed;
    }

    // True when a text of this hash was parsed before and is to be kept now.
    bool seenBefore(size_t hash) const { return hash != 0 && seen_[hash % seen_.size()] == hash; }
    void markSeen(size_t hash) { seen_[hash % seen_.size()] = hash; }

    void keep(const QString &text, std::shared_ptr<ParsedCommand> parsed)
    {
        order_.push_front(KeptParse{text, std::move(parsed)});
        index_.insert(text, order_.begin());
        if (order_.size() > std::size_t(kParseCacheEntries)) {
            index_.remove(order_.back().text);
            order_.pop_back();
        }
    }

    void clear()
    {
        index_.clear();
        order_.clear();
        seen_.fill(0);
        front_.fill(FrontSlot());
    }
    int size() const { return static_cast<int>(order_.size()); }

  private:
    struct FrontSlot {
        QString text; ///< shares the caller's characters, so they stay where they are
        std::shared_ptr<ParsedCommand> parsed;
    };
    static size_t frontSlot(const QString &text)
    {
        const auto address = reinterpret_cast<quintptr>(text.constData());
        return ((address >> 4) ^ (address >> 10) ^ static_cast<quintptr>(text.size())) % kFrontSlots;
    }
    static constexpr size_t kFrontSlots = 128;
    static constexpr size_t kFrontProbes = 4;
    size_t nextEviction_ = 0;

    std::array<FrontSlot, kFrontSlots> front_{};
    std::list<KeptParse> order_;
    QHash<QString, std::list<KeptParse>::iterator> index_;
    std::array<size_t, 1024> seen_{};
};

ParseCache &threadCache()
{
    thread_local ParseCache cache;
    return cache;
}

void freeKept(ParsedCommand *parsed)
{
    freeParsedCommand(parsed);
}

} // namespace

CommandParse::~CommandParse()
{
    if (local_) {
        clearParsedCommand(local_);
        local_->~ParsedCommand();
    }
}

ParsedCommand &CommandParse::local()
{
    if (!local_)
        local_ = new (localRoom_) ParsedCommand;
    current_ = local_;
    return *local_;
}

const QString &CommandParse::failureDetail() const
{
    static const QString none;
    return local_ ? local_->failureDetail : none;
}

HRESULT CommandParse::parse(const QString &command)
{
    if (local_)
        clearParsedCommand(local_);
    kept_.reset();
    current_ = nullptr;
    if (command.isEmpty())
        return parseCommandInto(command, &local());
    ParseCache &cache = threadCache();
    if (const std::shared_ptr<ParsedCommand> *found = cache.findByAddress(command)) {
        kept_ = *found;
        current_ = kept_.get();
        return S_OK;
    }
    // A text not seen before (a row's cell) is parsed at once, without a
    // look in the kept parses: a kept text was seen, and should its mark have
    // been overwritten since, it is only parsed afresh once.
    const size_t hash = qHash(command);
    const bool seen = cache.seenBefore(hash);
    if (std::shared_ptr<ParsedCommand> found = seen ? cache.find(command) : nullptr) {
        cache.rememberAddress(command, found);
        kept_ = std::move(found);
        current_ = kept_.get();
        return S_OK;
    }
    if (!seen) {
        ParsedCommand &fresh = local();
        const HRESULT hr = parseCommandInto(command, &fresh);
        if (SUCCEEDED(hr) && fresh.fromTextAlone)
            cache.markSeen(hash);
        return hr;
    }
    ParsedCommand *fresh = new (std::nothrow) ParsedCommand;
    if (!fresh)
        return parseCommandInto(command, &local());
    const HRESULT hr = parseCommandInto(command, fresh);
    if (FAILED(hr)) {
        // Errors are never kept; the record says why, as a fresh parse does.
        local().failureDetail = fresh->failureDetail;
        delete fresh;
        return hr;
    }
    kept_ = std::shared_ptr<ParsedCommand>(fresh, freeKept);
    current_ = fresh;
    if (fresh->fromTextAlone)
        cache.keep(command, kept_);
    return S_OK;
}

void clearParseCache()
{
    threadCache().clear();
}

int parseCacheSize()
{
    return threadCache().size();
}

} // namespace orvane
