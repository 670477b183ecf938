#include "workbook/excel/WorkbookPrewarm.h"

#include "store/Database.h"
#include "workbook/excel/WorkbookCache.h"

#include <system_error>

namespace orvane
{

QList<PrewarmTarget> prewarmTargets(Database &db)
{
    // The lookup searches every lookup column; the Find's status check the primary key column.
    db.query(QStringLiteral(
        "SELECT excelfiles.filename, excelfiles_bind.fld_order FROM excelfiles, excelfiles_bind WHERE "
        "excelfiles.id = excelfiles_bind.file_id AND (excelfiles_bind.search_flag = '1' OR "
        "(excelfiles_bind.key_flag = '1' AND excelfiles.primary_flag = '1')) ORDER BY excelfiles.id"));
    QList<PrewarmTarget> targets;
    while (db.next_row()) {
        const QString path = db.get_text(0);
        const int column = int(db.get_long(1));
        if (targets.isEmpty() || targets.last().path != path)
            targets.append({path, {}});
        if (!targets.last().columns.contains(column))
            targets.last().columns.append(column);
    }
    return targets;
}

WorkbookPrewarm::~WorkbookPrewarm()
{
    cancel();
}

void WorkbookPrewarm::start(QList<PrewarmTarget> targets)
{
    std::unique_lock<std::mutex> lock(mutex_);
    queue_ = std::move(targets);
    cancel_ = false;
    if (busy_ || queue_.isEmpty())
        return;
    // A worker that found its queue empty has ended or is about to.
    if (thread_.joinable())
        thread_.join();
    busy_ = true;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        // No thread to be had: the first open parses as it always could.
        busy_ = false;
        queue_.clear();
    }
}

void WorkbookPrewarm::cancel()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        cancel_ = true;
    }
    if (thread_.joinable())
        thread_.join();
}

void WorkbookPrewarm::wait()
{
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !busy_; });
}

bool WorkbookPrewarm::cancelled()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return cancel_;
}

void WorkbookPrewarm::run()
{
    for (;;) {
        PrewarmTarget target;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.isEmpty() || cancel_) {
                busy_ = false;
                idle_.notify_all();
                return;
            }
            // From the last: an open that comes meanwhile goes from the first,
            // so the two meet halfway instead of the open waiting behind each parse.
            target = queue_.takeLast();
        }
        WorkbookCache::warm(target.path.toStdString(), [&](Workbook &book) {
            for (int column : target.columns) {
                if (cancelled())
                    return;
                // Any text builds the column's index; the answer is not needed.
                book.activeSheet().find(static_cast<uint32_t>(column), " ", 0);
            }
        });
    }
}

} // namespace orvane
