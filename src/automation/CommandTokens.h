#pragma once
// The words of the command-string language: the tokenizer that reads a
// command in one pass into token positions within it (never copied out), the
// lower-cased form that keywords, modifiers and type names are matched in,
// and the readers of number and string literals. The parser builds members
// and arguments from these; engine-internal.
//
// Every command the program sends is read here, tens of thousands of times
// for one directory search, so nothing allocates in the common case.

#include "automation/CommandParser.h"
#include "automation/com/Variant.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <optional>

namespace orvane
{

enum class TokenKind : unsigned char { Word, Quoted, Open, Close, Comma, Equals };

/// One token: its place in the command. A quoted token includes its quotes.
struct Token {
    int start;
    int length;
    TokenKind kind;
};

/// True for "(", ")", "," and "=".
inline bool isPunctuation(const Token &t)
{
    return t.kind >= TokenKind::Open;
}

/// Where one member's tokens stand in its TokenTable; set when the tokenizer
/// reaches the member (the table leaves the others unset).
struct MemberTokens {
    int first; // index of the member's first token in the table
    int count;
    int openCount;
    int closeCount;
};

/// The tokens of one command, in the order read; up to 64 of them need no allocation.
class TokenTable
{
  public:
    TokenTable() = default;
    TokenTable(const TokenTable &) = delete;
    TokenTable &operator=(const TokenTable &) = delete;

    void push(const Token &t)
    {
        if (size_ == capacity_)
            grow();
        data_[size_++] = t;
    }
    int size() const { return size_; }
    const Token *data() const { return data_; }

    MemberTokens members[kMaxMembers];
    int memberCount = 0;

  private:
    void grow();

    static constexpr int kInline = 64;
    Token inline_[kInline];
    std::unique_ptr<Token[]> heap_;
    Token *data_ = inline_;
    int size_ = 0;
    int capacity_ = kInline;
};

/// Splits `command` into members and their tokens in `*table`; false on a
/// syntax error (an unclosed quote or parenthesis, a second "=", a misplaced
/// "\", more than kMaxMembers members). A member's tokens after the
/// kMaxTokens-th are not read.
bool tokenize(QStringView command, TokenTable *table);

/// A word lower-cased as QString::toLower does it, held when the result is
/// short ASCII text (every keyword, modifier and type name is); empty otherwise.
class LowerWord
{
  public:
    explicit LowerWord(QStringView word);
    /// True when the held word is `lower` (ASCII, lower case).
    bool operator==(const char *lower) const;

  private:
    char text_[24];
    int size_ = 0;
};

/// The tokens of one member within their command.
struct MemberText {
    QStringView command;
    const Token *tokens;
    int count;

    QStringView text(int k) const { return command.mid(tokens[k].start, tokens[k].length); }
    /// The token lower-cased when it is a word; nothing matches a quoted string or punctuation.
    LowerWord lower(int k) const
    {
        return LowerWord(k < count && tokens[k].kind == TokenKind::Word ? text(k) : QStringView());
    }
};

/// Reads a number literal: VT_R8 with a ".", else the smallest of VT_I1, VT_I2,
/// VT_I4, VT_I8 that holds it (0 is VT_I4). Nothing when `token` is no number.
std::optional<VARIANT> parseNumber(QStringView token);
/// True when `v` is an integer as parseNumber gives one (VT_I1, VT_I2, VT_I4, VT_I8).
bool isIntegerLiteral(const VARIANT &v);
/// The value of an integer literal (see isIntegerLiteral).
qint64 integerValue(const VARIANT &v);
/// Replaces each "$" + four hex digits by the character of their low byte; a
/// "$" not followed by four hex digits stays, except that the text ends at a
/// "$" whose hex digits run into the end.
QString decodeEscapes(QStringView text);

/// Token table of one command: per member its tokens and parenthesis counts.
struct TokenizedMember {
    QStringList tokens;
    int openCount = 0;
    int closeCount = 0;
};
/// Splits `command` into members and tokens as the parser does, copied out
/// for tests; the members, or an empty list on a syntax error.
QList<TokenizedMember> tokenizeCommand(const QString &command);

} // namespace orvane
