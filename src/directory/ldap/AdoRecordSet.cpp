#include "directory/ldap/AdoRecordSet.h"

#include "automation/com/Bstr.h"
#include "directory/ldap/AdoErrors.h"
#include "directory/ldap/AttributeValues.h"

namespace orvane
{

namespace
{

// The identifier of `name` when it is written exactly as one of `known`;
// DISPID_UNKNOWN otherwise (the caller then asks the member table).
DISPID exactMember(LPOLESTR name, std::initializer_list<std::pair<const char16_t *, DISPID>> known)
{
    const QStringView n(name);
    for (const auto &[text, id] : known)
        if (n == QStringView(text))
            return id;
    return DISPID_UNKNOWN;
}

// The text of a name argument: a view of the BSTR when it is one (no copy),
// else converted into `converted`.
HRESULT nameArg(const DispatchCall &call, QString *converted, QStringView *out)
{
    const VARIANT *v = call.arg(0);
    if (v && v->vt == VT_BSTR) {
        *out = QStringView(v->bstrVal, static_cast<qsizetype>(SysStringLen(v->bstrVal)));
        return S_OK;
    }
    const HRESULT hr = call.stringArg(0, converted);
    *out = *converted;
    return hr;
}

// A single-valued text attribute as valueToVariant gives it, but ASCII text
// (nearly every value) goes into its BSTR without a QString in between.
HRESULT textToVariant(QByteArrayView utf8, VARIANT *out)
{
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return valueToVariant(utf8, ValueKind::Text, out);
    }
    VariantClear(out);
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(utf8.size()));
    if (!text)
        return E_OUTOFMEMORY;
    for (qsizetype i = 0; i < utf8.size(); ++i)
        text[i] = static_cast<OLECHAR>(utf8[i]);
    out->vt = VT_BSTR;
    out->bstrVal = text;
    return S_OK;
}

// One column of the record set; reads the current record at each read.
class AdoField : public DispatchObject
{
  public:
    AdoField(std::shared_ptr<RecordSetData> data, int column)
        : DispatchObject(table()), data_(std::move(data)), column_(column)
    {
    }

    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) override
    {
        if (count == 1 && names && names[0] && ids) {
            ids[0] = exactMember(names[0], {{u"Value", DISPID_VALUE}, {u"value", DISPID_VALUE}});
            if (ids[0] != DISPID_UNKNOWN)
                return S_OK;
        }
        return DispatchObject::GetIDsOfNames(iid, names, count, lcid, ids);
    }

  protected:
    HRESULT invoke(DispatchCall &call) override
    {
        switch (call.dispid()) {
        case DISPID_VALUE:
            if (call.isPropertyPut())
                return DISP_E_MEMBERNOTFOUND; // the provider's rows are read-only
            if (!data_->open)
                return raiseAdo(call, AdoError::ObjectClosed);
            if (data_->position < 0 || data_->position >= data_->recordCount())
                return raiseAdo(call, AdoError::NoCurrentRecord);
            if (!call.result())
                return S_OK;
            return data_->value(column_, call.result());
        case Name:
            if (call.isPropertyPut())
                return DISP_E_MEMBERNOTFOUND;
            return call.setResultString(data_->columns()[column_].name);
        }
        return DISP_E_MEMBERNOTFOUND;
    }

  public:
    enum : DISPID { Name = 1 };
    static const MemberTable &table()
    {
        static const MemberTable t{{"Value", DISPID_VALUE}, {"Name", Name}};
        return t;
    }

  private:
    std::shared_ptr<RecordSetData> data_;
    int column_;
};

// Fields without an argument: the collection, with Count and Item.
class AdoFields : public DispatchObject
{
  public:
    explicit AdoFields(std::shared_ptr<RecordSetData> data) : DispatchObject(table()), data_(std::move(data))
    {
    }

  protected:
    HRESULT invoke(DispatchCall &call) override
    {
        if (call.isPropertyPut())
            return DISP_E_MEMBERNOTFOUND;
        switch (call.dispid()) {
        case Count:
            return call.setResultInteger(static_cast<qint64>(data_->fieldCount()));
        case DISPID_VALUE: {
            qint64 ordinal = -1;
            QString name;
            if (call.arg(0) && (call.arg(0)->vt & VT_TYPEMASK) != VT_BSTR &&
                SUCCEEDED(call.integerArg(0, &ordinal))) {
                if (ordinal < 0 || ordinal >= static_cast<qint64>(data_->fieldCount()))
                    return raiseAdo(call, AdoError::ItemNotFound);
            } else {
                const HRESULT hr = call.stringArg(0, &name);
                if (FAILED(hr))
                    return hr == DISP_E_PARAMNOTFOUND ? DISP_E_BADPARAMCOUNT : hr;
                ordinal = data_->column(name);
                if (ordinal < 0)
                    return raiseAdo(call, AdoError::ItemNotFound);
            }
            auto field = ComPtr<AdoField>::attach(new AdoField(data_, static_cast<int>(ordinal)));
            return call.setResultDispatch(field.get());
        }
        }
        return DISP_E_MEMBERNOTFOUND;
    }

  private:
    enum : DISPID { Count = 1 };
    static const MemberTable &table()
    {
        static const MemberTable t{{"Item", DISPID_VALUE}, {"Count", Count}};
        return t;
    }
    std::shared_ptr<RecordSetData> data_;
};

} // namespace

void RecordSetData::defineColumns(const QStringList &attributes, const LdapSchema &schema,
                                  const QStringList &hidden)
{
    columns_.clear();
    columnIndex_.clear();
    storedIndex_.clear();
    askedIndex_.clear();
    returnedIndex_.clear();
    guidIndex_.clear();
    records_.clear();
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

bool RecordSetData::entryByGuid(QByteArrayView guid, const QSet<QString> &names, LdapEntry *out) const
{
    const int guidColumn = storedIndex_.value(QStringLiteral("objectguid"), -1);
    if (guidColumn < 0)
        return false;
    if (guidIndex_.empty()) {
        for (long r = 0; r < recordCount(); ++r) {
            for (const Value &v : records_[r].values) {
                if (v.column == guidColumn)
                    guidIndex_.emplace(std::string(records_[r].data.constData() + v.offset, v.length), r);
            }
        }
    }
    const auto it = guidIndex_.find(std::string(guid.data(), static_cast<size_t>(guid.size())));
    if (it == guidIndex_.end())
        return false;
    const Record &record = records_[it->second];
    out->dn = record.dn;
    out->attributes.clear();
    for (const Value &v : record.values) {
        const Column &column = columns_[v.column];
        if (!names.contains(column.lowerName))
            continue;
        if (out->attributes.empty() || out->attributes.back().name != column.name)
            out->attributes.push_back({column.name, {}});
        out->attributes.back().values.emplace_back(record.data.constData() + v.offset, v.length);
    }
    return true;
}

int RecordSetData::column(QStringView name) const
{
    const std::u16string_view key(name.utf16(), static_cast<size_t>(name.size()));
    const auto asked = askedIndex_.find(key);
    if (asked != askedIndex_.end())
        return asked->second;
    const int c = columnIndex_.value(name.toString().toLower(), -1);
    askedIndex_.emplace(std::u16string(key), c);
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

void RecordSetData::beginEntry(QByteArrayView dn)
{
    current_.dn = QString::fromUtf8(dn);
    current_.data.clear();
    current_.values.clear();
}

void RecordSetData::attribute(const AttributeView &attribute)
{
    const int c = columnOfReturned(attribute.name());
    if (c < 0)
        return;
    for (int i = 0; i < attribute.count(); ++i) {
        const QByteArrayView v = attribute.value(i);
        current_.values.push_back({c, static_cast<int>(current_.data.size()), static_cast<int>(v.size())});
        current_.data.append(v);
    }
}

void RecordSetData::endEntry()
{
    std::stable_sort(current_.values.begin(), current_.values.end(),
                     [](const Value &a, const Value &b) { return a.column < b.column; });
    records_.push_back(std::move(current_));
    current_ = Record();
}

HRESULT RecordSetData::value(int c, VARIANT *out) const
{
    const Column &col = columns_[c];
    const Record &record = records_[position];
    const auto first = std::lower_bound(record.values.begin(), record.values.end(), c,
                                        [](const Value &v, int column) { return v.column < column; });
    auto last = first;
    while (last != record.values.end() && last->column == c)
        ++last;
    if (first == last) {
        if (col.special == Special::DistinguishedName)
            return setVariantString(out, record.dn);
        if (col.special == Special::AdsPath)
            return setVariantString(out, pathPrefix + record.dn);
    }
    if (last - first == 1 && col.kind == ValueKind::Text && !col.multiValued)
        return textToVariant(QByteArrayView(record.data.constData() + first->offset, first->length), out);
    QByteArrayView one[1];
    std::vector<QByteArrayView> many;
    QByteArrayView *views = one;
    if (last - first > 1) {
        many.resize(last - first);
        views = many.data();
    }
    for (auto v = first; v != last; ++v)
        views[v - first] = QByteArrayView(record.data.constData() + v->offset, v->length);
    return valuesToVariant(views, static_cast<size_t>(last - first), col.kind, col.multiValued, out);
}

AdoRecordSet::AdoRecordSet() : PathReadingObject(table()) {}

AdoRecordSet::AdoRecordSet(std::shared_ptr<RecordSetData> data)
    : PathReadingObject(table()), data_(std::move(data))
{
    fields_.resize(data_->fieldCount());
}

HRESULT AdoRecordSet::GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids)
{
    if (count == 1 && names && names[0] && ids) {
        ids[0] = exactMember(names[0],
                             {{u"Fields", Fields}, {u"MoveNext", MoveNext}, {u"RecordCount", RecordCount}});
        if (ids[0] != DISPID_UNKNOWN)
            return S_OK;
    }
    return DispatchObject::GetIDsOfNames(iid, names, count, lcid, ids);
}

const MemberTable &AdoRecordSet::table()
{
    static const MemberTable t{{"RecordCount", RecordCount},
                               {"Fields", Fields},
                               {"EOF", Eof},
                               {"BOF", Bof},
                               {"MoveNext", MoveNext},
                               {"MovePrevious", MovePrevious},
                               {"MoveFirst", MoveFirst},
                               {"MoveLast", MoveLast},
                               {"Close", Close},
                               {"State", State}};
    return t;
}

HRESULT AdoRecordSet::invoke(DispatchCall &call)
{
    const bool open = data_ && data_->open;
    if (call.dispid() == State)
        return call.isPropertyPut() ? DISP_E_MEMBERNOTFOUND : call.setResultInteger(open ? 1 : 0);
    if (!open)
        return raiseAdo(call, AdoError::ObjectClosed);
    if (call.isPropertyPut())
        return DISP_E_MEMBERNOTFOUND;
    const long count = data_->recordCount();
    switch (call.dispid()) {
    case RecordCount:
        return call.setResultInteger(count);
    case Fields:
        return field(call);
    case Eof:
        return call.setResultBool(data_->position >= count);
    case Bof:
        return call.setResultBool(data_->position < 0 || count == 0);
    case MoveNext:
        return move(call, data_->position + 1);
    case MovePrevious:
        return move(call, data_->position - 1);
    case MoveFirst:
        return move(call, 0);
    case MoveLast:
        return move(call, count - 1);
    case Close:
        data_->open = false;
        fields_.clear();
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AdoRecordSet::move(DispatchCall &call, long to)
{
    const long count = data_->recordCount();
    // Stepping past EOF or before BOF is an error in ADO; landing on either is not.
    if (to > count || to < -1 || (call.dispid() == MoveNext && data_->position >= count) ||
        (call.dispid() == MovePrevious && data_->position < 0))
        return raiseAdo(call, AdoError::NoCurrentRecord);
    data_->position = count == 0 ? 0 : to;
    return S_OK;
}

// The column that `fields` ("Fields('name')") names, -1 when it is no such member.
int AdoRecordSet::namedColumn(const PathMember &fields) const
{
    if (fields.params.cArgs != 1 || fields.params.cNamedArgs != 0 || !fields.name)
        return -1;
    DISPID id = exactMember(fields.name, {{u"Fields", Fields}});
    if (id == DISPID_UNKNOWN)
        id = pathMemberId(table(), fields, 1);
    const VARIANT &name = fields.params.rgvarg[0];
    if (id != Fields || name.vt != VT_BSTR)
        return -1;
    return data_->column(QStringView(name.bstrVal, static_cast<qsizetype>(SysStringLen(name.bstrVal))));
}

IDispatch *AdoRecordSet::fieldObject(int column)
{
    if (!fields_[column])
        fields_[column] = ComPtr<IDispatch>::attach(new AdoField(data_, column));
    return fields_[column].get();
}

HRESULT AdoRecordSet::ReadPath(const PathMember *path, UINT count, bool valueOfObject, VARIANT *result)
{
    if (!data_ || !data_->open || count < 1 || count > 2)
        return S_FALSE;
    const int column = namedColumn(path[0]);
    if (column < 0)
        return S_FALSE;
    if (count == 1) {
        // The field itself; its default value is left to the field.
        if (valueOfObject)
            return S_FALSE;
        setVariantDispatch(result, fieldObject(column));
        return S_OK;
    }
    DISPID id = exactMember(path[1].name, {{u"Value", DISPID_VALUE}, {u"value", DISPID_VALUE}});
    if (id == DISPID_UNKNOWN || path[1].params.cArgs != 0)
        id = pathMemberId(AdoField::table(), path[1], 0);
    if (id != DISPID_VALUE || data_->position < 0 || data_->position >= data_->recordCount())
        return S_FALSE;
    const HRESULT hr = data_->value(column, result);
    if (hr != S_OK) {
        VariantClear(result);
        return S_FALSE;
    }
    return S_OK;
}

HRESULT AdoRecordSet::field(DispatchCall &call)
{
    if (call.argCount() == 0) {
        auto fields = ComPtr<AdoFields>::attach(new AdoFields(data_));
        return call.setResultDispatch(fields.get());
    }
    int column = -1;
    QString name;
    qint64 ordinal = 0;
    if ((call.arg(0)->vt & VT_TYPEMASK) != VT_BSTR && SUCCEEDED(call.integerArg(0, &ordinal))) {
        column = ordinal >= 0 && ordinal < static_cast<qint64>(data_->fieldCount())
                     ? static_cast<int>(ordinal)
                     : -1;
    } else {
        QStringView view;
        const HRESULT hr = nameArg(call, &name, &view);
        if (FAILED(hr))
            return hr;
        column = data_->column(view);
    }
    if (column < 0)
        return raiseAdo(call, AdoError::ItemNotFound);
    return call.setResultDispatch(fieldObject(column));
}

} // namespace orvane
