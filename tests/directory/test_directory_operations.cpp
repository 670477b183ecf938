// The directory operations' own logic, without a directory: filter and query
// texts, the child-domain exclusion, joining and splitting values, GUID
// texts, photo file checks and the messages' reasons.

#include "TestJpeg.h"
#include "TestSupport.h"
#include "automation/com/SafeArray.h"
#include "automation/com/Variant.h"
#include "automation/com/VariantChangeType.h"
#include "directory/AttributeWriting.h"
#include "directory/OperationMessages.h"
#include "directory/ObjectBinding.h"
#include "directory/Photo.h"
#include "directory/UserSearch.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace orvane;

TEST(UserSearchTexts, PrefixIsEscapedForLdapFiltersAndNothingElseChanges)
{
    const struct {
        const char *prefix;
        const char *filter;
    } cases[] = {
        {"A", "(&(objectCategory=person)(objectClass=user)(sn=A*))"},
        {"", "(&(objectCategory=person)(objectClass=user)(sn=*))"},
        {"(", "(&(objectCategory=person)(objectClass=user)(sn=\\28*))"},
        {")", "(&(objectCategory=person)(objectClass=user)(sn=\\29*))"},
        {"*", "(&(objectCategory=person)(objectClass=user)(sn=\\2a*))"},
        {"\\", "(&(objectCategory=person)(objectClass=user)(sn=\\5c*))"},
        {"'", "(&(objectCategory=person)(objectClass=user)(sn='*))"},
        {"Ж", "(&(objectCategory=person)(objectClass=user)(sn=Ж*))"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(userListFilter(QStringLiteral("sn"), QString::fromUtf8(c.prefix)),
                  QString::fromUtf8(c.filter))
            << c.prefix;
    EXPECT_EQ(adoQueryText(QStringLiteral("srv01:389"), QStringLiteral("DC=corp,DC=local"),
                           QStringLiteral("(objectCategory=User)"), kUserCountAttributes),
              QStringLiteral("<LDAP://srv01:389/DC=corp,DC=local>;(objectCategory=User);"
                             "sAMAccountName,distinguishedName;subtree"));
}

TEST(DomainExclusion, OnlyDomainsBelowTheBaseAreExcluded)
{
    const struct {
        const char *base;
        const char *dn;
        bool excluded;
    } cases[] = {
        {"DC=corp,DC=local", "CN=A,DC=child,DC=corp,DC=local", true},
        {"DC=corp,DC=local", "cn=a,ou=x,dc=Child,DC=CORP,dc=local", true},
        {"DC=corp,DC=local", "CN=A,OU=Staff,DC=corp,DC=local", false},
        {"DC=corp,DC=local", "CN=A,CN=Users,DC=corp,DC=local", false},
        {"DC=corp,DC=local", "CN=A,DC=other,DC=local", false},
        {"", "CN=A,DC=child,DC=corp,DC=local", false},
        // Characters that mean something in a regular expression are taken literally.
        {"O=Acme (UK)+,DC=x", "CN=A,DC=sub,O=Acme (UK)+,DC=x", true},
        {"O=Acme (UK)+,DC=x", "CN=A,OU=y,O=Acme (UK)+,DC=x", false},
        {"O=a\\E.*,DC=x", "CN=A,DC=sub,O=a\\E.*,DC=x", true},
        {"O=a\\E.*,DC=x", "CN=A,DC=sub,O=aXYZ,DC=x", false},
        // A domain component needs a value before the base; the base itself and names above it stay.
        {"DC=corp,DC=local", "CN=A,DC=x,DC=corp,DC=local", true},
        {"DC=corp,DC=local", "CN=A,DC=,DC=corp,DC=local", false},
        {"DC=corp,DC=local", "DC=corp,DC=local", false},
        {"DC=corp,DC=local", "DC=local", false},
        {"", "CN=A,DC=x,", true},
        // "$" also matches before a final line end, and nowhere else.
        {"DC=corp,DC=local", "CN=A,DC=child,DC=corp,DC=local\n", true},
        {"DC=corp,DC=local", "CN=A,DC=child,DC=corp,DC=local\nX", false},
        // Names and bases beyond ASCII, compared without regard to case.
        {"DC=corp,DC=local", "CN=Ærø,DC=child,DC=corp,DC=local", true},
        {"DC=corp,DC=local", "CN=Ærø,OU=Staff,DC=corp,DC=local", false},
        {"DC=Ærø,DC=local", "CN=A,DC=sub,DC=ærø,DC=local", true},
        {"DC=corp,DC=local", "CN=Иванов,DC=ветка,DC=corp,DC=local", true},
        {"DC=corp,DC=local", "CN=Иванов,OU=DC=x,DC=corp,DC=locał", false},
        // Letters that lower to ASCII (the Kelvin sign, dotted I) count as those letters.
        {"DC=corp,DC=lok", "CN=A,DC=x,DC=corp,DC=lo\u212A", true},
        {"DC=corp,DC=lok", "CN=\u212A,OU=x,DC=corp,DC=lo\u212A", false},
        {"DC=corp,DC=local", "CN=\u0130,DC=x,DC=corp,DC=local", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DomainExclusion(QString::fromUtf8(c.base)).excludes(QString::fromUtf8(c.dn)), c.excluded)
            << c.base << " / " << c.dn;
}

TEST(ValueTexts, VariantTextsAndGuids)
{
    // How multi-valued texts are split and joined is tested with MultiValuedText.
    const QString semi = QStringLiteral(";");
    VARIANT values;
    VariantInit(&values);
    ASSERT_EQ(setVariantStringArray(&values, {QStringLiteral("x"), QStringLiteral("y")}), S_OK);
    EXPECT_EQ(variantText(&values, semi), QStringLiteral("x;y"));
    VariantClear(&values);
    setVariantNull(&values);
    EXPECT_EQ(variantText(&values, semi), QString());
    setVariantInteger(&values, 512);
    EXPECT_EQ(variantText(&values, semi), QStringLiteral("512"));
    // A boolean reads as a search's field text gives it, so a reload never differs.
    for (const bool flag : {true, false}) {
        values.vt = VT_BOOL;
        values.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
        VARIANT asSearchReads;
        VariantInit(&asSearchReads);
        ASSERT_EQ(VariantChangeType(&asSearchReads, &values, VARIANT_LOCALBOOL, VT_BSTR), S_OK);
        EXPECT_EQ(variantText(&values, semi), flag ? QStringLiteral("True") : QStringLiteral("False"));
        EXPECT_EQ(variantText(&values, semi), variantString(&asSearchReads));
        VariantClear(&asSearchReads);
    }

    const QByteArray bytes = QByteArray::fromHex("33221100554477668899aabbccddeeff");
    ASSERT_EQ(setVariantBytes(&values, bytes), S_OK);
    EXPECT_EQ(FormatObjectGuid(&values), QStringLiteral("00112233-4455-6677-8899-AABBCCDDEEFF"));
    ASSERT_EQ(setVariantBytes(&values, bytes.left(15)), S_OK);
    EXPECT_EQ(FormatObjectGuid(&values), QString());
    VariantClear(&values);

    EXPECT_TRUE(isGuidText(QStringLiteral("00112233-4455-6677-8899-AABBCCDDEEFF")));
    for (const char *bad :
         {"00112233-4455-6677-8899-aabbccddeeff", "{00112233-4455-6677-8899-AABBCCDDEEFF}",
          "00112233-4455-6677-8899-AABBCCDDEEF", "001122334455-6677-8899-AABBCCDDEEFF-", ""})
        EXPECT_FALSE(isGuidText(QString::fromLatin1(bad))) << bad;
}

TEST(PhotoFiles, SizeAndDimensionRules)
{
    const QString folder = test::freshTestFolder();
    const auto check = [&](const QString &name, const QByteArray &bytes) {
        const QString path = folder + QLatin1Char('/') + name;
        EXPECT_TRUE(test::writeFile(path, bytes));
        return checkPhotoFile(path);
    };
    const QByteArray exact = test::makeJpeg(96, 96, 102400);
    ASSERT_EQ(exact.size(), 102400);
    const PhotoFileCheck accepted = check(QStringLiteral("exact.jpg"), exact);
    EXPECT_EQ(accepted.bytes.value_or(QByteArray()), exact);
    EXPECT_FALSE(accepted.message);

    const PhotoFileCheck tooBig = check(QStringLiteral("big.jpg"), test::makeJpeg(96, 96, 102401));
    EXPECT_FALSE(tooBig.bytes);
    EXPECT_EQ(tooBig.message.value_or(OperationMessage{}),
              (OperationMessage{QStringLiteral("Image file"),
                                QStringLiteral("The image size must be less or equal to 100 KB."),
                                MessageIcon::Warning}));

    const PhotoFileCheck tall = check(QStringLiteral("tall.jpg"), test::makeJpeg(96, 97));
    EXPECT_FALSE(tall.bytes);
    EXPECT_EQ(tall.message.value_or(OperationMessage{}).text,
              QStringLiteral("The image dimension size must be 96x96 pixels. The image you have loaded has "
                             "96x97 pixels."));

    // A sound 96 x 96 header over image data that does not decode.
    const QByteArray damaged = test::makeDamagedJpeg(96, 96);
    ASSERT_EQ(jpegSize(damaged).value_or(JpegSize{}).width, 96);
    const PhotoFileCheck broken = check(QStringLiteral("damaged.jpg"), damaged);
    EXPECT_FALSE(broken.bytes);
    EXPECT_EQ(broken.message.value_or(OperationMessage{}),
              (OperationMessage{QStringLiteral("Image file"), QStringLiteral("Cannot open selected file."),
                                MessageIcon::Warning}));
    EXPECT_FALSE(decodeJpeg(damaged));

    // What passes is decoded whole: the picture a window shows.
    ASSERT_TRUE(accepted.picture);
    EXPECT_EQ(accepted.picture->width, 96);
    EXPECT_EQ(accepted.picture->height, 96);
    EXPECT_EQ(accepted.picture->rgb.size(), 96 * 96 * 3);
    EXPECT_NE(accepted.picture->rgb.count('\0'), accepted.picture->rgb.size()) << "not a blank picture";

    const PhotoFileCheck notJpeg = check(QStringLiteral("text.jpg"), QByteArray("not a picture"));
    EXPECT_TRUE(
        notJpeg.message.value_or(OperationMessage{}).text.endsWith(QStringLiteral("has 0x0 pixels.")));

    const PhotoFileCheck empty = check(QStringLiteral("empty.jpg"), QByteArray());
    EXPECT_FALSE(empty.bytes);
    EXPECT_FALSE(empty.message);

    for (const QString &path : {folder + QStringLiteral("/missing.jpg"), folder})
        EXPECT_EQ(checkPhotoFile(path).message.value_or(OperationMessage{}).text,
                  QStringLiteral("Cannot open selected file."));

    // Export writes whatever the directory holds, byte for byte.
    const QByteArray anyBytes = QByteArray("\x00\xFF not even a JPEG \r\n", 21);
    const QString out = folder + QStringLiteral("/export.jpg");
    EXPECT_FALSE(exportPhoto(out, anyBytes));
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), anyBytes);
    EXPECT_EQ(exportPhoto(folder + QStringLiteral("/no/such/folder/x.jpg"), anyBytes)
                  .value_or(OperationMessage{})
                  .text,
              QStringLiteral("Cannot create ") + folder + QStringLiteral("/no/such/folder/x.jpg file."));
}

TEST(OperationMessages, TheReasonFollowsTheTextAfterAnEmptyLine)
{
    DirectoryFailure failure;
    EXPECT_EQ(withReason(QStringLiteral("text"), failure), QStringLiteral("text"));
    failure.code = hresult(0x8007052E);
    failure.engineText = QStringLiteral("Logon failure: unknown user name or bad password.");
    EXPECT_EQ(codeText(failure.code), QStringLiteral("<-2147023570>"));
    EXPECT_EQ(withReason(QStringLiteral("text"), failure), QStringLiteral("text\n\n") + failure.engineText);
    failure.diagnostic = QStringLiteral("80090308: LdapErr: DSID-0C09041C, data 52e");
    EXPECT_EQ(failureMessage(QStringLiteral("T"), QStringLiteral("text"), failure),
              (OperationMessage{QStringLiteral("T"), QStringLiteral("text\n\n") + failure.diagnostic,
                                MessageIcon::Warning}));
}
