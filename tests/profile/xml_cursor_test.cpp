#include "profile/xml_cursor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/test_support.h"

namespace orv {
namespace {

using test::N;
using test::U;

TEST(XmlCursorNavigation, ChildSearchGoesOnFromTheChildPosition) {
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(u"<root><first>1</first><second>2</second></root>"));
  EXPECT_TRUE(x.FindChildElement(u"second"));
  EXPECT_FALSE(x.FindChildElement(u"first"));
  EXPECT_EQ(x.GetChildText(), u"2");  // the miss changed nothing
  x.ResetChildPosition();
  EXPECT_TRUE(x.FindChildElement(u"first"));
  EXPECT_EQ(x.GetChildText(), u"1");
}

TEST(XmlCursorNavigation, FreshCursorLandsOnRootAndEntersIt) {
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(u"<?xml version=\"1.0\"?>\r\n<!-- c --><root><a/></root>"));
  EXPECT_EQ(x.MainPosition(), 0);
  EXPECT_TRUE(x.FindElement());
  EXPECT_EQ(x.GetTagName(), u"root");
  EXPECT_TRUE(x.EnterElement());
  EXPECT_EQ(x.MainPosition(), 0);
  EXPECT_NE(x.ParentPosition(), 0);
  EXPECT_TRUE(x.AddElement(u"b", u"2"));
  EXPECT_EQ(x.GetDocument(), u"<?xml version=\"1.0\"?>\r\n<!-- c --><root><a/><b>2</b>\r\n</root>");
  EXPECT_TRUE(x.LeaveElement());
  EXPECT_EQ(x.GetTagName(), u"root");
  EXPECT_EQ(x.GetChildTagName(), u"b");
  EXPECT_FALSE(x.LeaveElement());  // the root has no parent position
}

TEST(XmlCursorNavigation, EnterLeaveAndNamesAreExact) {
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(u"<r><A><b>1</b><B>2</B></A><a>3</a></r>"));
  EXPECT_FALSE(x.EnterElement());  // no main position yet
  ASSERT_TRUE(x.FindElement(u"r"));
  EXPECT_FALSE(x.FindChildElement(u"R"));
  ASSERT_TRUE(x.FindChildElement(u"A"));
  ASSERT_TRUE(x.EnterElement());  // main = A, parent = r
  EXPECT_EQ(x.GetTagName(), u"A");
  ASSERT_TRUE(x.FindChildElement(u"B"));
  EXPECT_EQ(x.GetChildText(), u"2");
  ASSERT_TRUE(x.LeaveElement());  // main = r, child = A
  EXPECT_TRUE(x.FindChildElement(u"a"));
  EXPECT_EQ(x.GetChildText(), u"3");
  EXPECT_FALSE(x.FindElement(u"r"));  // the root has no following sibling

  // With the ignore-case flag, names match in any ASCII case.
  x.SetDocFlags(x.GetDocFlags() | kDocIgnoreCase);
  x.ResetPosition();
  ASSERT_TRUE(x.FindChildElement(u"a"));
  EXPECT_EQ(x.GetChildTagName(), u"A");
}

TEST(XmlCursorNavigation, CommentsTextAndInstructionsAreSkipped) {
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(u"<r>text<!-- <x/> --><?pi <y/>?><![CDATA[<z/>]]><q/></r>"));
  ASSERT_TRUE(x.FindChildElement());
  EXPECT_EQ(x.GetChildTagName(), u"q");
  EXPECT_FALSE(x.FindChildElement());
}

TEST(XmlCursorContent, TextIsDecodedOnlyForTextElements) {
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(
      u"<r><A>x &amp; y</A><B><C/></B><D/><E><![CDATA[a&amp;<b>]]> &lt;c<!-- z --></E></r>"));
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"A", u"x & y"}, {u"B", u""}, {u"D", u""}, {u"E", u"a&amp;<b> <c"},
  };
  for (const auto& [name, text] : cases) {
    x.ResetChildPosition();
    ASSERT_TRUE(x.FindChildElement(name)) << N(name);
    EXPECT_EQ(x.GetChildText(), text) << N(name);
  }
  EXPECT_EQ(XmlCursor().GetText(), u"");
}

TEST(XmlCursorContent, ReferencesDecodeByTheirRules) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"&lt;&gt;&amp;&apos;&quot;", u"<>&'\""},
      {u"&#65;&#x42;&#x43;&#x1F600;", u"ABC\U0001F600"},
      {u"&oslash;&mdash;&trade;&nbsp;&euro;", u"\u00F8\u2014\u2122\u00A0\u20AC"},
      {u"&Oslash;&AElig;&Dagger;", u"\u00D8\u00C6\u2021"},  // names that differ from others by case
      {u"&AMP;&Eacute;&TRADE;&thetasym;", u"&\u00C9\u2122\u03D1"},
      {u"&abcdefghij;", u"&abcdefghij;"},   // a name longer than nine characters stays
      {u"&nosuchname;&bogus;", u"&nosuchname;&bogus;"},
      {u"&amp &#; &#x; &#0; &#xD800; &#1114112;", u"&amp &#; &#x; &#0; &#xD800; &#1114112;"},
      {u"a & b", u"a & b"},
      {u"&#xZZ;&#12a;", u"&#xZZ;&#12a;"},
  };
  for (const auto& [raw, decoded] : cases) EXPECT_EQ(XmlCursor::Decode(raw), decoded) << N(raw);
}

TEST(XmlCursorContent, AttributesOfTheChildElement) {
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(u"<r><c a=\"1 &amp; 2\" b='x>y' c=plain d/></r>"));
  ASSERT_TRUE(x.FindChildElement(u"c"));
  EXPECT_EQ(x.GetChildAttribute(u"a"), u"1 & 2");
  EXPECT_EQ(x.GetChildAttribute(u"b"), u"x>y");
  EXPECT_EQ(x.GetChildAttribute(u"c"), u"plain");
  EXPECT_EQ(x.GetChildAttribute(u"d"), u"");
  EXPECT_EQ(x.GetChildAttribute(u"missing"), u"");
}

TEST(XmlCursorEdits, AddElementEscapesAndWritesEmptyTags) {
  XmlCursor x;
  x.SetDocument(u"<r/>");
  x.FindElement();
  x.EnterElement();
  EXPECT_TRUE(x.AddElement(u"N"));
  EXPECT_TRUE(x.AddElement(u"N", u"a<b"));
  EXPECT_TRUE(x.AddElement(u"Q", u"\"quotes\" & 'apostrophes' >"));
  EXPECT_TRUE(x.AddElement(u"I", -12));
  EXPECT_FALSE(x.AddElement(u""));
  EXPECT_FALSE(x.AddElement(u"bad name"));
  EXPECT_EQ(x.GetDocument(), u"<r>\r\n<N/>\r\n<N>a&lt;b</N>\r\n<Q>\"quotes\" &amp; 'apostrophes' &gt;</Q>\r\n<I>-12</I>\r\n</r>");
  x.ResetPosition();
  x.FindChildElement(u"Q");
  EXPECT_EQ(x.GetChildText(), u"\"quotes\" & 'apostrophes' >");
}

TEST(XmlCursorEdits, NestedBuildGivesOneElementPerLine) {
  XmlCursor x;
  x.SetDocument(u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n");
  EXPECT_FALSE(x.IsWellFormed());
  ASSERT_TRUE(x.AddElement(u"root"));
  ASSERT_TRUE(x.EnterElement());
  x.AddElement(u"PROFILE_ID", 0);
  x.AddElement(u"PROFILE_1");
  x.EnterElement();
  x.AddElement(u"REGION", 0);
  x.AddElement(u"SERVER_NAME");
  x.LeaveElement();
  x.AddElement(u"PROFILE_2");
  ASSERT_TRUE(x.AddElement(u"x"));
  EXPECT_EQ(x.GetDocument(),
            u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<root>\r\n<PROFILE_ID>0</PROFILE_ID>\r\n<PROFILE_1>\r\n"
            u"<REGION>0</REGION>\r\n<SERVER_NAME/>\r\n</PROFILE_1>\r\n<PROFILE_2/>\r\n<x/>\r\n</root>\r\n");
  // A second root is refused.
  x.ResetPosition();
  EXPECT_FALSE(x.AddElement(u"other"));
}

TEST(XmlCursorEdits, SetTextReplacesContentKeepingAttributes) {
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(u"<r><a k=\"v\"/><b>old</b><c><d/><e>x</e></c><f/></r>"));
  x.FindElement();
  x.EnterElement();
  ASSERT_TRUE(x.FindElement(u"a"));
  EXPECT_TRUE(x.SetText(u"1<2"));
  ASSERT_TRUE(x.FindElement(u"b"));
  EXPECT_TRUE(x.SetText(u""));
  ASSERT_TRUE(x.FindElement(u"c"));
  EXPECT_TRUE(x.SetText(u"flat"));
  EXPECT_FALSE(x.FindChildElement(u"d"));  // the children are gone
  ASSERT_TRUE(x.FindElement(u"f"));
  EXPECT_TRUE(x.SetText(u"end"));
  EXPECT_EQ(x.GetDocument(), u"<r><a k=\"v\">1&lt;2</a><b/><c>flat</c><f>end</f></r>");
  EXPECT_EQ(x.GetAttribute(u"k"), u"");
  x.ResetPosition();
  x.FindChildElement(u"a");
  EXPECT_EQ(x.GetChildAttribute(u"k"), u"v");
  EXPECT_EQ(x.GetChildText(), u"1<2");
  XmlCursor fresh;
  fresh.SetDocument(x.GetDocument());
  EXPECT_EQ(x.DescribeIndex(), fresh.DescribeIndex());
  EXPECT_FALSE(XmlCursor().SetText(u"no position"));

  // An empty-element tag written with a doubled slash becomes a proper start tag.
  XmlCursor slashes;
  ASSERT_TRUE(slashes.SetDocument(u"<r><e a='1' //></r>"));
  slashes.FindChildElement(u"e");
  slashes.EnterElement();
  slashes.SetText(u"x");
  EXPECT_EQ(slashes.GetDocument(), u"<r><e a='1' >x</e></r>");
  EXPECT_TRUE(XmlCursor().SetDocument(slashes.GetDocument()));
}

TEST(XmlCursorEdits, AppendingToAParentWithTextOrALastChild) {
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(u"<r><p>text</p><q></q><s>\n<t/>\n</s></r>"));
  x.FindElement();
  x.EnterElement();
  for (std::u16string_view name : {u"p", u"q", u"s"}) {
    x.ResetPosition();
    x.FindElement();
    x.EnterElement();
    ASSERT_TRUE(x.FindElement(name));
    x.EnterElement();
    ASSERT_TRUE(x.AddElement(u"n"));
  }
  // After a child ended by LF the new one follows that line and ends with LF too.
  EXPECT_EQ(x.GetDocument(), u"<r><p>text\r\n<n/>\r\n</p><q>\r\n<n/>\r\n</q><s>\n<t/>\n<n/>\n</s></r>");
  XmlCursor fresh;
  fresh.SetDocument(x.GetDocument());
  EXPECT_EQ(x.DescribeIndex(), fresh.DescribeIndex());
}

// Random edits anywhere in a document keep the index exactly as a fresh parse of the
// resulting text would build it.
TEST(XmlCursorEdits, IndexStaysConsistentUnderRandomEdits) {
  std::mt19937 random(20261210);
  XmlCursor x;
  x.SetDocument(u"<?xml version=\"1.0\"?>\r\n<root>\r\n<a><b>1</b><c/></a>\r\n<d>t</d>\r\n</root>\r\n");
  for (int step = 0; step < 3000; ++step) {
    // Walk to a random element: random finds, enters and leaves.
    x.ResetPosition();
    x.FindElement();
    int moves = static_cast<int>(random() % 6);
    for (int m = 0; m < moves; ++m) {
      switch (random() % 3) {
        case 0: x.FindElement(); break;
        case 1: if (x.FindChildElement() || x.MainPosition()) x.EnterElement(); break;
        case 2: x.LeaveElement(); break;
      }
    }
    const std::u16string name = random() % 2 ? u"e" : u"LONGER_NAME";
    switch (random() % 4) {
      case 0: x.SetText(random() % 3 ? u"v<&>" + test::U(std::to_string(step)) : u""); break;
      case 1: x.AddElement(name, random() % 2 ? u"" : u"t"); break;
      case 2: x.AddElement(name, step); break;
      case 3: if (x.FindChildElement() && random() % 2) x.SetText(u"child"); break;
    }
    if (step % 100 == 99) {
      XmlCursor fresh;
      ASSERT_TRUE(fresh.SetDocument(x.GetDocument())) << fresh.GetResult();
      ASSERT_EQ(x.DescribeIndex(), fresh.DescribeIndex()) << "after step " << step;
    }
  }
}

TEST(XmlCursorParsing, DeepNestingNeedsNoStack) {
  constexpr int depth = 200000;
  std::u16string doc;
  doc.reserve(depth * 8);
  for (int i = 0; i < depth; ++i) doc += u"<e>";
  doc += u"deep";
  for (int i = 0; i < depth; ++i) doc += u"</e>";
  XmlCursor x;
  ASSERT_TRUE(x.SetDocument(doc));
  const std::string index = x.DescribeIndex();
  EXPECT_EQ(std::count(index.begin(), index.end(), '\n'), depth);
  EXPECT_NE(index.find(std::to_string(depth - 1) + " e " + std::to_string(3 * (depth - 1)) + "+11\n"), std::string::npos);
  ASSERT_TRUE(x.FindChildElement(u"e"));
  x.EnterElement();
  ASSERT_TRUE(x.FindChildElement(u"e"));
  EXPECT_EQ(x.GetChildText(), u"");  // it holds elements, not text
  // Unclosed to any depth: every element is reported, none overflows anything.
  XmlCursor open;
  EXPECT_FALSE(open.SetDocument(doc.substr(0, 3 * depth)));
  EXPECT_NE(open.GetResult().find("Element 'e' at offset 0 not ended"), std::string::npos);
}

TEST(XmlCursorParsing, DiagnosticsNameTheFault) {
  const struct {
    std::u16string_view doc;
    std::string_view message;
  } cases[] = {
      {u"", "Empty document"},
      {u"<?xml version=\"1.0\"?>", "No root element"},
      {u"<a/><b/>", "Root element has sibling"},
      {u"<a></b></a>", "End tag 'b' at offset 3 does not match start tag 'a' at offset 0"},
      {u"</b><a/>", "No start tag for end tag 'b' at offset 0"},
      {u"<a><b>", "Element 'b' at offset 3 not ended"},
      {u"<a><b", "Element tag at offset 3 unterminated"},
      {u"<a></a", "Element end tag at offset 3 unterminated"},
      {u"<a><![CDATA[x</a>", "CDATA Section at offset 3 unterminated"},
      {u"<a><?pi x</a>", "Processing instruction at offset 3 unterminated"},
      {u"<a><!-- x</a>", "Comment at offset 3 unterminated"},
      {u"<!DOCTYPE a [ <!ENTITY x \">\"> <a/>", "Doctype at offset 0 unterminated"},
      {u"<a>< b</a>", "Incorrect tag name character at offset 3"},
  };
  for (const auto& c : cases) {
    XmlCursor x;
    EXPECT_FALSE(x.SetDocument(c.doc)) << c.message;
    EXPECT_NE(x.GetResult().find(c.message), std::string::npos) << x.GetResult();
  }
}

TEST(XmlCursorParsing, RecoversFromMismatchedTagsAndStaysReadable) {
  XmlCursor x;
  // b is ended by a's end tag; the document is not well-formed but can still be walked.
  EXPECT_FALSE(x.SetDocument(u"<a><b><c>1</c></a>"));
  ASSERT_TRUE(x.FindElement(u"a"));
  ASSERT_TRUE(x.FindChildElement(u"b"));
  x.EnterElement();
  ASSERT_TRUE(x.FindChildElement(u"c"));
  EXPECT_EQ(x.GetChildText(), u"1");
  // A doctype with an internal subset and quoted '>' is skipped whole.
  EXPECT_TRUE(XmlCursor().SetDocument(u"<!DOCTYPE r [ <!ENTITY e \"a>b\"> ]><r/>"));
  // Quotes count only in attribute values.
  EXPECT_TRUE(XmlCursor().SetDocument(u"<r a=\"x>y\" it's='1'/>"));
}

}  // namespace
}  // namespace orv
