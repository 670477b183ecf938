#pragma once
// The texts by which the program names directory objects and searches:
//
//   ADsPath      "LDAP://host:port/dn", "LDAP://host/<GUID=...>", "LDAP:" (the
//                namespace itself), "LDAP://host" (the server's root);
//   query text   "<LDAP://host:port/base>;filter;attr1,attr2;subtree" (the
//                LDAP dialect of the ADO directory provider).
//
// Parsing is strict about structure and lenient about spacing and case, as
// ADSI is. Nothing here touches the network.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace orvane
{

inline constexpr int kLdapPort = 389;
inline constexpr int kLdapsPort = 636;

/// One parsed ADsPath.
struct DirectoryPath {
    QString host; ///< server name or address; empty for the bare namespace "LDAP:"
    int port = kLdapPort;
    QString dn; ///< object DN; empty for the server root or a GUID path
    bool byGuid = false;
    std::array<std::uint8_t, 16> guid{}; ///< objectGUID bytes (storage order) when byGuid
};

/// Search scopes with the values ADSI gives them (ADS_SCOPE_*).
enum class SearchScope { Base = 0, OneLevel = 1, Subtree = 2 };

/// One parsed query text.
struct QueryText {
    DirectoryPath path;
    QString filter;         ///< with its parentheses; "(objectClass=*)" when empty
    QStringList attributes; ///< as written, blanks trimmed; empty means all
    SearchScope scope = SearchScope::Subtree;
    bool scopeGiven = false; ///< the text named the scope (it then wins over any property)
};

/// Parses `text` as an ADsPath into `*path`; false (and `*path` untouched)
/// when it does not start with "LDAP:", has a bad port, or a malformed GUID.
/// Accepts "<GUID=...>" in the dashed registry form (with or without braces)
/// and as 32 hexadecimal digits in storage order, as ADSI does.
bool parseDirectoryPath(const QString &text, DirectoryPath *path);

/// Parses `text` as a query text into `*query`; false when it does not have
/// the form "<ADsPath>;filter;attributes[;scope]" or the scope is not base,
/// onelevel or subtree.
bool parseQueryText(const QString &text, QueryText *query);

/// The dashed registry form ("XXXXXXXX-XXXX-...") of GUID text, braces
/// optional, into storage-order bytes; false for anything else.
bool guidTextToBytes(const QString &text, std::array<std::uint8_t, 16> *bytes);

/// An LDAP filter assertion value matching exactly `bytes` ("\\0a\\ff...").
QString filterEscapeBytes(const std::uint8_t *bytes, int length);

} // namespace orvane
