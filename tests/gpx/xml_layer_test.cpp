#include "gpx/gpx_number.hpp"
#include "gpx/xml_document.hpp"
#include "gpx/xml_writer.hpp"
#include "support/errors.hpp"
#include "support/number_format.hpp"
#include "support/str_util.hpp"

#include "common/files.hpp"
#include "common/temp_dir.hpp"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <vector>

namespace tarnwick {
namespace {

TEST(XmlLayer, WritesTheFixedLayout) {
  XmlWriter xml;
  XmlElement root = xml.CreateRoot("r", "urn:a");
  root.SetAttribute("z", "1");
  root.SetAttribute("a", "x\"<&>\t\n\r");
  root.DeclarePrefix("p", "urn:p");
  root.AddTextChild("t", "x < y & \"z\" >\r");
  root.AddChild("empty");
  XmlElement outer = root.AddChild("o");
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
  XmlDocument doc;
  doc.LoadFromString(std::string(xml.Text()), "written");
  EXPECT_EQ(doc.Root().Attribute("a"), "x\"<&>\t\n\r");
  EXPECT_EQ(doc.Root().ChildText("t"), "x < y & \"z\" >\r");
}

TEST(XmlLayer, WriterKeepsDocumentOrderAndKnowsItsNamespaces) {
  XmlWriter xml;
  XmlElement root = xml.CreateRoot("r", "urn:a");
  root.DeclarePrefix("p", "urn:p");
  EXPECT_EQ(root.LookupNamespaceURI(""), "urn:a");
  EXPECT_EQ(root.OwnDeclaration("p"), "urn:p");
  XmlElement first = root.AddChild("first");
  first.DeclarePrefix("q", "urn:q");
  XmlElement inner = first.AddChild("inner");
  EXPECT_EQ(inner.LookupNamespaceURI("p"), "urn:p") << "declared on an ancestor";
  EXPECT_EQ(inner.LookupNamespaceURI("q"), "urn:q");
  EXPECT_FALSE(inner.OwnDeclaration("q"));
  EXPECT_THROW(first.SetAttribute("late", "1"), std::logic_error) << "after content";
  root.AddChild("second"); // closes "first"
  EXPECT_FALSE(root.LookupNamespaceURI("q")) << "gone with its element";
  EXPECT_THROW(inner.AddChild("x"), std::logic_error);
  EXPECT_THROW(first.SetText("x"), std::logic_error);
  XmlElement text = root.AddChild("t");
  text.SetText("v");
  EXPECT_THROW(text.AddChild("x"), std::logic_error) << "text and elements do not mix";
  EXPECT_THROW(xml.CreateRoot("again", "urn:a"), std::logic_error);

  std::string received;
  XmlWriter chunked([&](std::string_view s) { received += s; });
  XmlElement big = chunked.CreateRoot("r", "urn:a");
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

  XmlWriter xml;
  XmlElement root = xml.CreateRoot("r", "urn:a");
  root.SetAttribute("v", std::string("x\0y\x1F", 4));
  root.AddTextChild("t", "\x02ok\xFF");
  xml.Finish();
  XmlDocument again;
  again.LoadFromString(std::string(xml.Text()), "saved");
  EXPECT_EQ(again.Root().Attribute("v"), "xy");
  EXPECT_EQ(again.Root().ChildText("t"), "ok\xEF\xBF\xBD");
}

TEST(XmlLayer, ChildLookupFollowsNamespacesNotPrefixes) {
  XmlDocument doc;
  doc.LoadFromString("<g:gpx xmlns:g='urn:gpx' xmlns='urn:other' xmlns:h='urn:gpx'>"
                     "<trk>other namespace</trk><h:trk>same namespace</h:trk>"
                     "<g:x xmlns:g='urn:moved'><g:y/></g:x>"
                     "<g:z><e:w xmlns:e='urn:gpx'>deep</e:w></g:z></g:gpx>",
                     "test");
  const XmlNode root = doc.Root();
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

// Declarations on several elements: each lookup finds the innermost binding in scope.
TEST(XmlLayer, NamespaceScopesNestAndEnd) {
  XmlDocument doc;
  doc.LoadFromString("<r xmlns='urn:a' xmlns:p='urn:p'>"
                     "<p:x xmlns:p='urn:q'><p:y/><z xmlns=''><p:v/></z></p:x>"
                     "<p:w/><u/></r>",
                     "scopes");
  const XmlNode root = doc.Root();
  const XmlNode x = root.FindChildByQName("p:x");
  const XmlNode z = x.FindChildByQName("z");
  EXPECT_EQ(x.NamespaceURI(), "urn:q");
  EXPECT_EQ(x.FindChildByQName("p:y").NamespaceURI(), "urn:q");
  EXPECT_EQ(z.NamespaceURI(), "") << "the default namespace undeclared";
  EXPECT_EQ(z.FindChildByQName("p:v").NamespaceURI(), "urn:q");
  EXPECT_EQ(root.FindChildByQName("p:w").NamespaceURI(), "urn:p") << "back in the outer scope";
  EXPECT_FALSE(root.FindChild("w")) << "urn:p is not the root's namespace";
  EXPECT_TRUE(root.FindChild("u"));
}

TEST(XmlLayer, ReadsTextButRefusesElementsWhereAValueIsExpected) {
  XmlDocument doc;
  doc.LoadFromString("<r>\n  <a>one<![CDATA[<two>]]>three</a>\n  <b><c/></b>\n  <e/>\n</r>", "t");
  const XmlNode root = doc.Root();
  EXPECT_EQ(root.ChildCount(), 3u) << "whitespace between elements is dropped";
  EXPECT_EQ(root.ChildText("a"), "one<two>three");
  EXPECT_EQ(root.ChildText("e"), "");
  EXPECT_EQ(root.ChildText("missing"), "");
  try {
    (void)root.ChildText("b");
    ADD_FAILURE() << "no error";
  } catch (const ConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("\"b\""), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
}

TEST(XmlLayer, RefusesTextThatIsNotXmlAndNamesTheLine) {
  XmlDocument doc;
  for (const char* text : {"", "plain text", "<a>\n<b>\n</a>", "<a/><b/>"}) {
    try {
      doc.LoadFromString(text, "in.gpx");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const ConvertError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("in.gpx", 0), 0u) << e.what();
    }
  }
  try {
    doc.LoadFromString("<a>\n<b>\n</a>", "in.gpx");
  } catch (const ConvertError& e) {
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
  XmlDocument doc;
  try {
    doc.LoadFromString(bomb, "bomb");
    ADD_FAILURE() << "the entity was taken";
  } catch (const ConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("undefined entity \"&a9;\""), std::string::npos)
        << e.what();
  }

  const int depth = 200000;
  std::string deep;
  for (int i = 0; i < depth; ++i) {
    deep += "<element>";
  }
  for (int i = 0; i < depth; ++i) {
    deep += "</element>";
  }
  doc.LoadFromString(deep, "deep");
  EXPECT_EQ(doc.Root().Name(), "element");
}

// What pugixml lets through, each refused with the line it stands on.
TEST(XmlLayer, RefusesWhatIsNotWellFormed) {
  const struct {
    const char* Text;
    int Line;
    const char* Message;
  } cases[] = {
      {"<a>\n&foo;</a>", 2, "undefined entity \"&foo;\""},
      {"<a>\n<b c='&bar;'/></a>", 2, "undefined entity \"&bar;\""},
      {"<a>AT&T</a>", 1, "\"&\" that begins no entity or character reference"},
      {"<a>&#0;</a>", 1, "character reference \"&#0;\""},
      {"<a b='&#xD800;'/>", 1, "character reference \"&#xD800;\""},
      {"<a b='1'\n   b='2'/>", 2, "attribute \"b\" given twice"},
      {"<a xmlns:x='u' xmlns:y='u' x:b='1' y:b='2'/>", 1, "one namespace and local name"},
      {"<a>\n<b c='x<y'/></a>", 2, "\"<\" in the value of attribute \"c\""},
      {"<a>\n\n<p:b/></a>", 3, "the prefix \"p\" of \"p:b\" is not declared"},
      {"<a xsi:b='1'/>", 1, "the prefix \"xsi\" of attribute \"xsi:b\" is not declared"},
      {"<a><p:b xmlns:p='u'/><p:c/></a>", 1, "the prefix \"p\" of \"p:c\""},
      {"<a xmlns:p=''/>", 1, "prefix \"p\" declared for an empty URI"},
      {"<a xmlns:xml='urn:x'/>", 1, "the prefix \"xml\""},
      {"<a:b:c xmlns:a='u'/>", 1, "\"a:b:c\" is no qualified name"},
      {"<a>]]></a>", 1, "\"]]>\" in text"},
      {"<a>\n\x01</a>", 2, "control character U+0001"},
      {"<a>\xC3\x28</a>", 1, "byte 0xC3"},
      {"<a>\xED\xA0\x80</a>", 1, "byte 0xED"},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    try {
      doc.LoadFromString(c.Text, "in.xml");
      ADD_FAILURE() << "accepted: " << c.Text;
    } catch (const ConvertError& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("in.xml, line " + std::to_string(c.Line) + ": ", 0), 0u) << what;
      EXPECT_NE(what.find(c.Message), std::string::npos) << what;
    }
  }
}

TEST(XmlLayer, ReadsReferencesAndNamespacesAsXmlDefinesThem) {
  XmlDocument doc;
  // The schema location comes before the declaration of its prefix, as Garmin writes it.
  doc.LoadFromString("<r xsi:s='&lt;&#x41;&#66;&amp;amp;&#10;' xmlns:xsi='urn:xsi' "
                     "a:x='1' b:x='2' xmlns:a='urn:a' xmlns:b='urn:b' xml:lang='en'>"
                     "<t>&quot;&apos;&gt;<![CDATA[&raw;]]></t>"
                     "<d xmlns='urn:d'><e/></d></r>",
                     "ok");
  const XmlNode root = doc.Root();
  EXPECT_EQ(root.Attribute("xsi:s"), "<AB&amp;\n");
  EXPECT_EQ(root.ChildText("t"), "\"'>&raw;");
  const XmlNode e = root.FindChildByQName("d").FirstChild();
  EXPECT_EQ(e.NamespaceURI(), "urn:d") << "the default namespace of its parent";
  EXPECT_TRUE(root.FindChildByQName("d").HasNamespaceDeclarations());
  EXPECT_FALSE(e.HasNamespaceDeclarations());
  EXPECT_TRUE(doc.DeclaresNamespace("urn:d"));
  EXPECT_FALSE(doc.DeclaresNamespace("urn:e"));
}

// UTF-16 of an ASCII and BMP text given as UTF-8 code points, with its byte-order mark.
std::string Utf16(const std::u32string& Text, bool BigEndian) {
  std::string out = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
  const auto unit = [&](uint32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += BigEndian ? hi : lo;
    out += BigEndian ? lo : hi;
  };
  for (const char32_t c : Text) {
    if (c >= 0x10000) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit(c);
    }
  }
  return out;
}

TEST(XmlLayer, HonoursTheDeclaredEncoding) {
  const std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?>";
  const std::string cp1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\" ?>";
  const std::vector<std::pair<std::string, std::string>> accepted = {
      {"<a>Caf\xC3\xA9</a>", "Caf\xC3\xA9"},
      {"\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?><a>Caf\xC3\xA9</a>", "Caf\xC3\xA9"},
      {latin1 + "<a>Caf\xE9 \x80</a>", "Caf\xC3\xA9 \xC2\x80"},
      {cp1252 + "<a>Caf\xE9 \x80</a>", "Caf\xC3\xA9 \xE2\x82\xAC"},
      {"<?xml version='1.0' encoding='US-ASCII'?><a>plain</a>", "plain"},
      {Utf16(U"<?xml version='1.0' encoding='UTF-16'?><a>Caf\u00E9 \U0001F600</a>", false),
       "Caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {Utf16(U"<a>Caf\u00E9 \U0001F600</a>", true), "Caf\xC3\xA9 \xF0\x9F\x98\x80"},
  };
  for (const auto& [bytes, text] : accepted) {
    XmlDocument doc;
    doc.LoadFromString(bytes, "in.xml");
    EXPECT_EQ(doc.Root().Text(), text) << bytes;
  }
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"<?xml version='1.0' encoding='Shift_JIS'?><a/>", "encoding \"Shift_JIS\" is not supported"},
      {std::string("\xFF\xFE\0\0<\0\0\0", 8), "encoding UTF-32"},
      {std::string("<\0a\0/\0>\0", 8), "UTF-16 without a byte-order mark"},
      {"\xEF\xBB\xBF" + latin1 + "<a/>", "but begins with a UTF-8 byte-order mark"},
      {Utf16(U"<?xml version='1.0' encoding='UTF-8'?><a/>", true), "but begins with a UTF-16"},
      {cp1252 + "<a>\n\x81</a>", "line 2: byte 0x81 is not a character in windows-1252"},
      {"<?xml version='1.0' encoding='ascii'?><a>\xC3\xA9</a>", "a byte above 0x7F"},
      {Utf16(U"<a>\xD800</a>", false), "an unpaired UTF-16 surrogate"},
      {Utf16(U"<a/>", false) + "x", "an odd number of bytes"},
      {"<?xml version='1.0' encoding='UTF-8'<a/>", "the XML declaration does not end"},
  };
  for (const auto& [bytes, message] : refused) {
    XmlDocument doc;
    try {
      doc.LoadFromString(bytes, "in.xml");
      ADD_FAILURE() << "accepted: " << bytes;
    } catch (const ConvertError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("in.xml", 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(XmlLayer, ParserMemoryIsBoundedByTheTextSize) {
  // Empty elements cost the parser sixteen times their text; sound files a few times.
  std::string dense = "<a>";
  for (int i = 0; i < 200000; ++i) {
    dense += "<b/>";
  }
  dense += "</a>";
  XmlDocument doc;
  try {
    doc.LoadFromString(dense, "dense.xml");
    ADD_FAILURE() << "accepted";
  } catch (const ConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("too many XML nodes"), std::string::npos) << e.what();
  }
  std::string sound = "<a>";
  for (int i = 0; i < 50000; ++i) {
    sound += "<trkpt lat=\"1\" lon=\"2\"/>";
  }
  doc.LoadFromString(sound + "</a>", "sound.xml");
  EXPECT_EQ(doc.Root().ChildCount(), 50000u);
}

// Files of a megabyte and more are read into memory of their own, with their nodes; they must
// read as the same text given as a string does, in each encoding, and keep the memory bound.
TEST(XmlLayer, LargeFilesReadAsTheirTextDoes) {
  test::TempDir dir;
  std::u32string body = U"<a>\n";
  constexpr int kChildren = 60000;
  for (int i = 0; i < kChildren; ++i) {
    body += U"<b x=\"1&amp;2\">Caf\u00E9 &lt;" + std::u32string(1, U'0' + i % 10) + U"</b>\n";
  }
  std::string utf8;
  for (const char32_t c : body) {
    AppendUtf8(utf8, c);
  }
  const std::string sound = utf8 + "</a>";
  ASSERT_GT(sound.size(), size_t{1} << 20);
  const auto check = [&](const XmlDocument& Doc, const std::string& Name) {
    const XmlNode root = Doc.Root();
    ASSERT_TRUE(root) << Name;
    EXPECT_EQ(root.ChildCount(), size_t{kChildren}) << Name;
    XmlNode last = root.FirstChild();
    for (XmlNode n = last; n; n = n.NextSibling()) {
      last = n;
    }
    EXPECT_EQ(last.Text(), "Caf\xC3\xA9 <9") << Name;
    EXPECT_EQ(last.Attribute("x"), "1&2") << Name;
    EXPECT_EQ(last.Location(), Name + ", line " + std::to_string(kChildren + 1));
  };
  XmlDocument doc;
  doc.LoadFromString(sound, "string.xml");
  check(doc, "string.xml");
  std::string utf16 = Utf16(body + U"</a>", false);
  for (const auto& [name, bytes] :
       {std::pair{"plain.xml", sound}, std::pair{"bom.xml", "\xEF\xBB\xBF" + sound},
        std::pair{"utf16.xml", utf16}}) {
    test::WriteFile(dir.File(name), bytes);
    doc.LoadFromFile(dir.File(name));
    check(doc, dir.File(name));
  }
  // Refused large files leave the document as it was: empty elements beyond the memory bound,
  // an error on the last line, which is named.
  std::string dense = "<a>";
  while (dense.size() < (size_t{3} << 20)) {
    dense += "<b/>";
  }
  test::WriteFile(dir.File("dense.xml"), dense + "</a>");
  test::WriteFile(dir.File("broken.xml"), sound.substr(0, sound.size() - 4) + "</c>");
  for (const auto& [name, message] :
       {std::pair{"dense.xml", std::string("too many XML nodes")},
        std::pair{"broken.xml", ", line " + std::to_string(kChildren + 2) + ": not well-formed"}}) {
    try {
      doc.LoadFromFile(dir.File(name));
      ADD_FAILURE() << name << " accepted";
    } catch (const ConvertError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
    check(doc, dir.File("utf16.xml"));
  }
}

TEST(XmlLayer, MissingAndOversizedFilesAreFileErrors) {
  XmlDocument doc;
  EXPECT_THROW(doc.LoadFromFile("/nonexistent/file.gpx"), FileError);
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
  // Values as the logger gives them (hundredths), exact ties at every decimal count, the ends
  // of the fast range and of the doubles, signs, and a million random doubles; each checked
  // against the general formatter and against {fmt}.
  std::vector<double> values = {0.125,
                                0.375,
                                359.25,
                                359.96,
                                2.5,
                                -0.0004,
                                0.0005,
                                -0.0,
                                0,
                                1e14,
                                -1e15,
                                5e15,
                                1e-300,
                                40.12,
                                -3.5,
                                0.5,
                                1.5,
                                -2.5,
                                0.25,
                                0.0625,
                                999.9995,
                                1e15 - 0.125,
                                -(1e15 - 1),
                                4503599627370495.5,
                                9007199254740993.0,
                                DBL_MIN,
                                -DBL_TRUE_MIN,
                                DBL_MAX,
                                -DBL_MAX,
                                0.9995,
                                9.5,
                                99.95,
                                1e-4};
  uint64_t x = 88172645463325252ULL;
  for (int i = 0; i < 340000; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    values.push_back(static_cast<int32_t>(x) / 100.0);
    values.push_back(static_cast<int32_t>(x >> 32) / 1e7);
    values.push_back(static_cast<double>(x % 100000000) / (1 + x % 997) - 50000);
  }
  for (const double v : values) {
    for (int d = 0; d <= 3; ++d) {
      const std::string fast = FormatGPXFixed(v, d);
      ASSERT_EQ(fast, FormatFixed(v, d)) << v << " with " << d;
      ASSERT_EQ(fast, fmt::format("{:.{}f}", v, d)) << v << " with " << d;
    }
    char ref[64];
    std::snprintf(ref, sizeof ref, "%.15g", v);
    ASSERT_EQ(std::strtod(FormatSignificant(v, 15).c_str(), nullptr), std::strtod(ref, nullptr))
        << ref;
  }
  // Beyond the finite doubles the general formatter's words are kept.
  for (const double v : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    EXPECT_EQ(FormatGPXFixed(v, 2), FormatFixed(v, 2));
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
