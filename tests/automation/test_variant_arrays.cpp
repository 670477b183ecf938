// Byte arrays and arrays of values: taking them apart and building them.

#include "automation/VariantArrays.h"
#include "automation/com/Bstr.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace orvane;

namespace
{

struct Value {
    VARIANT v;
    Value() { VariantInit(&v); }
    ~Value() { VariantClear(&v); }
};

QByteArray sixteenBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 16; ++i)
        bytes.append(static_cast<char>(0xF0 + i));
    return bytes;
}

// A VT_ARRAY|VT_UI1 value with lower bound `lower` holding `bytes`.
void makeByteArray(VARIANT *v, LONG lower, const QByteArray &bytes)
{
    SAFEARRAY *array = SafeArrayCreateVector(VT_UI1, lower, static_cast<ULONG>(bytes.size()));
    if (!bytes.isEmpty())
        std::memcpy(array->pvData, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    v->vt = VT_ARRAY | VT_UI1;
    v->parray = array;
}

} // namespace

TEST(VariantArrays, VariantToBytesTakesOnlyNonEmptyByteArrays)
{
    Value guid;
    makeByteArray(&guid.v, 0, sixteenBytes());
    EXPECT_EQ(variantToBytes(&guid.v), sixteenBytes());
    EXPECT_EQ(guid.v.vt, VT_ARRAY | VT_UI1) << "the VARIANT is not changed";

    Value text, empty, null, emptyArray, shorts;
    setVariantString(&text.v, QStringLiteral("bytes"));
    null.v.vt = VT_NULL;
    makeByteArray(&emptyArray.v, 0, QByteArray());
    shorts.v.vt = VT_ARRAY | VT_I2;
    shorts.v.parray = SafeArrayCreateVector(VT_I2, 0, 4);
    for (const VARIANT *v : {&text.v, &empty.v, &null.v, &emptyArray.v, &shorts.v})
        EXPECT_FALSE(variantToBytes(v).has_value()) << varTypeName(v->vt).toStdString();
    EXPECT_FALSE(variantToBytes(nullptr).has_value());
    Value nullArray;
    nullArray.v.vt = VT_ARRAY | VT_UI1;
    EXPECT_FALSE(variantToBytes(&nullArray.v).has_value());
}

TEST(VariantArrays, VariantToBytesKeepsEveryByteWhateverTheLowerBound)
{
    for (LONG lower : {1, 5, -3}) {
        Value v;
        makeByteArray(&v.v, lower, QByteArray("abcd"));
        EXPECT_EQ(variantToBytes(&v.v), QByteArray("abcd")) << lower;
    }
}

TEST(VariantArrays, BytesToVariant)
{
    Value v;
    setVariantInteger(&v.v, 7);
    EXPECT_FALSE(bytesToVariant(&v.v, "abc", 0));
    EXPECT_FALSE(bytesToVariant(&v.v, "abc", -1));
    EXPECT_FALSE(bytesToVariant(&v.v, nullptr, 3));
    EXPECT_FALSE(bytesToVariant(nullptr, "abc", 3));
    EXPECT_EQ(v.v.vt, VT_I4) << "left untouched";
    EXPECT_EQ(v.v.lVal, 7);

    setVariantString(&v.v, QStringLiteral("replaced")); // cleared, not leaked
    ASSERT_TRUE(bytesToVariant(&v.v, "hello", 5));
    EXPECT_EQ(v.v.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(SafeArrayGetDim(v.v.parray), 1u);
    EXPECT_EQ(arrayLowerBound(v.v.parray), 0);
    EXPECT_EQ(arrayUpperBound(v.v.parray), 4);
    EXPECT_EQ(variantToBytes(&v.v), QByteArray("hello"));
    ASSERT_TRUE(bytesToVariant(&v.v, sixteenBytes()));
    EXPECT_EQ(variantToBytes(&v.v), sixteenBytes());
}

TEST(VariantArrays, VariantArrayAndBounds)
{
    Value text;
    setVariantString(&text.v, QStringLiteral("one"));
    EXPECT_EQ(variantArray(&text.v), nullptr);
    EXPECT_EQ(variantArray(nullptr), nullptr);

    Value list;
    ASSERT_EQ(setVariantStringArray(&list.v, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}),
              S_OK);
    SAFEARRAY *array = variantArray(&list.v);
    ASSERT_EQ(array, list.v.parray);
    EXPECT_EQ(arrayLowerBound(array), 0);
    EXPECT_EQ(arrayUpperBound(array), 2);
    EXPECT_EQ(arrayLowerBound(nullptr), 0);
    EXPECT_EQ(arrayUpperBound(nullptr), 0);

    // Walking: element i sits at the data pointer plus (i - lower bound) * 16 bytes.
    const char *data = static_cast<const char *>(array->pvData);
    const QString expected[] = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    for (int i = arrayLowerBound(array); i <= arrayUpperBound(array); ++i) {
        const auto *element = reinterpret_cast<const VARIANT *>(data + (i - arrayLowerBound(array)) * 16);
        EXPECT_EQ(variantString(element), expected[i]);
    }
}

TEST(VariantArrays, TextsOfMixedArrays)
{
    Value mixed;
    SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 1, 4);
    auto *elements = static_cast<VARIANT *>(array->pvData);
    setVariantString(&elements[0], QStringLiteral("text"));
    setVariantInteger(&elements[1], -12);
    setVariantBool(&elements[2], true);
    setVariantNull(&elements[3]);
    mixed.v.vt = VT_ARRAY | VT_VARIANT;
    mixed.v.parray = array;
    EXPECT_EQ(variantArrayTexts(&mixed.v),
              (QStringList{QStringLiteral("text"), QStringLiteral("-12"), QStringLiteral("-1"), QString()}));
    EXPECT_EQ(variantString(&elements[0]), QStringLiteral("text")) << "the elements stay";

    Value strings;
    SAFEARRAY *bstrs = SafeArrayCreateVector(VT_BSTR, 0, 2);
    BSTR first = bstrFromQString(QStringLiteral("x"));
    LONG index = 0;
    SafeArrayPutElement(bstrs, &index, first);
    SysFreeString(first);
    strings.v.vt = VT_ARRAY | VT_BSTR;
    strings.v.parray = bstrs;
    EXPECT_EQ(variantArrayTexts(&strings.v), (QStringList{QStringLiteral("x"), QString()}));

    Value single;
    setVariantString(&single.v, QStringLiteral("one"));
    EXPECT_FALSE(variantArrayTexts(&single.v).has_value());
}
