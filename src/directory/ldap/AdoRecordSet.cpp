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
    if (!name)
        return DISPID_UNKNOWN;
    for (const auto &[text, id] : known) {
        // Compared unit by unit up to the NUL: no length is measured first.
        const char16_t *a = name;
        const char16_t *b = text;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b)
            return id;
    }
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

// One column of the record set; reads the current record at each read.
class AdoField : public PathReadingObject, public IPathReadJoined
{
  public:
    AdoField(std::shared_ptr<RecordSetData> data, int column)
        : PathReadingObject(table()), data_(std::move(data)), column_(column)
    {
    }
    HRESULT QueryInterface(REFIID iid, void **object) override { return DispatchObject::QueryInterface(iid, object); }
    ULONG AddRef() override { return DispatchObject::AddRef(); }
    ULONG Release() override { return DispatchObject::Release(); }

    // "value" of a multi-valued text field joined straight from the record's
    // bytes; everything else declines, as ReadPath does.
    HRESULT ReadPathJoined(const PathMember *path, UINT count, QStringView delimiter, QString *joined) override
    {
        if (count != 1 || !data_->open || data_->position < 0 || data_->position >= data_->recordCount())
            return S_FALSE;
        DISPID id = exactMember(path[0].name, {{u"value", DISPID_VALUE}, {u"Value", DISPID_VALUE}});
        if (id == DISPID_UNKNOWN || path[0].params.cArgs != 0)
            id = pathMemberId(table(), path[0], 0);
        return id == DISPID_VALUE && data_->joinedTexts(column_, delimiter, joined) ? S_OK : S_FALSE;
    }

    // "value" in one call, as the join of a multi-valued field reads it; off
    // a record or closed it declines, and Invoke reports why.
    HRESULT ReadPath(const PathMember *path, UINT count, bool, VARIANT *result) override
    {
        if (count != 1 || !data_->open || data_->position < 0 || data_->position >= data_->recordCount())
            return S_FALSE;
        DISPID id = exactMember(path[0].name, {{u"value", DISPID_VALUE}, {u"Value", DISPID_VALUE}});
        if (id == DISPID_UNKNOWN || path[0].params.cArgs != 0)
            id = pathMemberId(table(), path[0], 0);
        if (id != DISPID_VALUE)
            return S_FALSE;
        if (data_->value(column_, result) != S_OK) {
            VariantClear(result);
            return S_FALSE;
        }
        return S_OK;
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

  protected:
    IUnknown *queryOtherInterface(REFIID iid) override
    {
        if (iid == IID_IPathReadJoined)
            return static_cast<IPathReadJoined *>(this);
        return PathReadingObject::queryOtherInterface(iid);
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
        (call.dispid() == MovePrevious && data_->position < 0) || (to >= 0 && to < data_->firstKept()))
        return raiseAdo(call, AdoError::NoCurrentRecord);
    data_->position = count == 0 ? 0 : to;
    data_->releasePassed();
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

IUnknown *AdoRecordSet::queryOtherInterface(REFIID iid)
{
    if (iid == IID_IPathReadText)
        return static_cast<IPathReadText *>(this);
    if (iid == IID_IRecordColumns)
        return static_cast<IRecordColumns *>(this);
    return PathReadingObject::queryOtherInterface(iid);
}

bool AdoRecordSet::onRecord() const
{
    return data_ && data_->open && data_->position >= 0 && data_->position < data_->recordCount();
}

bool AdoRecordSet::knownColumn(int column) const
{
    return column >= 0 && size_t(column) < data_->columns().size();
}

// True when `member` is the field's Value, as the field object would take it.
bool AdoRecordSet::readsValue(const PathMember &member) const
{
    DISPID id = exactMember(member.name, {{u"Value", DISPID_VALUE}, {u"value", DISPID_VALUE}});
    if (id == DISPID_UNKNOWN || member.params.cArgs != 0)
        id = pathMemberId(AdoField::table(), member, 0);
    return id == DISPID_VALUE;
}

int AdoRecordSet::valueColumn(const PathMember *path, UINT count) const
{
    if (!data_ || !data_->open || count != 2)
        return -1;
    const int column = namedColumn(path[0]);
    if (column < 0 || !readsValue(path[1]) || !onRecord())
        return -1;
    return column;
}

HRESULT AdoRecordSet::ReadPathText(const PathMember *path, UINT count, QString *text)
{
    const int column = valueColumn(path, count);
    return column >= 0 && data_->text(column, text) ? S_OK : S_FALSE;
}

HRESULT AdoRecordSet::ColumnOfPath(const PathMember *path, UINT count, int *column)
{
    if (!data_ || count < 1 || count > 2)
        return S_FALSE;
    const int named = namedColumn(path[0]);
    if (named < 0 || (count == 2 && !readsValue(path[1])))
        return S_FALSE;
    *column = named;
    return S_OK;
}

HRESULT AdoRecordSet::ColumnText(int column, QString *text)
{
    return onRecord() && knownColumn(column) && data_->text(column, text) ? S_OK : S_FALSE;
}

HRESULT AdoRecordSet::ColumnIsNull(int column)
{
    return onRecord() && knownColumn(column) && data_->isNull(column) ? S_OK : S_FALSE;
}

HRESULT AdoRecordSet::ColumnJoined(int column, QStringView delimiter, QString *joined)
{
    return onRecord() && knownColumn(column) && data_->joinedTexts(column, delimiter, joined) ? S_OK : S_FALSE;
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
