#pragma once
// The settings store's one SQLite connection. Statements are whole texts built
// by concatenation; every value a user may have typed goes in through sqlQuote,
// so that a quote inside it cannot end the literal, or, for a statement run
// many times (the journal's per-change rows), as a value bound to a parameter
// of a text prepared once per connection. One result is open at a
// time: a new query ends the previous one. A failed statement changes nothing
// and a failed query yields no rows; callers that change stored state learn of
// a failure from execute's flag or from failedWrites. Every connection waits
// kBusyTimeoutMs for another writer (a second window, a tool) before failing.

#include <QHash>
#include <QString>
#include <initializer_list>
#include <variant>

struct sqlite3;
struct sqlite3_stmt;

namespace orvane
{

/// Returns `value` as a single-quoted SQL literal with inner quotes doubled;
/// the only way a value is put into a statement.
QString sqlQuote(const QString &value);
/// Returns a number as a quoted decimal literal ('389').
QString sqlQuote(long long value);

/// A value bound to a statement parameter: NULL, an integer or a text. A
/// text binds as the text sqlQuote would have quoted, an integer as the number
/// a bare literal gives, so a column's affinity stores either as it stores the literal.
using SqlValue = std::variant<std::monostate, long long, QString>;

/// How long a statement waits for another connection's lock before it fails.
inline constexpr int kBusyTimeoutMs = 5000;

class Database
{
  public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    enum OpenMode { ReadWrite, ReadOnly };

    /// Opens the database file at `path` (which must exist) with the busy
    /// timeout set; true on success. Any earlier connection is closed first.
    /// A ReadOnly connection fails every statement that would change the file.
    bool open(const QString &path, OpenMode mode = ReadWrite);
    /// Ends the open result and closes the connection; harmless when closed.
    void close();
    bool isOpen() const { return db_ != nullptr; }
    /// True when the connection was opened ReadOnly.
    bool isReadOnly() const { return readOnly_; }

    /// Runs one statement that returns no rows; true on success. A failure is
    /// counted in failedWrites and its text kept in lastError.
    bool execute(const QString &statement);
    /// Runs `statement`, whose parameters (?) take `values` in order, as
    /// execute runs a statement: no rows, a failure counted. The text is
    /// prepared on its first run and kept until close, so that a statement run
    /// for every change is parsed once.
    bool executeBound(const QString &statement, std::initializer_list<SqlValue> values)
    {
        return executeBound(statement, values.begin(), qsizetype(values.size()));
    }
    /// executeBound of the `count` values at `values`.
    bool executeBound(const QString &statement, const SqlValue *values, qsizetype count);
    /// Returns how many statements run by execute have failed on this connection.
    long long failedWrites() const { return failedWrites_; }
    /// Returns SQLite's text for the last failed execute ("" when none failed).
    QString lastError() const { return lastError_; }
    /// Starts a result for `statement`, ending the previous one; false when the
    /// statement cannot be prepared (the result is then empty).
    bool query(const QString &statement);
    /// Steps to the next row of the open result: 1 while a row is available, 0 at the end.
    int next_row();
    /// Integer of column `column` (from 0) of the current row; 0 for NULL or no row.
    long long get_long(int column) const;
    /// Text of column `column` of the current row; "" for NULL or no row.
    QString get_text(int column) const;

    /// Runs "SELECT last_insert_rowid()" on this connection and returns it.
    long long lastInsertId();
    /// Reads one option as text ("" when missing).
    QString optionText(const QString &key);
    /// Reads one option as integer (0 when missing).
    long long optionLong(const QString &key);
    /// Writes one option: "UPDATE options SET val = '<value>' WHERE fld = '<key>'";
    /// false (and a counted failure) also when the file has no row for `key`.
    bool setOption(const QString &key, const QString &value);

  private:
    void finishResult();
    void countFailure(const QString &text);
    sqlite3_stmt *prepared(const QString &statement);


    sqlite3 *db_ = nullptr;
    sqlite3_stmt *result_ = nullptr;
    bool hasRow_ = false;
    bool readOnly_ = false;
    long long failedWrites_ = 0;
    QString lastError_;
    QHash<QString, sqlite3_stmt *> prepared_; ///< executeBound's statements by text
};

} // namespace orvane
