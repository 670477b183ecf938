// The pull reader under the sheet parser: tokens and their byte spans,
// attribute lookup across prefixes, refusal of malformed documents, and the
// entity and OOXML escape codecs.

#include "workbook/engine/XmlReader.h"
#include "workbook/engine/XmlText.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

std::string describe(std::string_view xml)
{
    XmlReader reader(xml);
    std::string out;
    for (;;) {
        XmlReader::Token t = reader.next();
        if (t == XmlReader::EndOfDocument) {
            return out + "$";
        }
        if (t == XmlReader::Malformed) {
            return out + "!";
        }
        if (t == XmlReader::StartElement) {
            out += "<" + std::string(reader.localName()) + "@" + std::to_string(reader.begin()) + "-" +
                   std::to_string(reader.end()) + " ";
        } else if (t == XmlReader::EndElement) {
            out += "/" + std::string(reader.localName()) + "@" + std::to_string(reader.begin()) + "-" +
                   std::to_string(reader.end()) + " ";
        } else if (!reader.rawText().empty()) {
            out += "'" + std::string(reader.rawText()) + "' ";
        }
    }
}

TEST(XmlReader, TokensCarryTheirByteSpans)
{
    EXPECT_EQ(describe("<?xml version=\"1.0\"?><a x=\"1\"><b/>t<!-- c --><x:c>u</x:c></a>"),
              "<a@21-30 <b@30-34 /b@34-34 't' <c@45-50 'u' /c@51-57 /a@57-61 $");
    EXPECT_EQ(describe("<a><![CDATA[<not a tag>]]></a>"), "<a@0-3 '<not a tag>' /a@26-30 $");
}

TEST(XmlReader, MalformedDocumentsAreRefused)
{
    const char *bad[] = {
        "",           "<a>",      "<a></b>",  "<a><b></a></b>",   "<a x=1/>",
        "<a x=\"1/>", "<a/><b/>", "text<a/>", "<a><!-- open</a>", "<!DOCTYPE a><a/>",
        "<a",         "<a x/>",   "<a></a",
    };
    for (const char *xml : bad) {
        XmlReader reader(xml);
        XmlReader::Token t;
        do {
            t = reader.next();
        } while (t != XmlReader::EndOfDocument && t != XmlReader::Malformed);
        EXPECT_EQ(t, XmlReader::Malformed) << xml;
        EXPECT_FALSE(reader.errorText().empty()) << xml;
    }
}

TEST(XmlReader, AttributesByLocalNameSkipNamespaceDeclarations)
{
    XmlReader reader("<x:c xmlns:x=\"urn:x\" x:r='B2' s=\"3\" t=\"a&gt;b\"/>");
    ASSERT_EQ(reader.next(), XmlReader::StartElement);
    EXPECT_EQ(reader.prefix(), "x:");
    std::string_view value;
    ASSERT_TRUE(reader.attribute("r", &value));
    EXPECT_EQ(value, "B2");
    ASSERT_TRUE(reader.attribute("t", &value));
    EXPECT_EQ(value, "a&gt;b");
    EXPECT_FALSE(reader.attribute("x", &value));
    EXPECT_FALSE(reader.attribute("missing", &value));
    size_t offset = 0;
    ASSERT_TRUE(reader.attributeOffset("s", &value, &offset));
    EXPECT_EQ(offset, 33u);
}

TEST(XmlReader, TextOnlyElementsAndSkipping)
{
    XmlReader reader("<c><v>12</v><v>a&amp;b</v><v/><v>x<b/></v><f><g>1</g></f></c>");
    std::string_view raw;
    ASSERT_EQ(reader.next(), XmlReader::StartElement);
    ASSERT_EQ(reader.next(), XmlReader::StartElement);
    ASSERT_TRUE(reader.readTextOnly(&raw));
    EXPECT_EQ(raw, "12");
    ASSERT_EQ(reader.next(), XmlReader::StartElement);
    ASSERT_TRUE(reader.readTextOnly(&raw));
    EXPECT_EQ(raw, "a&amp;b");
    ASSERT_EQ(reader.next(), XmlReader::StartElement);
    ASSERT_TRUE(reader.readTextOnly(&raw));
    EXPECT_TRUE(raw.empty());
    ASSERT_EQ(reader.next(), XmlReader::StartElement);
    EXPECT_FALSE(reader.readTextOnly(&raw));
    std::string text;
    ASSERT_TRUE(reader.readElementText(&text));
    EXPECT_EQ(text, "x");
    ASSERT_EQ(reader.next(), XmlReader::StartElement);
    ASSERT_TRUE(reader.skipElement());
    EXPECT_EQ(reader.localName(), "f");
    EXPECT_EQ(reader.next(), XmlReader::EndElement);
    EXPECT_EQ(reader.next(), XmlReader::EndOfDocument);
}

TEST(XmlReader, EntityDecoding)
{
    struct Case {
        const char *raw;
        bool ok;
        const char *text;
    };
    const Case cases[] = {
        {"a&lt;b&gt;c&amp;d&quot;e&apos;f", true, "a<b>c&d\"e'f"},
        {"&#65;&#x42;&#xe9;&#x1F600;", true, "AB\xC3\xA9\xF0\x9F\x98\x80"},
        {"&#1040;&#x20AC;x&#1103;", true, "\xD0\x90\xE2\x82\xACx\xD1\x8F"},
        {"&unknown;", false, ""},
        {"&#0;", false, ""},
        {"&#xD800;", false, ""},
        {"&#x110000;", false, ""},
        {"& alone", false, ""},
        {"&#;", false, ""},
    };
    for (const Case &c : cases) {
        std::string out;
        EXPECT_EQ(appendXmlDecoded(c.raw, &out), c.ok) << c.raw;
        if (c.ok) {
            EXPECT_EQ(out, c.text) << c.raw;
        }
    }
}

TEST(XmlReader, OoxmlEscapesRoundTrip)
{
    struct Case {
        const char *text;
        const char *written;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"a<b & \"c\"", "a&lt;b &amp; &quot;c&quot;"},
        {"tab\tline\nend", "tab\tline\nend"},
        {"cr\r", "cr_x000D_"},
        {"bell\x07", "bell_x0007_"},
        {"_x0041_", "_x005F_x0041_"},
        {"_x12_", "_x12_"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    };
    for (const Case &c : cases) {
        std::string written;
        appendOoxmlText(c.text, &written);
        EXPECT_EQ(written, c.written) << c.text;
        std::string decoded;
        ASSERT_TRUE(appendXmlDecoded(written, &decoded));
        decodeOoxmlEscapes(&decoded);
        EXPECT_EQ(decoded, c.text) << c.text;
    }
    std::string pair = "_xD83D__xDE00_ _xDC00_";
    decodeOoxmlEscapes(&pair);
    EXPECT_EQ(pair, "\xF0\x9F\x98\x80 \xEF\xBF\xBD");
}

} // namespace
} // namespace orvane
