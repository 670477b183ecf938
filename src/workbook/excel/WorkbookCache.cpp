#include "workbook/excel/WorkbookCache.h"

#include "workbook/engine/FileIdentity.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace orvane::WorkbookCache
{

namespace
{

constexpr size_t kCapacity = 8;

struct Kept {
    std::string path;
    FileIdentity stamp;
    std::unique_ptr<Workbook> book;
};

struct Cache {
    std::mutex mutex;
    std::list<Kept> kept; ///< most recently used first
    /// Paths that warm() is parsing or preparing; open() waits for them.
    std::unordered_set<std::string> warming;
    std::condition_variable warmed;
    /// How many copies of each path are lent out now.
    std::unordered_map<std::string, int> lent;
    /// Bumped by forget(); a lent workbook returns only if its path's count is unchanged.
    std::unordered_map<std::string, unsigned long long> generation;
    std::atomic<long long> parses{0};
};

Cache &cache()
{
    static Cache *instance = new Cache; // outlives workbooks released during exit
    return *instance;
}

unsigned long long generationOf(Cache &c, const std::string &path)
{
    auto it = c.generation.find(path);
    return it == c.generation.end() ? 0 : it->second;
}

// Keeps `book` unless a copy of `path` is kept already or forget() named the
// path since it was taken; the caller holds the lock and has checked the stamp.
void keepLocked(Cache &c, std::unique_ptr<Workbook> &book, const std::string &path, const FileIdentity &stamp,
                unsigned long long generation, std::unique_ptr<Workbook> *dropped)
{
    if (generationOf(c, path) != generation)
        return;
    for (const Kept &k : c.kept) {
        if (k.path == path)
            return; // another instance returned a copy first
    }
    c.kept.push_front({path, stamp, std::move(book)});
    if (c.kept.size() > kCapacity) {
        *dropped = std::move(c.kept.back().book);
        c.kept.pop_back();
    }
}

bool unchanged(const std::string &path, const FileIdentity &stamp)
{
    FileIdentity now;
    return fileIdentityOf(path, &now) && now == stamp;
}

// Gives a lent workbook back when it is still exactly the file's content.
void giveBack(Workbook *raw, const std::string &path, const FileIdentity &stamp,
              unsigned long long generation)
{
    std::unique_ptr<Workbook> book(raw);
    const bool keep = !book->activeSheet().isModified() && unchanged(path, stamp);
    Cache &c = cache();
    std::unique_ptr<Workbook> dropped;
    std::lock_guard<std::mutex> lock(c.mutex);
    if (--c.lent[path] <= 0)
        c.lent.erase(path);
    if (keep)
        keepLocked(c, book, path, stamp, generation, &dropped);
}

// The caller holds the lock.
std::shared_ptr<Workbook> lend(Cache &c, std::unique_ptr<Workbook> book, const std::string &path,
                               const FileIdentity &stamp, unsigned long long generation)
{
    ++c.lent[path];
    Workbook *raw = book.release();
    return std::shared_ptr<Workbook>(
        raw, [path, stamp, generation](Workbook *b) { giveBack(b, path, stamp, generation); });
}

// Takes the kept copy of `path` when its stamp is `stamp` (null: never) and
// moves an outdated one into `stale`, to be freed outside the lock; the
// caller holds the lock.
std::unique_ptr<Workbook> takeKept(Cache &c, const std::string &path, const FileIdentity *stamp,
                                   std::unique_ptr<Workbook> *stale)
{
    for (auto it = c.kept.begin(); it != c.kept.end(); ++it) {
        if (it->path != path)
            continue;
        std::unique_ptr<Workbook> book = std::move(it->book);
        const bool current = stamp && it->stamp == *stamp;
        c.kept.erase(it);
        if (current)
            return book;
        *stale = std::move(book);
        return nullptr;
    }
    return nullptr;
}

// Ends the "being parsed" mark of an open's parse however the parse ends
// (a throw included), and wakes whoever waits for the file.
class ParseMark
{
  public:
    ParseMark(Cache &cache, const std::string &path) : cache_(cache), path_(path) {}
    ~ParseMark()
    {
        {
            std::lock_guard<std::mutex> lock(cache_.mutex);
            cache_.warming.erase(path_);
        }
        cache_.warmed.notify_all();
    }
    ParseMark(const ParseMark &) = delete;
    ParseMark &operator=(const ParseMark &) = delete;

  private:
    Cache &cache_;
    const std::string &path_;
};

} // namespace

std::shared_ptr<Workbook> open(const std::string &path, WorkbookError *error)
{
    Cache &c = cache();
    FileIdentity stamp;
    const bool stamped = fileIdentityOf(path, &stamp);
    unsigned long long generation = 0;
    std::unique_ptr<Workbook> stale;
    {
        std::unique_lock<std::mutex> lock(c.mutex);
        // Parsing the file a second time beside warm() would only take longer.
        c.warmed.wait(lock, [&] { return !c.warming.contains(path); });
        generation = generationOf(c, path);
        std::unique_ptr<Workbook> book = takeKept(c, path, stamped ? &stamp : nullptr, &stale);
        if (book)
            return lend(c, std::move(book), path, stamp, generation);
        // Marked as being parsed, so that warm() leaves this file to us instead of parsing it beside us.
        c.warming.insert(path);
    }
    const ParseMark mark(c, path);
    // Stamped before parsing: a change during the parse makes the stamp old, never the content.
    ++c.parses;
    std::unique_ptr<Workbook> book = Workbook::open(path, error);
    if (!book)
        return nullptr;
    if (!stamped)
        return std::shared_ptr<Workbook>(std::move(book));
    std::lock_guard<std::mutex> lock(c.mutex);
    return lend(c, std::move(book), path, stamp, generation);
}

bool warm(const std::string &path, const std::function<void(Workbook &)> &prepare)
{
    Cache &c = cache();
    FileIdentity stamp;
    if (!fileIdentityOf(path, &stamp))
        return false;
    unsigned long long generation = 0;
    std::unique_ptr<Workbook> book, stale;
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        // A lent copy comes back by itself; one being warmed is as good as done.
        if (c.warming.contains(path) || c.lent.contains(path))
            return true;
        generation = generationOf(c, path);
        book = takeKept(c, path, &stamp, &stale);
        c.warming.insert(path);
    }
    if (!book) {
        ++c.parses;
        WorkbookError error;
        book = Workbook::open(path, &error);
    }
    const bool ok = book != nullptr;
    if (book)
        prepare(*book);
    const bool keep = book && !book->activeSheet().isModified() && unchanged(path, stamp);
    std::unique_ptr<Workbook> dropped;
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        c.warming.erase(path);
        if (keep)
            keepLocked(c, book, path, stamp, generation, &dropped);
    }
    c.warmed.notify_all();
    return ok;
}

bool needsParse(const std::string &path)
{
    Cache &c = cache();
    FileIdentity stamp;
    if (!fileIdentityOf(path, &stamp))
        return false; // the open reports the file; there is nothing to parse
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.warming.contains(path) || c.lent.contains(path))
        return false;
    for (const Kept &k : c.kept) {
        if (k.path == path)
            return k.stamp != stamp;
    }
    return true;
}

void forget(const std::string &path)
{
    Cache &c = cache();
    std::list<Kept> dropped;
    std::lock_guard<std::mutex> lock(c.mutex);
    ++c.generation[path];
    for (auto it = c.kept.begin(); it != c.kept.end();) {
        if (it->path == path)
            dropped.splice(dropped.end(), c.kept, it++);
        else
            ++it;
    }
}

void clear()
{
    Cache &c = cache();
    std::list<Kept> dropped;
    std::lock_guard<std::mutex> lock(c.mutex);
    dropped.swap(c.kept);
}

long long parseCount()
{
    return cache().parses.load();
}

} // namespace orvane::WorkbookCache
