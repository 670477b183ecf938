#include "store/Database.h"

#include <QVarLengthArray>
#include <sqlite3.h>

namespace orvane
{

QString sqlQuote(const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString sqlQuote(long long value)
{
    return QLatin1Char('\'') + QString::number(value) + QLatin1Char('\'');
}

Database::~Database()
{
    close();
}

bool Database::open(const QString &path, OpenMode mode)
{
    close();
    sqlite3 *db = nullptr;
    const QByteArray utf8 = path.toUtf8();
    const int flags = mode == ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(utf8.constData(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    db_ = db;
    readOnly_ = mode == ReadOnly;
    return true;
}

void Database::close()
{
    finishResult();
    for (sqlite3_stmt *statement : std::as_const(prepared_))
        sqlite3_finalize(statement);
    prepared_.clear();
    if (db_) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
    readOnly_ = false;
}

void Database::finishResult()
{
    if (result_) {
        sqlite3_finalize(result_);
        result_ = nullptr;
    }
    hasRow_ = false;
}

bool Database::execute(const QString &statement)
{
    finishResult();
    if (!db_) {
        ++failedWrites_;
        lastError_ = QStringLiteral("the settings file is not open");
        return false;
    }
    const QByteArray utf8 = statement.toUtf8();
    if (sqlite3_exec(db_, utf8.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    ++failedWrites_;
    lastError_ = QString::fromUtf8(sqlite3_errmsg(db_));
    return false;
}

void Database::countFailure(const QString &text)
{
    ++failedWrites_;
    lastError_ = text;
}

sqlite3_stmt *Database::prepared(const QString &statement)
{
    if (sqlite3_stmt *found = prepared_.value(statement))
        return found;
    const QByteArray utf8 = statement.toUtf8();
    sqlite3_stmt *made = nullptr;
    if (sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &made, nullptr) != SQLITE_OK) {
        sqlite3_finalize(made);
        return nullptr;
    }
    prepared_.insert(statement, made);
    return made;
}

bool Database::executeBound(const QString &statement, const SqlValue *values, qsizetype count)
{
    finishResult();
    if (!db_) {
        countFailure(QStringLiteral("the settings file is not open"));
        return false;
    }
    sqlite3_stmt *s = prepared(statement);
    if (!s) {
        countFailure(QString::fromUtf8(sqlite3_errmsg(db_)));
        return false;
    }
    // The texts' UTF-8 stays here until the run ends, so SQLite need not copy it.
    QVarLengthArray<QByteArray, 16> texts;
    texts.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const int index = int(i) + 1;
        if (const auto *number = std::get_if<long long>(&values[i])) {
            sqlite3_bind_int64(s, index, *number);
        } else if (const auto *text = std::get_if<QString>(&values[i])) {
            texts.append(text->toUtf8());
            // An empty text binds as '' (a null pointer would bind NULL), as sqlQuote quotes it.
            const QByteArray &utf8 = texts.last();
            sqlite3_bind_text(s, index, utf8.isEmpty() ? "" : utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        } else {
            sqlite3_bind_null(s, index);
        }
    }
    int step = SQLITE_ROW;
    while (step == SQLITE_ROW)
        step = sqlite3_step(s);
    const bool ok = step == SQLITE_DONE;
    if (!ok)
        countFailure(QString::fromUtf8(sqlite3_errmsg(db_)));
    // Reset at once: a statement left mid-run would hold its lock; and no
    // binding may outlive the texts it points into.
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return ok;
}

bool Database::query(const QString &statement)
{
    finishResult();
    if (!db_)
        return false;
    const QByteArray utf8 = statement.toUtf8();
    if (sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &result_, nullptr) != SQLITE_OK) {
        finishResult();
        return false;
    }
    return true;
}

int Database::next_row()
{
    if (!result_)
        return 0;
    hasRow_ = sqlite3_step(result_) == SQLITE_ROW;
    if (!hasRow_)
        finishResult();
    return hasRow_ ? 1 : 0;
}

long long Database::get_long(int column) const
{
    if (!hasRow_ || column < 0 || column >= sqlite3_column_count(result_))
        return 0;
    return sqlite3_column_int64(result_, column);
}

QString Database::get_text(int column) const
{
    if (!hasRow_ || column < 0 || column >= sqlite3_column_count(result_))
        return QString();
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(result_, column));
    if (!text)
        return QString();
    return QString::fromUtf8(text, sqlite3_column_bytes(result_, column));
}

long long Database::lastInsertId()
{
    query(QStringLiteral("SELECT last_insert_rowid()"));
    next_row();
    const long long id = get_long(0);
    finishResult();
    return id;
}

QString Database::optionText(const QString &key)
{
    query(QStringLiteral("SELECT val FROM options WHERE fld = ") + sqlQuote(key));
    next_row();
    const QString value = get_text(0);
    finishResult();
    return value;
}

long long Database::optionLong(const QString &key)
{
    query(QStringLiteral("SELECT val FROM options WHERE fld = ") + sqlQuote(key));
    next_row();
    const long long value = get_long(0);
    finishResult();
    return value;
}

bool Database::setOption(const QString &key, const QString &value)
{
    if (!execute(QStringLiteral("UPDATE options SET val = ") + sqlQuote(value) +
                 QStringLiteral(" WHERE fld = ") + sqlQuote(key)))
        return false;
    if (sqlite3_changes(db_) > 0)
        return true;
    // A file that lacks the row would otherwise drop the value without a word.
    ++failedWrites_;
    lastError_ = QStringLiteral("the settings file has no option ") + key;
    return false;
}

} // namespace orvane
