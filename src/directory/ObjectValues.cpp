#include "directory/ObjectValues.h"

#include <cstring>

namespace orvane
{

ObjectValueNames::ObjectValueNames(QStringList names) : names_(std::move(names))
{
    index_.reserve(names_.size());
    // The first of a name given twice wins, as a map's single key would.
    for (int i = 0; i < names_.size(); ++i)
        if (!index_.contains(names_[i]))
            index_.insert(names_[i], i);
}

QStringView ObjectValues::slotView(int slot) const
{
    // The buffer begins with the end offsets; the texts follow, 2-byte aligned.
    const char *base = data_.constData();
    quint32 end = 0;
    quint32 begin = 0;
    std::memcpy(&end, base + sizeof(quint32) * size_t(slot), sizeof end);
    if (slot > 0)
        std::memcpy(&begin, base + sizeof(quint32) * size_t(slot - 1), sizeof begin);
    const auto *text = reinterpret_cast<const QChar *>(base + sizeof(quint32) * size_t(size()));
    return QStringView(text + begin, qsizetype(end - begin));
}

QString ObjectValues::value(const QString &attribute, const QString &fallback) const
{
    const int slot = names_ ? names_->indexOf(attribute) : -1;
    if (slot < 0)
        return fallback;
    const QStringView v = slotView(slot);
    return v.isEmpty() ? QString() : v.toString();
}

QStringView ObjectValues::view(const QString &attribute) const
{
    const int slot = names_ ? names_->indexOf(attribute) : -1;
    return slot < 0 ? QStringView() : slotView(slot);
}

bool ObjectValues::contains(const QString &attribute) const
{
    return names_ && names_->indexOf(attribute) >= 0;
}

void ObjectValues::insert(const QString &attribute, QStringView value)
{
    const int slot = names_ ? names_->indexOf(attribute) : -1;
    std::shared_ptr<const ObjectValueNames> names = names_;
    if (slot < 0) {
        QStringList grown = names_ ? names_->names() : QStringList();
        grown.append(attribute);
        names = std::make_shared<const ObjectValueNames>(std::move(grown));
    }
    // The value is copied before the buffer it may lie in is replaced.
    Writer writer(names);
    for (int i = 0; i < size(); ++i)
        writer.append(i == slot ? value : slotView(i));
    if (slot < 0)
        writer.append(value);
    *this = writer.take();
}

void ObjectValues::clear()
{
    names_.reset();
    data_.clear();
}

bool operator==(const ObjectValues &a, const ObjectValues &b)
{
    if (a.size() != b.size())
        return false;
    if (a.names_ == b.names_)
        return a.data_ == b.data_;
    for (int i = 0; i < a.size(); ++i) {
        const int slot = b.names_->indexOf(a.names_->name(i));
        if (slot < 0 || a.slotView(i) != b.slotView(slot))
            return false;
    }
    return true;
}

ObjectValues::Writer::Writer(std::shared_ptr<const ObjectValueNames> names) : names_(std::move(names))
{
    ends_.reserve(size_t(names_->size()));
}

void ObjectValues::Writer::append(QStringView text)
{
    text_.append(text);
    ends_.push_back(quint32(text_.size()));
}

ObjectValues ObjectValues::Writer::take()
{
    const size_t n = size_t(names_->size());
    ends_.resize(n, quint32(text_.size()));
    const size_t offsets = sizeof(quint32) * n;
    const size_t texts = sizeof(QChar) * size_t(text_.size());
    ObjectValues out;
    out.names_ = names_;
    out.data_ = QByteArray(qsizetype(offsets + texts), Qt::Uninitialized);
    char *data = out.data_.data();
    if (n > 0)
        std::memcpy(data, ends_.data(), offsets);
    if (texts > 0)
        std::memcpy(data + offsets, text_.constData(), texts);
    ends_.clear();
    text_.resize(0); // keeps its capacity for the next entry
    return out;
}

} // namespace orvane
