#include "workbook/engine/SheetWriter.h"

#include "workbook/engine/Worksheet.h"
#include "workbook/engine/XmlReader.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <zlib.h>

// The save's second half: the rewritten sheet part deflated on worker
// threads as it is produced, the export's appended rows prepared while its
// writes go on, and the ZIP entry replaced from the deflated stretches.

namespace orvane
{

namespace
{

// The new part deflated ahead of zip_close, in stretches of 1 MB deflated on
// worker threads at once: on sheet XML deflating costs several times what
// producing it does. Each stretch is primed with the 32 KB before it and ends
// on a sync flush (the last one finishes the stream), so the stretches joined
// are one raw deflate stream that compresses as well as a single pass does.
// libzip copies it into the entry as it is, with the size and CRC given.
struct DeflatedPart {
    std::vector<std::string> pieces;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    uint32_t crc = 0;
};

constexpr size_t kDeflateStretch = 1 << 20;
constexpr size_t kWindow = 32 * 1024;
// The rows an export appends are deflated in shorter stretches and handed to
// their worker in small batches, so that it keeps pace with the walk from the
// first rows and the save waits only for the last few: at 10,000 users the
// save waited for the last megabyte's texts, about a seventh of the export.
constexpr size_t kAppendedStretch = 256 * 1024;
constexpr size_t kAppendedBatch = 128 * 1024;

// Level 1: on the sheet XML of a 100,000-user export (52 MB) zlib takes
// 0.18 s and keeps 15.0 % of it, against 0.70 s and 12.2 % at level 6
// (libzip's default); the save of a million rows is bound by this, while
// the file grows by a fifth and stays a plain deflated entry.
constexpr int kDeflateLevel = 1;

bool deflateStretch(const std::string &input, const std::string &dictionary, bool last, std::string *out)
{
    z_stream z{};
    // A raw stream with the largest window and the default memory, as libzip's own.
    if (deflateInit2(&z, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return false;
    }
    bool ok = dictionary.empty() ||
              deflateSetDictionary(&z, reinterpret_cast<const Bytef *>(dictionary.data()),
                                   static_cast<uInt>(dictionary.size())) == Z_OK;
    // Deflated into a buffer kept by the thread and copied out at its size: a
    // piece left at the worst-case capacity would hold eight times its bytes.
    thread_local std::string buffer;
    buffer.resize(deflateBound(&z, input.size()) + 64);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.data()));
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = reinterpret_cast<Bytef *>(buffer.data());
    z.avail_out = static_cast<uInt>(buffer.size());
    const int rc = ok ? ::deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH) : Z_STREAM_ERROR;
    ok = ok && (last ? rc == Z_STREAM_END : rc == Z_OK && z.avail_in == 0);
    out->assign(buffer.data(), z.total_out);
    deflateEnd(&z);
    return ok;
}

class StretchDeflater
{
  public:
    StretchDeflater()
    {
        const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
        for (unsigned i = 0; i < workers; ++i) {
            threads_.emplace_back([this] { work(); });
        }
        limit_ = 2 * workers + 1;
    }
    ~StretchDeflater()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        for (std::thread &t : threads_) {
            t.join();
        }
    }

    // Queues the next stretch, waiting while too many are still to be deflated.
    void add(std::string input, bool last)
    {
        part_.crc = static_cast<uint32_t>(
            crc32(part_.crc, reinterpret_cast<const Bytef *>(input.data()), static_cast<uInt>(input.size())));
        part_.size += input.size();
        std::string dictionary = previousTail_;
        previousTail_.assign(input, input.size() > kWindow ? input.size() - kWindow : 0);
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return pending_ < limit_; });
        part_.pieces.emplace_back();
        tasks_.push_back({part_.pieces.size() - 1, std::move(input), std::move(dictionary), last});
        ++pending_;
        wake_.notify_one();
    }

    // Puts `rows`, deflated already, after the stretches queued so far.
    void addDeflated(PreparedRows &&rows)
    {
        part_.crc = static_cast<uint32_t>(crc32_combine(part_.crc, rows.crc, static_cast<z_off_t>(rows.size)));
        part_.size += rows.size;
        if (rows.size > 0) {
            previousTail_ = std::move(rows.tail);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::string &piece : rows.pieces) {
            part_.pieces.push_back(std::move(piece));
        }
    }

    // Waits for every stretch; false when one could not be deflated.
    bool finish(DeflatedPart *part)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return pending_ == 0; });
        for (const std::string &piece : part_.pieces) {
            part_.compressedSize += piece.size();
        }
        *part = std::move(part_);
        return !failed_;
    }

  private:
    struct Task {
        size_t index;
        std::string input;
        std::string dictionary;
        bool last;
    };

    void work()
    {
        for (;;) {
            Task task;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
                if (tasks_.empty()) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            std::string out;
            const bool ok = deflateStretch(task.input, task.dictionary, task.last, &out);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                part_.pieces[task.index] = std::move(out);
                failed_ = failed_ || !ok;
                --pending_;
            }
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Task> tasks_;
    std::vector<std::thread> threads_;
    DeflatedPart part_;
    std::string previousTail_;
    size_t pending_ = 0;
    size_t limit_ = 1;
    bool closing_ = false;
    bool failed_ = false;
};

bool deflatePart(SheetRewriter &rewriter, PreparedRows *prepared, DeflatedPart *part)
{
    StretchDeflater deflater;
    std::string stretch, piece;
    bool more = rewriter.next(&piece);
    bool rowsAfter = rewriter.passedPrepared();
    while (more) {
        stretch += piece;
        if (rowsAfter && prepared) {
            // The head ends on a sync flush; the rows, deflated without
            // looking back, follow it; the tail looks back into them.
            deflater.add(std::move(stretch), false);
            stretch.clear();
            deflater.addDeflated(std::move(*prepared));
        }
        more = rewriter.next(&piece);
        rowsAfter = rewriter.passedPrepared();
        if (stretch.size() >= kDeflateStretch || !more) {
            deflater.add(std::move(stretch), !more);
            stretch.clear();
        }
    }
    // A failed rewrite ends early; what was deflated of it is thrown away.
    return deflater.finish(part) && !rewriter.failed();
}

} // namespace

AppendedRows::AppendedRows(std::string prefix, uint32_t firstRow)
    : cellXml_(std::move(prefix)), firstRow_(firstRow), thread_([this] { work(); })
{
}

AppendedRows::~AppendedRows()
{
    {
        // Rows nobody will save (the writes were dropped) are not deflated.
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        closing_ = true;
        dropping_ = true;
    }
    done_.notify_all();
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void AppendedRows::add(uint32_t row, uint32_t column, std::string_view text)
{
    const uint64_t key = (uint64_t(row) << 16) | column; // columns stop below 2^16
    if (!valid_ || row < firstRow_ || (writes_ > 0 && key <= lastKey_) || text.size() > UINT32_MAX / 2) {
        valid_ = false;
        return;
    }
    // Batches end between rows, so the worker always has whole rows.
    if (!batch_.cells.empty() && batch_.cells.back().row != row && batch_.texts.size() >= kAppendedBatch) {
        handOver();
    }
    batch_.cells.push_back({row, column, static_cast<uint32_t>(batch_.texts.size()),
                            static_cast<uint32_t>(text.size())});
    batch_.texts.append(text);
    lastKey_ = key;
    ++writes_;
    if (!text.empty()) {
        rows_.top = std::min(rows_.top, row);
        rows_.bottom = std::max(rows_.bottom, row);
        rows_.left = std::min(rows_.left, column);
        rows_.right = std::max(rows_.right, column);
    }
}

void AppendedRows::handOver()
{
    std::unique_lock<std::mutex> lock(mutex_);
    // A few batches ahead at most: the writes wait rather than pile up.
    done_.wait(lock, [this] { return queue_.size() < 4; });
    queue_.push_back(std::move(batch_));
    batch_ = Batch();
    wake_.notify_one();
}

void AppendedRows::work()
{
    for (;;) {
        Batch batch;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) {
                break;
            }
            batch = std::move(queue_.front());
            queue_.pop_front();
        }
        done_.notify_all();
        make(batch);
    }
    bool dropping = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropping = dropping_;
    }
    if (!stretch_.empty() && !dropping) {
        deflateStretch();
    }
}

void AppendedRows::make(const Batch &batch)
{
    for (size_t i = 0; i < batch.cells.size();) {
        const uint32_t row = batch.cells[i].row;
        const WrittenCellXml::RowMark mark = cellXml_.openRow(row, &stretch_);
        for (; i < batch.cells.size() && batch.cells[i].row == row; ++i) {
            const Cell &cell = batch.cells[i];
            cellXml_.appendCell(row, cell.column, std::string_view(batch.texts).substr(cell.offset, cell.length),
                                0, &stretch_);
        }
        cellXml_.closeRow(mark, &stretch_);
        if (stretch_.size() >= kAppendedStretch) {
            deflateStretch();
        }
    }
}

void AppendedRows::deflateStretch()
{
    // The first stretch looks back at nothing: what goes before it is only
    // known at the save.
    std::string piece;
    failed_ = failed_ || !orvane::deflateStretch(stretch_, rows_.tail, false, &piece);
    rows_.pieces.push_back(std::move(piece));
    rows_.crc = static_cast<uint32_t>(
        crc32(rows_.crc, reinterpret_cast<const Bytef *>(stretch_.data()), static_cast<uInt>(stretch_.size())));
    rows_.size += stretch_.size();
    rows_.tail.assign(stretch_, stretch_.size() > kWindow ? stretch_.size() - kWindow : 0);
    stretch_.clear();
}

bool AppendedRows::finish(PreparedRows *rows)
{
    handOver();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    thread_.join();
    *rows = std::move(rows_);
    rows_ = PreparedRows();
    return !failed_;
}

namespace
{

// What libzip reads the entry through: the deflated stretches, one after another.
struct PartSource {
    PartSource() { zip_error_init(&error); }
    ~PartSource() { zip_error_fini(&error); }
    DeflatedPart part;
    size_t piece = 0;
    size_t offset = 0;
    time_t mtime = std::time(nullptr);
    zip_error_t error;
};

zip_int64_t readPart(PartSource &source, void *data, zip_uint64_t length)
{
    zip_uint64_t copied = 0;
    char *to = static_cast<char *>(data);
    const std::vector<std::string> &pieces = source.part.pieces;
    while (copied < length && source.piece < pieces.size()) {
        const std::string &piece = pieces[source.piece];
        const size_t n = std::min<size_t>(length - copied, piece.size() - source.offset);
        std::memcpy(to + copied, piece.data() + source.offset, n);
        source.offset += n;
        copied += n;
        if (source.offset == piece.size()) {
            ++source.piece;
            source.offset = 0;
        }
    }
    return static_cast<zip_int64_t>(copied);
}

zip_int64_t partCallback(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    PartSource &source = *static_cast<PartSource *>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source.piece = 0;
        source.offset = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return readPart(source, data, length);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        zip_stat_t *st = static_cast<zip_stat_t *>(data);
        zip_stat_init(st);
        st->size = source.part.size;
        st->comp_size = source.part.compressedSize;
        st->crc = source.part.crc;
        st->comp_method = ZIP_CM_DEFLATE;
        st->mtime = source.mtime;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source.error, data, length);
    case ZIP_SOURCE_FREE:
        delete &source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&source.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

bool replaceSheetEntry(zip_t *archive, zip_int64_t index, const Worksheet &sheet, XmlSource *part,
                       bool *replacedFormula, std::string *detail, PreparedRows *prepared)
{
    std::unique_ptr<SheetRewriter> made = prepared ? std::make_unique<SheetRewriter>(sheet, part, *prepared)
                                                   : std::make_unique<SheetRewriter>(sheet, part);
    SheetRewriter &rewriter = *made;
    *replacedFormula = rewriter.replacedFormula();
    auto state = std::make_unique<PartSource>();
    if (!deflatePart(rewriter, prepared, &state->part)) {
        *detail = rewriter.failed() ? rewriter.failure() : "cannot compress the rewritten " + sheet.part()->name;
        return false;
    }
    zip_source_t *source = zip_source_function(archive, partCallback, state.get());
    if (!source) {
        *detail = std::string("cannot update the copy (") + zip_strerror(archive) + ")";
        return false;
    }
    state.release(); // the source frees it
    if (zip_file_replace(archive, static_cast<zip_uint64_t>(index), source, 0) != 0) {
        zip_source_free(source);
        *detail = std::string("cannot update the copy (") + zip_strerror(archive) + ")";
        return false;
    }
    return true;
}

} // namespace orvane
