// Fuzz target for XmlCursor: any bytes are read as a file (every encoding path), walked,
// read and edited; the index after the edits must be the one a fresh parse of the text builds,
// and a saved document must read back as the same text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "profile/xml_cursor.h"

namespace {

#define CHECK(condition)                                      \
  do {                                                        \
    if (!(condition)) {                                       \
      std::fprintf(stderr, "check failed: %s\n", #condition); \
      std::abort();                                           \
    }                                                         \
  } while (0)

// Visits every element depth-first without recursion and reads it.
void Walk(orv::XmlCursor& x) {
  x.ResetPosition();
  if (!x.FindElement()) return;
  int budget = 20000;
  for (;;) {
    (void)x.GetText();
    (void)x.GetAttribute(u"encoding");
    if (--budget == 0) return;
    if (x.FindChildElement()) {
      (void)x.GetChildText();
      (void)x.GetChildAttribute(u"a");
      x.EnterElement();
      continue;
    }
    while (!x.FindElement()) {
      if (!x.LeaveElement()) return;
      x.ResetChildPosition();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  orv::XmlCursor x;
  const bool wellFormed = x.LoadBytes(bytes);
  Walk(x);

  // Edits steered by the input's bytes.
  x.ResetPosition();
  for (size_t i = 0; i < size && i < 64; ++i) {
    switch (data[i] % 7) {
      case 0: x.FindElement(); break;
      case 1: x.FindChildElement(); break;
      case 2: x.EnterElement(); break;
      case 3: x.LeaveElement(); break;
      case 4: x.SetText(data[i] & 0x80 ? u"a<&>b" : u""); break;
      case 5: x.AddElement(u"N", static_cast<int32_t>(i)); break;
      case 6: x.AddElement(u"M", data[i] & 0x40 ? u"t&t" : u""); break;
    }
  }
  const std::u16string text = x.GetDocument();
  if (wellFormed) {
    orv::XmlCursor fresh;
    CHECK(fresh.SetDocument(text));
    CHECK(fresh.DescribeIndex() == x.DescribeIndex());
  }

  // What is written reads back as the same text whenever the encoding can hold every
  // character of it (UTF-16 and UTF-8 always can).
  if (x.GetDocFlags() & orv::kDocByteOrderFlags) {
    const std::string saved = x.EncodedDocument();
    orv::XmlCursor again;
    again.LoadBytes(saved);
    std::u16string expected;
    for (char16_t c : text) {
      if (c) expected.push_back(c);
    }
    // Unpaired surrogates cannot be written as UTF-8.
    bool utf8 = x.GetDocFlags() & orv::kDocUtf8Preamble;
    bool pairedOnly = true;
    for (size_t i = 0; i < expected.size(); ++i) {
      char16_t c = expected[i];
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < expected.size() && expected[i + 1] >= 0xDC00 && expected[i + 1] <= 0xDFFF) {
        ++i;
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        pairedOnly = false;
      }
    }
    if (!utf8 || pairedOnly) CHECK(again.GetDocument() == expected);
  }

  // The same bytes taken directly as UTF-16 text.
  orv::XmlCursor direct;
  direct.SetDocument(std::u16string_view(reinterpret_cast<const char16_t*>(data), size / 2));
  Walk(direct);
  return 0;
}
