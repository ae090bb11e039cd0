#pragma once
// How a document's bytes become its UTF-16 text and back: byte order marks, declared
// encodings (XML declaration, HTML meta charset) resolved to code pages, UTF-8 detection,
// and the ANSI fallback (Windows-1252).
#include <string>
#include <string_view>

namespace orv {

// Document flags kept with an XML document.
enum XmlDocFlag : int {
  kDocUtf16LeFile = 0x1,    // the file begins (or is to begin) with FF FE and is UTF-16LE
  kDocUtf16BeFile = 0x2,    // FE FF, UTF-16BE
  kDocUtf8Preamble = 0x4,   // EF BB BF, UTF-8
  kDocIgnoreCase = 0x8,     // element names compared without regard to ASCII case
  kDocByteOrderFlags = kDocUtf16LeFile | kDocUtf16BeFile | kDocUtf8Preamble,
};

// Decodes a file's bytes. Sets the byte order flags in `flags` (others are kept), appends to
// `result` what was found: the encoding, the length and the notes "(%d nulls removed)",
// "(used UTF-8 detection)" or "ANSI ". NUL characters are removed from the text.
std::u16string DecodeDocumentBytes(std::string_view bytes, int& flags, std::string& result);

// Encodes a document's text for its file: the byte order mark of `flags` first; UTF-16 in
// that byte order with a UTF-16 flag, UTF-8 with the UTF-8 preamble flag; otherwise the
// encoding declared in the XML declaration, UTF-8 when none is declared and the text starts
// with '<', else Windows-1252. Characters the target cannot hold are replaced, and `result`
// then notes "(chars lost in conversion!)".
std::string EncodeDocumentText(std::u16string_view text, int flags, std::string& result);

// The value of the encoding pseudo-attribute of an XML declaration at the start of `text`
// (after blanks), or empty.
std::u16string XmlDeclaredEncoding(std::u16string_view text);
// The charset in the content of a <meta http-equiv="Content-Type" ...> element, or empty.
std::u16string HtmlMetaCharset(std::u16string_view text);

}  // namespace orv
