// How documents are read from and written to bytes, through XmlCursor::LoadFile/LoadBytes and
// SaveFile.
#include <gtest/gtest.h>

#include "profile/text_codec.h"
#include "profile/profile_files.h"
#include "profile/xml_cursor.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::Utf16LeFile;

std::u16string RootText(XmlCursor& x) {
  x.ResetPosition();
  x.FindElement();
  return x.GetText();
}

TEST(DocumentReading, ByteOrderMarksChooseTheEncoding) {
  const std::u16string body = u"<r>\u00F8\u2122\U0001F600</r>";
  std::string be = "\xFE\xFF";
  for (char16_t c : body) {
    be.push_back(static_cast<char>(c >> 8));
    be.push_back(static_cast<char>(c & 0xFF));
  }
  const struct {
    std::string bytes;
    int flag;
    const char* encoding;
  } cases[] = {
      {"\xEF\xBB\xBF" + ToUtf8(body), kDocUtf8Preamble, "UTF-8"},
      {Utf16LeFile(body), kDocUtf16LeFile, "UTF-16LE"},
      {be, kDocUtf16BeFile, "UTF-16BE"},
  };
  for (const auto& c : cases) {
    XmlCursor x;
    x.SetDocFlags(kDocUtf16BeFile | kDocUtf8Preamble | kDocUtf16LeFile);  // replaced by the file's
    ASSERT_TRUE(x.LoadBytes(c.bytes)) << x.GetResult();
    EXPECT_EQ(x.GetDocFlags(), c.flag);
    EXPECT_EQ(x.GetDocument(), body);
    EXPECT_EQ(x.GetResult().rfind(c.encoding, 0), 0u) << x.GetResult();
    // Saved back byte for byte.
    EXPECT_EQ(x.EncodedDocument(), c.bytes);
  }
}

TEST(DocumentReading, DeclaredEncodingsGoThroughTheirCodePages) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      // ISO-8859-8 (Hebrew): E0 is alef.
      {"<?xml version=\"1.0\" encoding=\"iso_8859-8\"?><r>\xE0</r>", u"\u05D0"},
      // Windows-1251 (Cyrillic): C6 is Zhe.
      {"<?xml version='1.0' encoding='windows-1251'?><r>\xC6</r>", u"\u0416"},
      // Shift_JIS by its IANA alias: 82 A0 is hiragana a.
      {"<?xml version=\"1.0\" encoding=\"csWindows31J\"?><r>\x82\xA0</r>", u"\u3042"},
      // GB2312 by its ISO-IR number: B0 A1 is U+554A.
      {"<?xml version=\"1.0\" encoding=\"iso-ir-58\"?><r>\xB0\xA1</r>", u"\u554A"},
      // Windows-1252 decoded as Windows does, 0x80 being the euro sign.
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><r>\x80\xE9</r>", u"\u20AC\u00E9"},
      // An HTML document names its charset in a meta element.
      {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\"></head><body>\xF6</body></html>",
       u""},
  };
  for (const auto& c : cases) {
    XmlCursor x;
    x.LoadBytes(c.bytes);
    if (!c.text.empty()) {
      EXPECT_EQ(RootText(x), c.text) << c.bytes;
    }
  }
  // KOI8-R F6 is Zhe: look into the body of the HTML document.
  XmlCursor html;
  html.LoadBytes(cases[5].bytes);
  html.ResetPosition();
  html.FindChildElement(u"body");
  EXPECT_EQ(html.GetChildText(), u"\u0416");
  EXPECT_EQ(html.GetResult().rfind("koi8-r", 0), 0u) << html.GetResult();
}

TEST(DocumentReading, WithoutAMarkOrDeclaration) {
  // Starts with '<', declares nothing: UTF-8.
  XmlCursor utf8;
  ASSERT_TRUE(utf8.LoadBytes("<r>\xC3\xB8</r>"));
  EXPECT_EQ(RootText(utf8), u"\u00F8");
  EXPECT_EQ(utf8.GetDocFlags() & kDocByteOrderFlags, 0);

  // Leading blanks and an unknown declared encoding: valid UTF-8 is detected.
  XmlCursor detected;
  ASSERT_TRUE(detected.LoadBytes("  <?xml version=\"1.0\" encoding=\"x-unheard-of\"?><r>\xE2\x84\xA2</r>"));
  EXPECT_EQ(RootText(detected), u"\u2122");
  EXPECT_NE(detected.GetResult().find("(used UTF-8 detection)"), std::string::npos);

  // Not UTF-8: the ANSI code page, Windows-1252.
  XmlCursor ansi;
  ASSERT_TRUE(ansi.LoadBytes(" <r>caf\xE9 \x80</r>"));
  EXPECT_EQ(RootText(ansi), u"caf\u00E9 \u20AC");
  EXPECT_NE(ansi.GetResult().find("ANSI "), std::string::npos);
}

TEST(DocumentReading, NulsAreRemovedAndCounted) {
  XmlCursor x;
  ASSERT_TRUE(x.LoadBytes(Utf16LeFile(std::u16string(u"<r>a\0b\0</r>", 11))));
  EXPECT_EQ(RootText(x), u"ab");
  EXPECT_NE(x.GetResult().find("(2 nulls removed)"), std::string::npos) << x.GetResult();
  // An odd trailing byte of a UTF-16 file is dropped.
  XmlCursor odd;
  ASSERT_TRUE(odd.LoadBytes(Utf16LeFile(u"<r>z</r>") + "\x01"));
  EXPECT_EQ(RootText(odd), u"z");
}

TEST(DocumentWriting, UsesTheDeclaredEncodingAndNotesLosses) {
  const struct {
    std::u16string doc;
    std::string bytes;
    bool lost;
  } cases[] = {
      {u"<?xml version=\"1.0\" encoding=\"iso-8859-8\"?><r>\u05D0</r>",
       "<?xml version=\"1.0\" encoding=\"iso-8859-8\"?><r>\xE0</r>", false},
      {u"<?xml version=\"1.0\" encoding=\"windows-1252\"?><r>\u20AC\u0416</r>",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?><r>\x80?</r>", true},
      {u"<?xml version=\"1.0\" encoding=\"shift_jis\"?><r>\u3042\u05D0</r>",
       "<?xml version=\"1.0\" encoding=\"shift_jis\"?><r>\x82\xA0?</r>", true},
      {u"<?xml version=\"1.0\" encoding=\"koi8-r\"?><r>\U0001F600\u0416</r>",  // one '?' for a surrogate pair
       "<?xml version=\"1.0\" encoding=\"koi8-r\"?><r>?\xF6</r>", true},
      {u"<r>\u00F8</r>", "<r>\xC3\xB8</r>", false},          // no declaration, starts with '<': UTF-8
      {u" <r>\u00E9</r>", " <r>\xE9</r>", false},            // neither: the ANSI code page
      {u" <r>\u0416</r>", " <r>\xD0\x96</r>", false},        // ... unless it cannot hold the text: UTF-8
  };
  for (const auto& c : cases) {
    XmlCursor x;
    x.SetDocument(c.doc);
    EXPECT_EQ(x.EncodedDocument(), c.bytes) << test::N(c.doc);
    EXPECT_EQ(x.GetResult().find("(chars lost in conversion!)") != std::string::npos, c.lost) << x.GetResult();
  }
  // A UTF-16 declaration without a mark: UTF-16LE without a mark.
  XmlCursor utf16;
  utf16.SetDocument(u"<?xml version=\"1.0\" encoding=\"utf-16\"?><r/>");
  EXPECT_EQ(utf16.EncodedDocument(), Utf16LeFile(u"<?xml version=\"1.0\" encoding=\"utf-16\"?><r/>", false));
  // A caller may ask for UTF-16LE with a mark.
  utf16.SetDocFlags(kDocUtf16LeFile);
  EXPECT_EQ(utf16.EncodedDocument(), Utf16LeFile(u"<?xml version=\"1.0\" encoding=\"utf-16\"?><r/>"));
}

TEST(DocumentFiles, AnEncodingThatWouldHideTheMarkupIsReadAndWrittenAsUtf8) {
  // UTF-7 writes '<' as "+ADw-", the EBCDIC pages write every ASCII character as another byte:
  // a document saved in one could not be read again. A document that declares one is taken as
  // UTF-8 both ways, so that it reads back as it was written ('+' stays itself).
  for (const char* encoding : {"UTF-7", "cp037"}) {
    const std::string head = std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\r\n<root><A>";
    const std::string bytes = head + "C++ 1+1 \xC3\xB8</A></root>\r\n";
    XmlCursor x;
    ASSERT_TRUE(x.LoadBytes(bytes)) << encoding;
    ASSERT_TRUE(x.FindChildElement(u"A")) << encoding;
    EXPECT_EQ(x.GetChildText(), u"C++ 1+1 \u00F8") << encoding;
    EXPECT_EQ(x.EncodedDocument(), bytes) << encoding;
    x.EnterElement();
    x.SetText(u"2+2 \u00E9");
    EXPECT_EQ(x.EncodedDocument(), head + "2+2 \xC3\xA9</A></root>\r\n") << encoding;
  }
}

TEST(DocumentFiles, TextThatWouldBeginLikeAByteOrderMarkIsWrittenWithTheUtf8Mark) {
  // Read as windows-1252, these bytes are text that starts with the characters of a mark;
  // written back as they were, they would read as UTF-16 or as UTF-8 without those characters.
  for (const std::string prefix : {"\x01\xFF\xFE", "\x01\xFE\xFF", "\x01\xEF\xBB\xBF"}) {
    XmlCursor x;
    // "\xE9" alone is no UTF-8: the whole document is windows-1252.
    ASSERT_TRUE(x.LoadBytes(prefix + "<r><A>1</A>\xE9</r>")) << prefix;
    const std::u16string text = x.GetDocument();
    ASSERT_EQ(text.substr(text.size() - 16), u"<r><A>1</A>\u00E9</r>");
    x.SetDocument(text.substr(1));  // the control character gone: the mark's characters lead
    const std::string written = x.EncodedDocument();
    XmlCursor again;
    ASSERT_TRUE(again.LoadBytes(written)) << prefix;
    EXPECT_EQ(again.GetDocument(), text.substr(1)) << prefix;
    again.ResetPosition();
    ASSERT_TRUE(again.FindChildElement(u"A")) << prefix;
    EXPECT_EQ(again.GetChildText(), u"1") << prefix;
  }
}

TEST(DocumentFiles, AFileWithoutMarkOrDeclarationReadAsUtf8IsWrittenAsUtf8) {
  // It does not start with '<', so the ANSI code page would be the guess; but it was UTF-8,
  // and windows-1252 cannot hold its Zhe.
  const std::string bytes = "\r\n<r>\xD0\x96</r>\r\n";
  XmlCursor x;
  ASSERT_TRUE(x.LoadBytes(bytes));
  EXPECT_EQ(RootText(x), u"\u0416");
  EXPECT_EQ(x.EncodedDocument(), bytes);
}

TEST(DocumentFiles, RoundTripsAreByteExactApartFromTheEdits) {
  test::TempDir dir;
  const std::u16string before =
      u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<root>\r\n  <!-- kept -->\r\n  <A>1</A>\r\n\t<B x='y'>&amp;</B>\r\n</root>\r\n";
  const std::string path = dir / "doc.xml";
  test::WriteFile(path, Utf16LeFile(before));
  XmlCursor x;
  ASSERT_TRUE(x.LoadFile(path, kMaxConfigFileSize));
  ASSERT_TRUE(x.SaveFile(path));
  EXPECT_EQ(test::ReadFile(path), Utf16LeFile(before));
  x.ResetPosition();
  x.FindChildElement(u"A");
  x.EnterElement();
  x.SetText(u"22");
  ASSERT_TRUE(x.SaveFile(path));
  std::u16string after = before;
  after.replace(after.find(u"<A>1"), 4, u"<A>22");
  EXPECT_EQ(test::ReadFile(path), Utf16LeFile(after));
}

TEST(DocumentFiles, MissingOrEmptyFilesDoNotLoad) {
  test::TempDir dir;
  XmlCursor x;
  EXPECT_FALSE(x.LoadFile(dir / "missing.xml", kMaxConfigFileSize));
  EXPECT_FALSE(x.LoadFile(dir.path(), kMaxConfigFileSize));  // a folder
  test::WriteFile(dir / "empty.xml", "");
  EXPECT_FALSE(x.LoadFile(dir / "empty.xml", kMaxConfigFileSize));
  EXPECT_NE(x.GetResult().find("Empty document"), std::string::npos);
  // A file that cannot be written: its folder does not exist.
  x.SetDocument(u"<r/>");
  EXPECT_FALSE(x.SaveFile(dir / "no/such/folder/x.xml"));
}

}  // namespace
}  // namespace orv
