// Where a parsed command keeps its texts: short names and plain string
// arguments in the command's own room, longer ones allocated. Whatever the
// mix, every text reaches the server whole; and member names are found in any
// case, also where Unicode case folding maps a letter to an ASCII one.

#include "ParsedText.h"
#include "RecordingServer.h"
#include "automation/AutomationObject.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/PassedAddress.h"
#include "automation/com/Bstr.h"
#include "automation/com/ComPtr.h"

#include <gtest/gtest.h>

using namespace orvane;
using orvane::test::parseToText;

namespace
{

// `count` letters running through the alphabet from `first`.
QString letters(int count, char first)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QLatin1Char(static_cast<char>('a' + (first - 'a' + i) % 26));
    return text;
}

} // namespace

TEST(CommandStorage, TextsOfEveryLengthArriveWhole)
{
    orvane::test::registerRecordingServer();
    AutomationObject *obj = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(obj, nullptr);
    // Lengths around the room's size, alone and after other texts that fill it.
    for (const int length : {0, 1, 100, 120, 125, 126, 127, 128, 200, 251, 252, 253, 254, 300, 5000}) {
        const QString text = letters(length, 'a');
        const QString echo = QStringLiteral("Echo('") + text + QStringLiteral("')");
        EXPECT_EQ(getStringProperty(obj, echo), text) << length;
        EXPECT_EQ(lastErrorCode(), S_OK);
        const QString after = QStringLiteral("Self\\Self\\Echo('") + letters(90, 'k') + QStringLiteral("')");
        EXPECT_EQ(getStringProperty(obj, after), letters(90, 'k'));
        ASSERT_EQ(setProperty(obj, QStringLiteral("Properties('") + letters(60, 'p') +
                                       QStringLiteral("') = '") + text + QLatin1Char('\'')),
                  S_OK);
        EXPECT_EQ(
            getStringProperty(obj, QStringLiteral("Properties('") + letters(60, 'p') + QStringLiteral("')")),
            text)
            << length;
    }
    releaseObject(obj);
}

TEST(CommandStorage, ManyStringArgumentsSomeInTheRoomSomeAllocated)
{
    // Twenty arguments of 20 characters need more than the room holds. The
    // first argument is in slot 19, the last in slot 0.
    QStringList arguments;
    QStringList slotTexts;
    for (int i = 0; i < 20; ++i) {
        arguments.append(QLatin1Char('\'') + letters(20, static_cast<char>('a' + i)) + QLatin1Char('\''));
        slotTexts.append(QStringLiteral("%1:VT_BSTR ").arg(i) + letters(20, static_cast<char>('a' + 19 - i)));
    }
    EXPECT_EQ(parseToText(QStringLiteral("Take(") + arguments.join(QLatin1Char(',')) + QLatin1Char(')')),
              QStringLiteral("Take[") + slotTexts.join(QStringLiteral(", ")) + QLatin1Char(']'));
    // A failure after texts were placed frees them all (checked by the sanitizer build).
    EXPECT_EQ(parseToText(QStringLiteral("A('x', '") + letters(300, 'a') +
                          QStringLiteral("', 'y')\\B(1 as money)")),
              QStringLiteral("0x80070057"));
    EXPECT_EQ(
        parseToText(QStringLiteral("A('x', '") + letters(300, 'a') + QStringLiteral("', '12' as long, 'z')")),
        QStringLiteral("A[16:VT_BSTR z, 17:VT_I4 12, 18:VT_BSTR ") + letters(300, 'a') +
            QStringLiteral(", 19:VT_BSTR x]"));
}

TEST(CommandStorage, KeywordsFollowUnicodeLowerCasing)
{
    // "ſ" (long s) is already lower case, so "ſtring" is no type name; a
    // non-ASCII letter anywhere else leaves a word unknown too.
    EXPECT_EQ(parseToText(QString::fromUtf8("A(5 as ſtring)")), QStringLiteral("0x80070057"));
    EXPECT_EQ(parseToText(QString::fromUtf8("A(#trüe)")), QStringLiteral("0x80070057"));
    int variable = 0;
    const PassedAddress passed(&variable, VT_I4);
    EXPECT_EQ(parseToText(QStringLiteral("A(5 AS STRING, #OPTIONAL, ") + passed.text() +
                          QStringLiteral(" ByRef As Long)")),
              QStringLiteral("A[17:VT_BYREF|VT_I4 @") + passed.text() +
                  QStringLiteral(", 18:VT_ERROR 0x80020004, 19:VT_BSTR 5]"));
}

namespace
{

class Folded : public DispatchObject
{
  public:
    Folded() : DispatchObject(table()) {}

  protected:
    HRESULT invoke(DispatchCall &call) override { return call.setResultInteger(call.dispid()); }

  private:
    static const MemberTable &table()
    {
        static const MemberTable t{{QString::fromUtf8("ſize"), 1},
                                   {QString(QChar(0x212A)) + QStringLiteral("ind"), 2}, // Kelvin sign
                                   {QString::fromUtf8("Größe"), 3},
                                   {QStringLiteral("Value"), 4}};
        return t;
    }
};

} // namespace

TEST(CommandStorage, MemberNamesMatchByCaseFolding)
{
    auto folded = ComPtr<Folded>::attach(new Folded);
    struct Row {
        const char *name;
        DISPID id;
    };
    const Row rows[] = {
        {"SIZE", 1},
        {"size", 1},
        {"ſIZE", 1},
        {"KIND", 2},
        {"kind", 2},
        {"größe", 3},
        {"GRÖßE", 3},
        {"value", 4},
        {"VALUE", 4},
        {"Value", 4},
        {"valu", -1},
        {"", -1},
        {"values", -1},
        {"GRÖSSE", -1}, // simple case folding: "ß" is not "ss"
        {"ValueValueValueValueValueValueValueValueValueValueValueValueValueValue", -1},
    };
    for (const Row &row : rows) {
        const QString name = QString::fromUtf8(row.name);
        LPOLESTR text = const_cast<LPOLESTR>(oleString(name));
        DISPID id = 0;
        const HRESULT hr = folded->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id);
        EXPECT_EQ(id, row.id == -1 ? DISPID_UNKNOWN : row.id) << row.name;
        EXPECT_EQ(hr, row.id == -1 ? DISP_E_UNKNOWNNAME : S_OK) << row.name;
    }
}
