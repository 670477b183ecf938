// The COM model under the command engine: BSTR, VARIANT copy/clear and
// conversions, SAFEARRAY, GUID text, the class registry and DispatchObject.

#include "automation/com/Bstr.h"
#include "automation/com/ClassRegistry.h"
#include "automation/com/ComPtr.h"
#include "automation/com/DispatchObject.h"
#include "automation/com/SafeArray.h"
#include "automation/com/SystemMessages.h"
#include "automation/com/VariantChangeType.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace orvane;

namespace
{

// A server with a default member "Value", a read-write "Name" and a method
// "Fail" that raises an exception.
class Cell : public DispatchObject
{
  public:
    explicit Cell(QString value) : DispatchObject(table()), value_(std::move(value)) {}

  protected:
    HRESULT invoke(DispatchCall &call) override
    {
        switch (call.dispid()) {
        case DISPID_VALUE:
            if (call.isPropertyPut())
                return call.putString(&value_);
            return call.setResultString(value_);
        case Fail:
            return call.raise(QStringLiteral("Cell refused."), E_FAIL, QStringLiteral("Cell"));
        }
        return DISP_E_MEMBERNOTFOUND;
    }

  private:
    enum : DISPID { Fail = 1 };
    static const MemberTable &table()
    {
        static const MemberTable t{{"Value", DISPID_VALUE}, {"Fail", Fail}};
        return t;
    }
    QString value_;
};

struct VariantHolder {
    VARIANT v;
    VariantHolder() { VariantInit(&v); }
    ~VariantHolder() { VariantClear(&v); }
};

HRESULT change(VARIANT *v, VARTYPE vt, USHORT flags = 0)
{
    return VariantChangeType(v, v, flags, vt);
}

} // namespace

TEST(ComModel, BstrKeepsLengthAndEmbeddedNul)
{
    const QString text = QString::fromUtf16(u"b\u0416\U0001F600");
    QString withNul = QStringLiteral("ab");
    withNul.insert(1, QChar(0));
    BSTR b = bstrFromQString(withNul);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(SysStringByteLen(b), 6u);
    EXPECT_EQ(b[3], 0);
    EXPECT_EQ(qStringFromBstr(b), withNul);
    SysFreeString(b);
    BSTR c = bstrFromQString(text);
    EXPECT_EQ(qStringFromBstr(c), text);
    SysFreeString(c);
    // A leading byte-order mark is a character like any other here.
    const QString marked = QString(QChar(0xFEFF)) + QStringLiteral("x");
    BSTR d = bstrFromQString(marked);
    EXPECT_EQ(qStringFromBstr(d), marked);
    EXPECT_EQ(qStringFromOleString(d), marked);
    SysFreeString(d);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(qStringFromBstr(nullptr), QString());
}

TEST(ComModel, VariantCopyOwnsItsData)
{
    VariantHolder a, b;
    setVariantString(&a.v, QStringLiteral("text"));
    ASSERT_EQ(VariantCopy(&b.v, &a.v), S_OK);
    EXPECT_NE(a.v.bstrVal, b.v.bstrVal);
    EXPECT_EQ(variantString(&b.v), QStringLiteral("text"));

    const long before = DispatchObject::liveCount();
    {
        auto cell = ComPtr<Cell>::attach(new Cell(QStringLiteral("x")));
        setVariantDispatch(&a.v, cell.get());
        ASSERT_EQ(VariantCopy(&b.v, &a.v), S_OK);
    }
    EXPECT_EQ(DispatchObject::liveCount(), before + 1);
    VariantClear(&a.v);
    VariantClear(&b.v);
    EXPECT_EQ(DispatchObject::liveCount(), before);
}

TEST(ComModel, ChangeTypeNumbersAndOverflow)
{
    struct Row {
        VARTYPE from;
        qint64 value;
        VARTYPE to;
        HRESULT hr;
        qint64 expected;
    };
    const Row rows[] = {
        {VT_I4, 100, VT_I1, S_OK, 100},
        {VT_I4, 128, VT_I1, DISP_E_OVERFLOW, 0},
        {VT_I4, -1, VT_UI1, DISP_E_OVERFLOW, 0},
        {VT_I4, 255, VT_UI1, S_OK, 255},
        {VT_I8, 1LL << 40, VT_I4, DISP_E_OVERFLOW, 0},
        {VT_I2, -5, VT_I8, S_OK, -5},
        {VT_I4, 70000, VT_I2, DISP_E_OVERFLOW, 0},
        {VT_I4, 65535, VT_UI2, S_OK, 65535},
    };
    for (const Row &row : rows) {
        VariantHolder h;
        h.v.vt = row.from;
        h.v.llVal = row.value;
        if (row.from == VT_I4)
            h.v.lVal = static_cast<LONG>(row.value);
        if (row.from == VT_I2)
            h.v.iVal = static_cast<SHORT>(row.value);
        EXPECT_EQ(change(&h.v, row.to), row.hr) << row.value;
        if (row.hr == S_OK) {
            EXPECT_EQ(h.v.vt, row.to);
            VariantHolder wide;
            ASSERT_EQ(VariantChangeType(&wide.v, &h.v, 0, VT_I8), S_OK);
            EXPECT_EQ(wide.v.llVal, row.expected);
        } else {
            EXPECT_EQ(h.v.vt, row.from) << "failed conversion leaves the value";
        }
    }
}

TEST(ComModel, ChangeTypeRealsRoundHalfToEven)
{
    const double inputs[] = {2.5, 3.5, -2.5, 1.4999};
    const LONG expected[] = {2, 4, -2, 1};
    for (int i = 0; i < 4; ++i) {
        VariantHolder h;
        setVariantDouble(&h.v, inputs[i]);
        ASSERT_EQ(change(&h.v, VT_I4), S_OK);
        EXPECT_EQ(h.v.lVal, expected[i]) << inputs[i];
    }
}

TEST(ComModel, ChangeTypeStringsAndBooleans)
{
    struct Row {
        const char *text;
        VARTYPE to;
        HRESULT hr;
        qint64 value;
    };
    const Row rows[] = {
        {"12", VT_I4, S_OK, 12},
        {" -7 ", VT_I2, S_OK, -7},
        {"1.5", VT_I4, S_OK, 2},
        {"abc", VT_I4, DISP_E_TYPEMISMATCH, 0},
        {"", VT_I4, DISP_E_TYPEMISMATCH, 0},
        {"300", VT_UI1, DISP_E_OVERFLOW, 0},
        {"&HFF", VT_I4, S_OK, 255},
        {"1e3", VT_I4, S_OK, 1000},
        {"True", VT_BOOL, S_OK, -1},
        {"false", VT_BOOL, S_OK, 0},
        {"2", VT_BOOL, S_OK, -1},
        {"maybe", VT_BOOL, DISP_E_TYPEMISMATCH, 0},
    };
    for (const Row &row : rows) {
        VariantHolder h;
        setVariantString(&h.v, QString::fromLatin1(row.text));
        EXPECT_EQ(change(&h.v, row.to), row.hr) << row.text;
        if (row.hr == S_OK) {
            VariantHolder wide;
            ASSERT_EQ(VariantChangeType(&wide.v, &h.v, 0, VT_I8), S_OK);
            EXPECT_EQ(wide.v.llVal, row.value) << row.text;
        }
    }
    VariantHolder b;
    setVariantBool(&b.v, true);
    VariantHolder text;
    ASSERT_EQ(VariantChangeType(&text.v, &b.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(variantString(&text.v), QStringLiteral("-1"));
    ASSERT_EQ(VariantChangeType(&text.v, &b.v, VARIANT_LOCALBOOL, VT_BSTR), S_OK);
    EXPECT_EQ(variantString(&text.v), QStringLiteral("True"));
    setVariantDouble(&b.v, 1.5);
    ASSERT_EQ(VariantChangeType(&text.v, &b.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(variantString(&text.v), QStringLiteral("1.5"));
    setVariantNull(&b.v);
    EXPECT_EQ(VariantChangeType(&text.v, &b.v, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    VariantInit(&b.v);
    ASSERT_EQ(VariantChangeType(&text.v, &b.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(variantString(&text.v), QString());
}

TEST(ComModel, ChangeTypeDatesRoundTripThroughText)
{
    VariantHolder h;
    setVariantString(&h.v, QStringLiteral("2024-02-29 13:45:10"));
    ASSERT_EQ(change(&h.v, VT_DATE), S_OK);
    EXPECT_EQ(h.v.vt, VT_DATE);
    ASSERT_EQ(change(&h.v, VT_BSTR), S_OK);
    EXPECT_EQ(variantString(&h.v), QStringLiteral("2024-02-29 13:45:10"));
    VariantClear(&h.v);
    h.v.vt = VT_DATE;
    h.v.date = 2.0;
    ASSERT_EQ(change(&h.v, VT_BSTR), S_OK);
    EXPECT_EQ(variantString(&h.v), QStringLiteral("1900-01-01"));
}

TEST(ComModel, DateTextRoundsToTheSecondForwardInTime)
{
    const struct {
        double date;
        const char *text;
    } cases[] = {
        {-1.25, "1899-12-29 06:00:00"},
        {-1.99999999, "1899-12-30"}, // 1899-12-29 23:59:59.9991 is next midnight
        {-0.99999999, "1899-12-31"},
        {-2.00000001, "1899-12-28"},
        {1.99999999, "1900-01-01"},
        {0.5, "12:00:00"},
    };
    for (const auto &c : cases) {
        VariantHolder h;
        h.v.vt = VT_DATE;
        h.v.date = c.date;
        ASSERT_EQ(change(&h.v, VT_BSTR), S_OK) << c.date;
        EXPECT_EQ(variantString(&h.v), QString::fromLatin1(c.text)) << c.date;
    }
}

TEST(ComModel, ChangeTypeFromDispatchReadsTheDefaultMember)
{
    auto cell = ComPtr<Cell>::attach(new Cell(QStringLiteral("42")));
    VariantHolder h;
    setVariantDispatch(&h.v, cell.get());
    VariantHolder text;
    ASSERT_EQ(VariantChangeType(&text.v, &h.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(variantString(&text.v), QStringLiteral("42"));
    ASSERT_EQ(change(&h.v, VT_I4), S_OK);
    EXPECT_EQ(h.v.lVal, 42);
    VariantHolder empty;
    empty.v.vt = VT_DISPATCH;
    EXPECT_EQ(VariantChangeType(&text.v, &empty.v, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    setVariantDispatch(&h.v, cell.get());
    EXPECT_EQ(VariantChangeType(&text.v, &h.v, VARIANT_NOVALUEPROP, VT_BSTR), DISP_E_TYPEMISMATCH);
}

TEST(ComModel, SafeArrayOwnsElements)
{
    SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, 3);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->cbElements, 16u);
    VariantHolder item;
    setVariantString(&item.v, QStringLiteral("one"));
    LONG index = 2;
    ASSERT_EQ(SafeArrayPutElement(array, &index, &item.v), S_OK);
    index = 3;
    EXPECT_EQ(SafeArrayPutElement(array, &index, &item.v), DISP_E_BADINDEX);
    LONG lb = -1, ub = -1;
    EXPECT_EQ(SafeArrayGetLBound(array, 1, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &ub), S_OK);
    EXPECT_EQ(lb, 0);
    EXPECT_EQ(ub, 2);
    EXPECT_EQ(SafeArrayGetUBound(array, 2, &ub), DISP_E_BADINDEX);
    EXPECT_EQ(variantString(static_cast<VARIANT *>(array->pvData) + 2), QStringLiteral("one"));
    ASSERT_EQ(SafeArrayLock(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayUnlock(array), S_OK);
    EXPECT_EQ(SafeArrayUnlock(array), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(ComModel, GuidTextUsesWindowsByteOrder)
{
    const std::uint8_t bytes[16] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                    0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    const GUID g = guidFromBytes(bytes);
    OLECHAR buffer[39];
    EXPECT_EQ(StringFromGUID2(g, buffer, 39), 39);
    EXPECT_EQ(qStringFromOleString(buffer), QStringLiteral("{00112233-4455-6677-8899-AABBCCDDEEFF}"));
    EXPECT_EQ(StringFromGUID2(g, buffer, 38), 0);
    CLSID parsed;
    ASSERT_EQ(CLSIDFromString(oleString(QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}")), &parsed),
              S_OK);
    EXPECT_EQ(parsed, g);
    std::uint8_t back[16];
    guidToBytes(parsed, back);
    EXPECT_EQ(std::memcmp(back, bytes, 16), 0);
    EXPECT_EQ(CLSIDFromString(oleString(QStringLiteral("00112233-4455-6677-8899-AABBCCDDEEFF")), &parsed),
              CO_E_CLASSSTRING);
}

TEST(ComModel, RegistryFindsClassesMonikersAndActiveObjects)
{
    const CLSID clsid{0x1234, 0x5678, 0x9ABC, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_EQ(registerClass(
                  QStringLiteral("Test.Cell"), clsid,
                  [](REFIID iid, void **out) {
                      return ComPtr<Cell>::attach(new Cell(QStringLiteral("new")))->QueryInterface(iid, out);
                  }),
              S_OK);
    CLSID found;
    ASSERT_EQ(CLSIDFromProgID(oleString(QStringLiteral("test.CELL")), &found), S_OK);
    EXPECT_EQ(found, clsid);
    EXPECT_EQ(CLSIDFromProgID(oleString(QStringLiteral("Test.None")), &found), CO_E_CLASSSTRING);
    LPOLESTR name = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(clsid, &name), S_OK);
    EXPECT_EQ(qStringFromOleString(name), QStringLiteral("Test.Cell"));
    CoTaskMemFree(name);
    EXPECT_EQ(ProgIDFromCLSID(CLSID{}, &name), REGDB_E_CLASSNOTREG);

    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put()), S_OK);
    EXPECT_TRUE(object);

    ASSERT_EQ(
        registerMoniker(QStringLiteral("CELL:"),
                        [](const QString &displayName, REFIID iid, void **out) {
                            return ComPtr<Cell>::attach(new Cell(displayName))->QueryInterface(iid, out);
                        }),
        S_OK);
    ComPtr<IDispatch> bound;
    ASSERT_EQ(CoGetObject(oleString(QStringLiteral("cell://x")), nullptr, IID_IDispatch, bound.put()), S_OK);
    EXPECT_EQ(CoGetObject(oleString(QStringLiteral("NOPE:")), nullptr, IID_IDispatch, bound.put()),
              MK_E_SYNTAX);

    ComPtr<IUnknown> running;
    EXPECT_EQ(GetActiveObject(clsid, nullptr, reinterpret_cast<IUnknown **>(running.put())),
              MK_E_UNAVAILABLE);
    DWORD token = 0;
    ASSERT_EQ(RegisterActiveObject(object.get(), clsid, ACTIVEOBJECT_STRONG, &token), S_OK);
    ASSERT_EQ(GetActiveObject(clsid, nullptr, reinterpret_cast<IUnknown **>(running.put())), S_OK);
    EXPECT_EQ(static_cast<void *>(running.get()), static_cast<void *>(object.get()));
    EXPECT_EQ(RevokeActiveObject(token, nullptr), S_OK);
    EXPECT_EQ(RevokeActiveObject(token, nullptr), E_INVALIDARG);
    EXPECT_EQ(unregisterClass(QStringLiteral("Test.Cell")), S_OK);
    EXPECT_EQ(unregisterMoniker(QStringLiteral("CELL:")), S_OK);
}

TEST(ComModel, DispatchObjectUnpacksCallsAndExceptions)
{
    auto cell = ComPtr<Cell>::attach(new Cell(QStringLiteral("v")));
    QString name = QStringLiteral("fAIL");
    LPOLESTR names[] = {const_cast<LPOLESTR>(oleString(name))};
    DISPID id = 0;
    ASSERT_EQ(cell->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 1);
    QString unknown = QStringLiteral("Nothing");
    names[0] = const_cast<LPOLESTR>(oleString(unknown));
    EXPECT_EQ(cell->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);

    DISPPARAMS none;
    EXCEPINFO excep;
    VariantHolder result;
    ASSERT_EQ(cell->Invoke(1, IID_NULL, 0x400, DISPATCH_METHOD, &none, &result.v, &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(qStringFromBstr(excep.bstrDescription), QStringLiteral("Cell refused."));
    EXPECT_EQ(qStringFromBstr(excep.bstrSource), QStringLiteral("Cell"));
    EXPECT_EQ(excep.scode, E_FAIL);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);

    VariantHolder value;
    setVariantString(&value.v, QStringLiteral("new"));
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS putParams{&value.v, &put, 1, 1};
    ASSERT_EQ(cell->Invoke(DISPID_VALUE, IID_NULL, 0x400, DISPATCH_PROPERTYPUT, &putParams, nullptr, nullptr,
                           nullptr),
              S_OK);
    ASSERT_EQ(
        cell->Invoke(DISPID_VALUE, IID_NULL, 0x400, DISPATCH_PROPERTYGET, &none, &result.v, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(variantString(&result.v), QStringLiteral("new"));
    EXPECT_EQ(cell->Invoke(DISPID_VALUE, IID_IDispatch, 0x400, DISPATCH_PROPERTYGET, &none, &result.v,
                           nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST(ComModel, SystemMessagesCoverFileAndDirectoryErrors)
{
    EXPECT_EQ(systemMessage(2), QStringLiteral("The system cannot find the file specified."));
    EXPECT_EQ(systemMessage(0x52E), QStringLiteral("The user name or password is incorrect."));
    EXPECT_EQ(systemMessage(0x2030), QStringLiteral("There is no such object on the server."));
    EXPECT_EQ(systemMessage(0xFFFF), QString());
}
