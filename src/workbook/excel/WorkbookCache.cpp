#include "workbook/excel/WorkbookCache.h"

#include <atomic>
#include <list>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

namespace orvane::WorkbookCache
{

namespace
{

constexpr size_t kCapacity = 8;

struct FileStamp {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long seconds = 0;
    long long nanoseconds = 0;
    bool operator==(const FileStamp &) const = default;
};

bool stampOf(const std::string &path, FileStamp *stamp)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    *stamp = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
              static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
              static_cast<long long>(st.st_mtim.tv_nsec)};
    return true;
}

struct Kept {
    std::string path;
    FileStamp stamp;
    std::unique_ptr<Workbook> book;
};

struct Cache {
    std::mutex mutex;
    std::list<Kept> kept; ///< most recently used first
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

// Gives a lent workbook back when it is still exactly the file's content.
void giveBack(Workbook *raw, const std::string &path, const FileStamp &stamp, unsigned long long generation)
{
    std::unique_ptr<Workbook> book(raw);
    if (book->activeSheet().isModified())
        return;
    FileStamp now;
    if (!stampOf(path, &now) || !(now == stamp))
        return;
    Cache &c = cache();
    std::unique_ptr<Workbook> dropped;
    std::lock_guard<std::mutex> lock(c.mutex);
    if (generationOf(c, path) != generation)
        return;
    for (const Kept &k : c.kept) {
        if (k.path == path)
            return; // another instance returned a copy first
    }
    c.kept.push_front({path, stamp, std::move(book)});
    if (c.kept.size() > kCapacity) {
        dropped = std::move(c.kept.back().book);
        c.kept.pop_back();
    }
}

std::shared_ptr<Workbook> lend(std::unique_ptr<Workbook> book, const std::string &path,
                               const FileStamp &stamp, unsigned long long generation)
{
    Workbook *raw = book.release();
    return std::shared_ptr<Workbook>(
        raw, [path, stamp, generation](Workbook *b) { giveBack(b, path, stamp, generation); });
}

} // namespace

std::shared_ptr<Workbook> open(const std::string &path, WorkbookError *error)
{
    Cache &c = cache();
    FileStamp stamp;
    const bool stamped = stampOf(path, &stamp);
    unsigned long long generation = 0;
    {
        std::unique_ptr<Workbook> stale;
        std::lock_guard<std::mutex> lock(c.mutex);
        generation = generationOf(c, path);
        for (auto it = c.kept.begin(); it != c.kept.end(); ++it) {
            if (it->path != path)
                continue;
            if (stamped && it->stamp == stamp) {
                std::unique_ptr<Workbook> book = std::move(it->book);
                c.kept.erase(it);
                return lend(std::move(book), path, stamp, generation);
            }
            stale = std::move(it->book);
            c.kept.erase(it);
            break;
        }
    }
    // Stamped before parsing: a change during the parse makes the stamp old, never the content.
    ++c.parses;
    std::unique_ptr<Workbook> book = Workbook::open(path, error);
    if (!book)
        return nullptr;
    if (!stamped)
        return std::shared_ptr<Workbook>(std::move(book));
    return lend(std::move(book), path, stamp, generation);
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
