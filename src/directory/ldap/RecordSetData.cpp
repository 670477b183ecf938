#include "directory/ldap/AdoRecordSet.h"

#include "automation/com/Bstr.h"
#include "directory/ldap/AttributeValues.h"

#include <algorithm>

// The search's records as the record set keeps them: columns defined from
// the asked and returned attribute names, each entry packed into 1 MB blocks
// as it arrives, decoded again for the record the walk stands on, and freed
// once the walk has left its block.

namespace orvane
{

namespace
{

// A single-valued text attribute as valueToVariant gives it, but ASCII text
// (nearly every value) goes into its BSTR without a QString in between.
HRESULT textToVariant(QByteArrayView utf8, VARIANT *out)
{
    VariantClear(out);
    BSTR text = bstrFromUtf8(utf8.data(), utf8.size());
    if (!text)
        return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = text;
    return S_OK;
}

} // namespace

void RecordSetData::defineColumns(const QStringList &attributes, const LdapSchema &schema,
                                  const QStringList &hidden)
{
    columns_.clear();
    columnIndex_.clear();
    storedIndex_.clear();
    askedIndex_.clear();
    askedByAddress_.fill(AskedSlot());
    returnedIndex_.clear();
    returnedSlots_.fill({std::string(), -1});
    guidIndex_.clear();
    records_.clear();
    blocks_.clear();
    released_ = 0;
    firstBlock_ = 0;
    decodedAt_ = -1;
    fieldCount_ = static_cast<int>(attributes.size());
    for (const QString &name : attributes + hidden) {
        Column c;
        c.name = name;
        c.lowerName = name.toLower();
        const bool field = static_cast<int>(columns_.size()) < fieldCount_;
        const auto index = [&](const QString &key) {
            if (field && !columnIndex_.contains(key))
                columnIndex_.insert(key, static_cast<int>(columns_.size()));
            if (!storedIndex_.contains(key))
                storedIndex_.insert(key, static_cast<int>(columns_.size()));
        };
        if (const AttributeInfo *info = schema.find(name)) {
            c.kind = info->kind;
            c.multiValued = !info->singleValued;
            index(info->name.toLower());
        }
        if (name.compare(QLatin1String("distinguishedName"), Qt::CaseInsensitive) == 0) {
            c.special = Special::DistinguishedName;
            c.kind = ValueKind::Text;
            c.multiValued = false;
        } else if (name.compare(QLatin1String("ADsPath"), Qt::CaseInsensitive) == 0) {
            c.special = Special::AdsPath;
        }
        index(name.toLower());
        columns_.push_back(c);
    }
}

bool RecordSetData::entryByGuid(QByteArrayView guid, const std::vector<int> &columns, LdapEntry *out) const
{
    const int guidColumn = storedIndex_.value(QStringLiteral("objectguid"), -1);
    if (guidColumn < 0)
        return false;
    const auto fill = [&](const Decoded &record) {
        out->dn = QString::fromUtf8(record.dn);
        out->attributes.clear();
        for (const Value &v : record.values) {
            if (std::find(columns.begin(), columns.end(), v.column) == columns.end())
                continue;
            const Column &column = columns_[v.column];
            if (out->attributes.empty() || out->attributes.back().name != column.name)
                out->attributes.push_back({column.name, {}});
            out->attributes.back().values.emplace_back(record.data + v.offset, v.length);
        }
        return true;
    };
    // A bind made while the walk stands on its object's record (each
    // account-state read of a Find) is answered from that record, without an
    // index of every record first: building one for a million users held up
    // the first listed row.
    if (position >= released_ && position < recordCount()) {
        const Decoded &current = currentRecord();
        for (const Value &v : current.values) {
            if (v.column == guidColumn && QByteArrayView(current.data + v.offset, v.length) == guid)
                return fill(current);
        }
    }
    Decoded record;
    if (guidIndex_.empty()) {
        for (long r = released_; r < recordCount(); ++r) {
            if (!decode(r, &record))
                continue;
            for (const Value &v : record.values) {
                if (v.column == guidColumn)
                    guidIndex_.emplace(std::string(record.data + v.offset, v.length), r);
            }
        }
    }
    const auto it = guidIndex_.find(std::string(guid.data(), static_cast<size_t>(guid.size())));
    // A record the walk has passed is freed: the bind then reads the directory.
    if (it == guidIndex_.end() || !decode(it->second, &record))
        return false;
    return fill(record);
}

int RecordSetData::column(QStringView name) const
{
    const std::u16string_view key(name.utf16(), static_cast<size_t>(name.size()));
    const auto address = reinterpret_cast<quintptr>(key.data());
    AskedSlot &slot = askedByAddress_[((address >> 3) ^ (address >> 9)) % askedByAddress_.size()];
    if (slot.at == key.data() && slot.text.size() == key.size() &&
        std::memcmp(slot.text.data(), key.data(), key.size() * sizeof(char16_t)) == 0)
        return slot.column;
    int c = -1;
    const auto asked = askedIndex_.find(key);
    if (asked != askedIndex_.end()) {
        c = asked->second;
    } else {
        c = columnIndex_.value(name.toString().toLower(), -1);
        askedIndex_.emplace(std::u16string(key), c);
    }
    slot.at = key.data();
    slot.text.assign(key);
    slot.column = c;
    return c;
}

int RecordSetData::columnOfReturned(QByteArrayView name)
{
    const std::string_view key(name.data(), static_cast<size_t>(name.size()));
    const auto it = returnedIndex_.find(key);
    if (it != returnedIndex_.end())
        return it->second;
    QString plain = QString::fromLatin1(name);
    const int semicolon = plain.indexOf(QLatin1Char(';')); // "thumbnailPhoto;binary"
    if (semicolon >= 0)
        plain.truncate(semicolon);
    const int c = storedIndex_.value(plain.toLower(), -1);
    returnedIndex_.emplace(std::string(key), c);
    return c;
}

namespace
{

constexpr size_t kBlockSize = size_t(1) << 20;

size_t varintSize(quint64 v)
{
    size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

char *putVarint(char *p, quint64 v)
{
    while (v >= 0x80) {
        *p++ = static_cast<char>((v & 0x7f) | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<char>(v);
    return p;
}

const char *getVarint(const char *p, quint64 *v)
{
    quint64 result = 0;
    int shift = 0;
    while (static_cast<unsigned char>(*p) & 0x80) {
        result |= quint64(static_cast<unsigned char>(*p++) & 0x7f) << shift;
        shift += 7;
    }
    *v = result | (quint64(static_cast<unsigned char>(*p++)) << shift);
    return p;
}

} // namespace

void RecordSetData::beginEntry(QByteArrayView dn)
{
    receivedDn_.assign(dn.data(), size_t(dn.size()));
    received_.clear();
    receivedValues_.clear();
}

void RecordSetData::attribute(const AttributeView &attribute)
{
    const std::string_view name(attribute.name().data(), size_t(attribute.name().size()));
    const size_t slot =
        name.empty() ? 0
                     : (name.size() + size_t(uchar(name.front())) * 3 + size_t(uchar(name[name.size() / 2])) * 5 +
                        size_t(uchar(name.back())) * 7) %
                           returnedSlots_.size();
    std::pair<std::string, int> &known = returnedSlots_[slot];
    if (known.first != name || known.first.empty()) {
        known.first.assign(name);
        known.second = columnOfReturned(attribute.name());
    }
    const int c = known.second;
    if (c < 0)
        return;
    for (int i = 0; i < attribute.count(); ++i) {
        const QByteArrayView v = attribute.value(i);
        receivedValues_.push_back({c, static_cast<int>(received_.size()), static_cast<int>(v.size())});
        received_.append(v.data(), size_t(v.size()));
    }
}

void RecordSetData::endEntry()
{
    // A stable counting sort by column: columns are few, and a comparison
    // sort of an entry's forty-odd values cost more than storing them.
    columnStarts_.assign(columns_.size() + 1, 0);
    for (const Value &v : receivedValues_)
        ++columnStarts_[size_t(v.column) + 1];
    for (size_t c = 1; c < columnStarts_.size(); ++c)
        columnStarts_[c] += columnStarts_[c - 1];
    sortedValues_.resize(receivedValues_.size());
    for (const Value &v : receivedValues_)
        sortedValues_[size_t(columnStarts_[size_t(v.column)]++)] = v;
    receivedValues_.swap(sortedValues_);
    // Layout: DN length, DN, value count, (column, length) per value, the values in column order.
    size_t size = varintSize(quint64(receivedDn_.size())) + size_t(receivedDn_.size()) +
                  varintSize(receivedValues_.size());
    for (const Value &v : receivedValues_)
        size += varintSize(quint64(v.column)) + varintSize(quint64(v.length)) + size_t(v.length);
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < size) {
        Block block;
        block.size = std::max(kBlockSize, size);
        block.bytes.reset(new char[block.size]);
        block.end = recordCount();
        blocks_.push_back(std::move(block));
    }
    Block &block = blocks_.back();
    char *p = block.bytes.get() + block.used;
    records_.push_back({static_cast<quint32>(blocks_.size() - 1), static_cast<quint32>(block.used)});
    p = putVarint(p, quint64(receivedDn_.size()));
    p = std::copy(receivedDn_.cbegin(), receivedDn_.cend(), p);
    p = putVarint(p, receivedValues_.size());
    for (const Value &v : receivedValues_) {
        p = putVarint(p, quint64(v.column));
        p = putVarint(p, quint64(v.length));
    }
    for (const Value &v : receivedValues_)
        p = std::copy_n(received_.data() + v.offset, v.length, p);
    block.used += size;
    block.end = recordCount();
}

bool RecordSetData::decode(long r, Decoded *out) const
{
    if (r < released_ || r >= recordCount())
        return false;
    const Location at = records_[r];
    const char *p = blocks_[at.block].bytes.get() + at.offset;
    quint64 n = 0;
    p = getVarint(p, &n);
    out->dn = QByteArrayView(p, qsizetype(n));
    p += n;
    p = getVarint(p, &n);
    out->values.resize(n);
    int offset = 0;
    for (Value &v : out->values) {
        quint64 column = 0;
        quint64 length = 0;
        p = getVarint(p, &column);
        p = getVarint(p, &length);
        v = {static_cast<int>(column), offset, static_cast<int>(length)};
        offset += v.length;
    }
    out->data = p;
    return true;
}

const RecordSetData::Decoded &RecordSetData::currentRecord() const
{
    if (decodedAt_ != position) {
        if (!decode(position, &decoded_))
            decoded_ = Decoded();
        decodedAt_ = position;
    }
    return decoded_;
}

void RecordSetData::releasePassed()
{
    while (firstBlock_ + 1 < blocks_.size() && blocks_[firstBlock_].end <= position) {
        released_ = blocks_[firstBlock_].end;
        blocks_[firstBlock_] = Block();
        ++firstBlock_;
    }
    if (decodedAt_ < released_)
        decodedAt_ = -1;
}

HRESULT RecordSetData::value(int c, VARIANT *out) const
{
    const Column &col = columns_[c];
    const Decoded &record = currentRecord();
    const auto first = std::lower_bound(record.values.begin(), record.values.end(), c,
                                        [](const Value &v, int column) { return v.column < column; });
    auto last = first;
    while (last != record.values.end() && last->column == c)
        ++last;
    if (first == last) {
        if (col.special == Special::DistinguishedName)
            return setVariantString(out, QString::fromUtf8(record.dn));
        if (col.special == Special::AdsPath)
            return setVariantString(out, pathPrefix + QString::fromUtf8(record.dn));
    }
    if (last - first == 1 && col.kind == ValueKind::Text && !col.multiValued)
        return textToVariant(QByteArrayView(record.data + first->offset, first->length), out);
    QByteArrayView one[1];
    std::vector<QByteArrayView> many;
    QByteArrayView *views = one;
    if (last - first > 1) {
        many.resize(last - first);
        views = many.data();
    }
    for (auto v = first; v != last; ++v)
        views[v - first] = QByteArrayView(record.data + v->offset, v->length);
    return valuesToVariant(views, static_cast<size_t>(last - first), col.kind, col.multiValued, out);
}

namespace
{

// Appends the UTF-8 `bytes` to `*out` as value() decodes them: ASCII is
// widened in the room `*out` already has, anything else goes through fromUtf8.
void appendUtf8(QString *out, const char *bytes, int length)
{
    const qsizetype at = out->size();
    out->resize(at + length);
    QChar *to = out->data() + at;
    unsigned char seen = 0;
    for (int i = 0; i < length; ++i) {
        seen |= static_cast<unsigned char>(bytes[i]);
        to[i] = QLatin1Char(bytes[i]);
    }
    if (seen >= 0x80) {
        out->resize(at);
        out->append(QString::fromUtf8(bytes, length));
    }
}

} // namespace

bool RecordSetData::text(int c, QString *out) const
{
    const Column &col = columns_[c];
    if (col.kind != ValueKind::Text || col.multiValued)
        return false;
    const Decoded &record = currentRecord();
    const auto first = std::lower_bound(record.values.begin(), record.values.end(), c,
                                        [](const Value &v, int column) { return v.column < column; });
    const bool none = first == record.values.end() || first->column != c;
    if (none) {
        // The names value() makes up for a record without the attribute.
        if (record.dn.isEmpty() || col.special == Special::None)
            return false;
        const QString dn = QString::fromUtf8(record.dn);
        *out = col.special == Special::AdsPath ? pathPrefix + dn : dn;
        return true;
    }
    const auto next = first + 1;
    if ((next != record.values.end() && next->column == c) || first->length == 0)
        return false;
    out->resize(0);
    appendUtf8(out, record.data + first->offset, first->length);
    return true;
}

bool RecordSetData::isNull(int c) const
{
    if (columns_[c].special != Special::None)
        return false;
    const Decoded &record = currentRecord();
    const auto first = std::lower_bound(record.values.begin(), record.values.end(), c,
                                        [](const Value &v, int column) { return v.column < column; });
    return first == record.values.end() || first->column != c;
}

bool RecordSetData::joinedTexts(int c, QStringView delimiter, QString *joined) const
{
    const Column &col = columns_[c];
    if (col.kind != ValueKind::Text || !col.multiValued || col.special != Special::None)
        return false;
    const Decoded &record = currentRecord();
    auto v = std::lower_bound(record.values.begin(), record.values.end(), c,
                              [](const Value &value, int column) { return value.column < column; });
    joined->resize(0);
    for (; v != record.values.end() && v->column == c; ++v) {
        appendUtf8(joined, record.data + v->offset, v->length);
        joined->append(delimiter);
    }
    while (!delimiter.isEmpty() && joined->endsWith(delimiter))
        joined->chop(delimiter.size());
    return true;
}

} // namespace orvane
