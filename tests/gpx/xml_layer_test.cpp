#include "gpx/gpx_number.hpp"
#include "gpx/xml_document.hpp"
#include "gpx/xml_writer.hpp"
#include "support/errors.hpp"
#include "support/number_format.hpp"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace tarnwick {
namespace {

TEST(XmlLayer, WritesTheFixedLayout) {
  TXmlWriter xml;
  TXmlElement root = xml.CreateRoot("r", "urn:a");
  root.SetAttribute("z", "1");
  root.SetAttribute("a", "x\"<&>\t\n\r");
  root.DeclarePrefix("p", "urn:p");
  root.AddTextChild("t", "x < y & \"z\" >\r");
  root.AddChild("empty");
  TXmlElement outer = root.AddChild("o");
  outer.AddTextChild("p:i", "1");
  outer.AddChild("deeper").AddTextChild("d", "2");
  root.AddTextChild("last", "");
  xml.Finish();
  EXPECT_EQ(xml.Text(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<r xmlns=\"urn:a\" z=\"1\" a=\"x&quot;&lt;&amp;&gt;&#9;&#10;&#13;\" "
                        "xmlns:p=\"urn:p\">\n"
                        "  <t>x &lt; y &amp; \"z\" &gt;&#13;</t>\n"
                        "  <empty />\n"
                        "  <o>\n"
                        "    <p:i>1</p:i>\n"
                        "    <deeper>\n"
                        "      <d>2</d>\n"
                        "    </deeper>\n"
                        "  </o>\n"
                        "  <last></last>\n"
                        "</r>\n");
  // What the writer escapes reads back unchanged.
  TXmlDocument doc;
  doc.LoadFromString(std::string(xml.Text()), "written");
  EXPECT_EQ(doc.Root().Attribute("a"), "x\"<&>\t\n\r");
  EXPECT_EQ(doc.Root().ChildText("t"), "x < y & \"z\" >\r");
}

TEST(XmlLayer, WriterKeepsDocumentOrderAndKnowsItsNamespaces) {
  TXmlWriter xml;
  TXmlElement root = xml.CreateRoot("r", "urn:a");
  root.DeclarePrefix("p", "urn:p");
  EXPECT_EQ(root.LookupNamespaceURI(""), "urn:a");
  EXPECT_EQ(root.OwnDeclaration("p"), "urn:p");
  TXmlElement first = root.AddChild("first");
  first.DeclarePrefix("q", "urn:q");
  TXmlElement inner = first.AddChild("inner");
  EXPECT_EQ(inner.LookupNamespaceURI("p"), "urn:p") << "declared on an ancestor";
  EXPECT_EQ(inner.LookupNamespaceURI("q"), "urn:q");
  EXPECT_FALSE(inner.OwnDeclaration("q"));
  EXPECT_THROW(first.SetAttribute("late", "1"), std::logic_error) << "after content";
  root.AddChild("second"); // closes "first"
  EXPECT_FALSE(root.LookupNamespaceURI("q")) << "gone with its element";
  EXPECT_THROW(inner.AddChild("x"), std::logic_error);
  EXPECT_THROW(first.SetText("x"), std::logic_error);
  TXmlElement text = root.AddChild("t");
  text.SetText("v");
  EXPECT_THROW(text.AddChild("x"), std::logic_error) << "text and elements do not mix";
  EXPECT_THROW(xml.CreateRoot("again", "urn:a"), std::logic_error);

  std::string received;
  TXmlWriter chunked([&](std::string_view s) { received += s; });
  TXmlElement big = chunked.CreateRoot("r", "urn:a");
  for (int i = 0; i < 100000; ++i) {
    big.AddTextChild("v", "0123456789");
  }
  chunked.Finish();
  EXPECT_EQ(chunked.Text(), "") << "everything went to the sink";
  EXPECT_EQ(received.size(), 39u + 18u + 100000u * 20u + 5u);
}

TEST(XmlLayer, TextThatXmlCannotCarryIsCleanedSoTheFileStaysWellFormed) {
  EXPECT_EQ(CleanXmlText("a\x01"
                         "b\tc\nd\re"),
            "ab\tc\nd\re");
  EXPECT_EQ(CleanXmlText("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
            "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  // A lone continuation byte, a cut sequence, an overlong form, a surrogate, U+FFFF.
  EXPECT_EQ(CleanXmlText("a\x80z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(CleanXmlText("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(CleanXmlText("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(CleanXmlText("\xED\xA0\x80").find("\xED"), std::string::npos);
  EXPECT_EQ(CleanXmlText("\xEF\xBF\xBF").find("\xEF\xBF\xBF"), std::string::npos);

  TXmlWriter xml;
  TXmlElement root = xml.CreateRoot("r", "urn:a");
  root.SetAttribute("v", std::string("x\0y\x1F", 4));
  root.AddTextChild("t", "\x02ok\xFF");
  xml.Finish();
  TXmlDocument again;
  again.LoadFromString(std::string(xml.Text()), "saved");
  EXPECT_EQ(again.Root().Attribute("v"), "xy");
  EXPECT_EQ(again.Root().ChildText("t"), "ok\xEF\xBF\xBD");
}

TEST(XmlLayer, ChildLookupFollowsNamespacesNotPrefixes) {
  TXmlDocument doc;
  doc.LoadFromString("<g:gpx xmlns:g='urn:gpx' xmlns='urn:other' xmlns:h='urn:gpx'>"
                     "<trk>other namespace</trk><h:trk>same namespace</h:trk>"
                     "<g:x xmlns:g='urn:moved'><g:y/></g:x>"
                     "<g:z><e:w xmlns:e='urn:gpx'>deep</e:w></g:z></g:gpx>",
                     "test");
  const TXmlNode root = doc.Root();
  EXPECT_EQ(root.LocalName(), "gpx");
  EXPECT_EQ(root.NamespaceURI(), "urn:gpx");
  EXPECT_EQ(root.ChildText("trk"), "same namespace");
  EXPECT_FALSE(root.FindChild("x")) << "its prefix names another namespace there";
  EXPECT_EQ(root.FindChildByQName("trk").Text(), "other namespace");
  EXPECT_EQ(root.FindChild("z").ChildText("w"), "deep");
  EXPECT_EQ(root.FindChildByQName("g:x").LookupNamespaceURI("g"), "urn:moved");
  EXPECT_EQ(root.FindChild("z").LookupNamespaceURI("h"), "urn:gpx") << "declared on an ancestor";
  EXPECT_FALSE(root.LookupNamespaceURI("nope"));
  EXPECT_EQ(root.LookupNamespaceURI("xml"), kXmlNamespaceURI);
  EXPECT_EQ(root.Attribute("absent"), "");
}

TEST(XmlLayer, ReadsTextButRefusesElementsWhereAValueIsExpected) {
  TXmlDocument doc;
  doc.LoadFromString("<r>\n  <a>one<![CDATA[<two>]]>three</a>\n  <b><c/></b>\n  <e/>\n</r>", "t");
  const TXmlNode root = doc.Root();
  EXPECT_EQ(root.ChildCount(), 3u) << "whitespace between elements is dropped";
  EXPECT_EQ(root.ChildText("a"), "one<two>three");
  EXPECT_EQ(root.ChildText("e"), "");
  EXPECT_EQ(root.ChildText("missing"), "");
  try {
    (void)root.ChildText("b");
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("\"b\""), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
}

TEST(XmlLayer, RefusesTextThatIsNotXmlAndNamesTheLine) {
  TXmlDocument doc;
  for (const char* text : {"", "plain text", "<a>\n<b>\n</a>", "<a/><b/>"}) {
    try {
      doc.LoadFromString(text, "in.gpx");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("in.gpx", 0), 0u) << e.what();
    }
  }
  try {
    doc.LoadFromString("<a>\n<b>\n</a>", "in.gpx");
  } catch (const EConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
}

TEST(XmlLayer, HostileTextNeitherExpandsEntitiesNorRecurses) {
  // Nested entity definitions would grow to gigabytes if they were expanded.
  std::string bomb = "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY a0 'aaaaaaaaaa'>";
  for (int i = 1; i < 10; ++i) {
    bomb += "<!ENTITY a" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) {
      bomb += "&a" + std::to_string(i - 1) + ";";
    }
    bomb += "'>";
  }
  bomb += "]><r>&a9;</r>";
  TXmlDocument doc;
  doc.LoadFromString(bomb, "bomb");
  EXPECT_EQ(doc.Root().Text(), "&a9;");

  const int depth = 200000;
  std::string deep;
  for (int i = 0; i < depth; ++i) {
    deep += "<a>";
  }
  for (int i = 0; i < depth; ++i) {
    deep += "</a>";
  }
  doc.LoadFromString(deep, "deep");
  EXPECT_EQ(doc.Root().Name(), "a");
}

TEST(TextBuffer, StartsEmptyAndKeepsEverythingAcrossGrowths) {
  TTextBuffer buffer;
  buffer.Append(std::string_view());
  buffer.Append(0, 'x');
  buffer.Reserve(0);
  EXPECT_EQ(buffer.View(), "");
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    const std::string piece = std::to_string(i * 7919);
    buffer += piece;
    buffer += ',';
    buffer.Append(static_cast<size_t>(i % 3), ' ');
    expected += piece + ',' + std::string(static_cast<size_t>(i % 3), ' ');
  }
  EXPECT_EQ(buffer.View(), expected);
}

TEST(XmlLayer, MissingAndOversizedFilesAreFileErrors) {
  TXmlDocument doc;
  EXPECT_THROW(doc.LoadFromFile("/nonexistent/file.gpx"), EFileError);
}

TEST(GpxNumbers, CoordinatesKeepFifteenSignificantDigitsWithoutExponent) {
  const auto sig = [](double v) { return FormatSignificant(v, 15); };
  EXPECT_EQ(sig(35.6812345), "35.6812345");
  EXPECT_EQ(sig(139.7654321), "139.7654321");
  EXPECT_EQ(sig(0), "0");
  EXPECT_EQ(sig(-0.0), "0");
  EXPECT_EQ(sig(-0.5), "-0.5");
  EXPECT_EQ(sig(0.000001), "0.000001");
  EXPECT_EQ(sig(-1.5e-7), "-0.00000015");
  EXPECT_EQ(sig(180), "180");
  EXPECT_EQ(sig(1e20), "100000000000000000000");
  EXPECT_EQ(sig(0.1 + 0.2), "0.3");
  EXPECT_EQ(sig(123456789.123456789), "123456789.123457");
  EXPECT_EQ(sig(-89.99999999999999), "-90");
}

TEST(GpxNumbers, FastFormsGiveTheTextsOfThePreciseOnes) {
  // Values as the logger gives them (hundredths), ties, signs, and random doubles.
  std::vector<double> values = {0.125, 0.375, 359.25, 359.96, 2.5,    -0.0004, 0.0005, -0.0,
                                0,     1e14,  -1e15,  5e15,   1e-300, 40.12,   -3.5};
  uint64_t x = 88172645463325252ULL;
  for (int i = 0; i < 200000; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    values.push_back(static_cast<int32_t>(x) / 100.0);
    values.push_back(static_cast<int32_t>(x >> 32) / 1e7);
    values.push_back(static_cast<double>(x % 100000000) / (1 + x % 997) - 50000);
  }
  for (const double v : values) {
    for (int d = 0; d <= 3; ++d) {
      ASSERT_EQ(FormatGPXFixed(v, d), FormatFixed(v, d)) << v << " with " << d;
    }
    char ref[64];
    std::snprintf(ref, sizeof ref, "%.15g", v);
    ASSERT_EQ(std::strtod(FormatSignificant(v, 15).c_str(), nullptr), std::strtod(ref, nullptr))
        << ref;
  }
}

TEST(GpxNumbers, ReadsOnlyDecimalNumbers) {
  EXPECT_EQ(TryGPXDecimal("35.5"), 35.5);
  EXPECT_EQ(TryGPXDecimal(" +1.5\n"), 1.5);
  EXPECT_EQ(TryGPXDecimal("-.5"), -0.5);
  EXPECT_EQ(TryGPXDecimal("1e3"), 1000.0);
  for (const char* bad :
       {"", " ", "nan", "inf", "-inf", "1e400", "1,5", "0x10", "+-1", "1.5m", "-"}) {
    EXPECT_FALSE(TryGPXDecimal(bad)) << bad;
  }
  EXPECT_TRUE(IsGPXInteger(" -12 "));
  EXPECT_TRUE(IsGPXInteger("99999999999999999999999"));
  EXPECT_FALSE(TryGPXInteger("99999999999999999999999"));
  EXPECT_EQ(TryGPXInteger("+7"), 7);
  for (const char* bad : {"", "1.0", "1e2", "x", "--1"}) {
    EXPECT_FALSE(IsGPXInteger(bad)) << bad;
  }
}

} // namespace
} // namespace tarnwick
