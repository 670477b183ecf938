#pragma once
// The catalogue values of one listed user, read like a map from attribute
// name to value text but kept packed: the texts of one entry lie back to back
// in one implicitly shared buffer behind their end offsets, and the attribute
// names are a table shared by every entry of one search. A Find of hundreds of
// thousands of users then costs each user its texts and four bytes a value
// (one allocation), where a map costs a node and a string per value; copying
// an entry to another thread only counts a reference.
//
// Names are matched exactly (case-sensitive), as the map did. Iteration goes
// in the order the names were given (the catalogue's order for a search).

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

namespace orvane
{

/// The attribute names of a set of entries and where each name's value lies.
class ObjectValueNames
{
  public:
    explicit ObjectValueNames(QStringList names);
    /// The slot of `name`, or -1 when it is not one of the names.
    int indexOf(const QString &name) const { return index_.value(name, -1); }
    const QString &name(int slot) const { return names_[slot]; }
    int size() const { return int(names_.size()); }
    const QStringList &names() const { return names_; }

  private:
    QStringList names_;
    QHash<QString, int> index_;
};

class ObjectValues
{
  public:
    ObjectValues() = default;

    /// The value of `attribute`, or `fallback` when the entry has no such attribute.
    QString value(const QString &attribute, const QString &fallback = QString()) const;
    /// The value of `attribute` without a copy; empty when absent. Valid while this entry is unchanged.
    QStringView view(const QString &attribute) const;
    /// True when the entry has a value (perhaps empty) for `attribute`.
    bool contains(const QString &attribute) const;
    /// The number of attributes the entry has.
    qsizetype size() const { return names_ ? names_->size() : 0; }
    bool isEmpty() const { return size() == 0; }
    /// Sets `attribute` to `value`, adding the attribute when the entry lacks it.
    void insert(const QString &attribute, QStringView value);
    /// Removes every attribute.
    void clear();

    class const_iterator
    {
      public:
        const_iterator(const ObjectValues *values, int slot) : values_(values), slot_(slot) {}
        const QString &key() const { return values_->names_->name(slot_); }
        QString value() const { return values_->slotView(slot_).toString(); }
        QString operator*() const { return value(); }
        const_iterator &operator++()
        {
            ++slot_;
            return *this;
        }
        bool operator==(const const_iterator &o) const { return slot_ == o.slot_; }
        bool operator!=(const const_iterator &o) const { return slot_ != o.slot_; }

      private:
        const ObjectValues *values_;
        int slot_;
    };
    /// The attributes in the order of their names.
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, int(size())}; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    /// True when both have the same attributes with the same values, in whatever order.
    friend bool operator==(const ObjectValues &a, const ObjectValues &b);
    friend bool operator!=(const ObjectValues &a, const ObjectValues &b) { return !(a == b); }

    /// Packs the values of one entry after another, each given in the order of
    /// the shared names; the walk of a search keeps one for all its users.
    class Writer
    {
      public:
        explicit Writer(std::shared_ptr<const ObjectValueNames> names);
        /// The value of the next name.
        void append(QStringView text);
        /// The values appended since the last take (names without a value read as empty).
        ObjectValues take();

      private:
        std::shared_ptr<const ObjectValueNames> names_;
        std::vector<quint32> ends_;
        QString text_;
    };

  private:
    QStringView slotView(int slot) const;

    std::shared_ptr<const ObjectValueNames> names_;
    QByteArray data_; ///< one quint32 end offset (in UTF-16 units) per name, then the texts
};

} // namespace orvane
