#pragma once
// The child-domain check of every user walk: a directory searched from its
// base DN also returns the objects of domains below it, which the program
// leaves out of its lists, plans and exports.

#include <QString>

#include <string>

namespace orvane
{

/// Tells objects of a domain below the base DN (a child domain) from objects
/// of the base domain, by the distinguished name.
class DomainExclusion
{
  public:
    /// Compiles the expression for `baseDn` (taken literally, any case).
    explicit DomainExclusion(const QString &baseDn);
    ~DomainExclusion();
    DomainExclusion(const DomainExclusion &) = delete;
    DomainExclusion &operator=(const DomainExclusion &) = delete;
    /// True when `distinguishedName` carries a domain component below the base DN.
    bool excludes(const QString &distinguishedName) const;

  private:
    bool matchesExpression(const QString &distinguishedName) const;

    void *code_ = nullptr;
    void *matchData_ = nullptr;
    /// "," + the base DN in lower case when the base is printable ASCII
    /// (the expression's literal tail); empty when every DN takes the expression.
    std::string asciiTail_;
    bool asciiBase_ = false;
};

} // namespace orvane
