#include "profile/text_codec.h"

#include "base/byte_order.h"
#include "base/text.h"
#include "profile/charsets.h"
#include "profile/xml_scan.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>

#include <map>
#include <mutex>
#include <string>

namespace orv {
namespace {

constexpr int kCodePageUtf16Le = 1200;
constexpr int kCodePageUtf16Be = 1201;
constexpr int kCodePageAnsi = 1252;
constexpr int kCodePageUtf8 = 65001;
constexpr size_t kDetectionBytes = 1024;

std::u16string FromUtf16Bytes(std::string_view bytes, bool bigEndian) {
  std::u16string out(bytes.size() / 2, u'\0');
  if (bigEndian == (std::endian::native == std::endian::big)) {
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
  }
  const uint8_t* in = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t i = 0; i < out.size(); ++i) out[i] = bigEndian ? GetBe16(in + 2 * i) : GetLe16(in + 2 * i);
  return out;
}

std::string ToUtf16Bytes(std::u16string_view text, bool bigEndian) {
  std::string out(text.size() * 2, '\0');
  if (bigEndian == (std::endian::native == std::endian::big)) {
    std::memcpy(out.data(), text.data(), out.size());
    return out;
  }
  uint8_t* at = reinterpret_cast<uint8_t*>(out.data());
  for (size_t i = 0; i < text.size(); ++i) {
    if (bigEndian)
      PutBe16(at + 2 * i, text[i]);
    else
      PutLe16(at + 2 * i, text[i]);
  }
  return out;
}

// Converts with iconv; on a sequence the source cannot decode (or the target cannot hold)
// `replacement` is written, `skip` input bytes are stepped over and `lost` counts it.
// False if iconv has no such conversion.
bool Convert(const char* to, const char* from, std::string_view in, std::string_view replacement, size_t skip,
             std::string& out, size_t& lost) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  out.resize(in.size() * 2 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  size_t used = 0;
  while (srcLeft > 0) {
    char* dst = out.data() + used;
    size_t dstLeft = out.size() - used;
    size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    used = out.size() - dstLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL (cut off at the end): replace and go on.
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    std::memcpy(out.data() + used, replacement.data(), replacement.size());
    used += replacement.size();
    ++lost;
    size_t step = skip < srcLeft ? skip : srcLeft;
    // From UTF-16 a character the target cannot hold may be a surrogate pair: step over both halves.
    if (skip == 2 && srcLeft >= 4 && std::strcmp(from, "UTF-16LE") == 0) {
      unsigned high = static_cast<unsigned char>(src[1]), low = static_cast<unsigned char>(src[3]);
      if (high >= 0xD8 && high <= 0xDB && low >= 0xDC && low <= 0xDF) step = 4;
    }
    src += step;
    srcLeft -= step;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // Flush the shift state of stateful encodings (ISO-2022).
  for (;;) {
    char* dst = out.data() + used;
    size_t dstLeft = out.size() - used;
    size_t r = ::iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    used = out.size() - dstLeft;
    if (r == static_cast<size_t>(-1) && errno == E2BIG) {
      out.resize(out.size() * 2 + 16);
      continue;
    }
    break;
  }
  out.resize(used);
  ::iconv_close(cd);
  return true;
}

// Whether iconv's converter writes the printable ASCII characters and line breaks as the same
// single bytes. Only then can a document in it be told by its declaration when it is read
// again, and does its markup read alike both ways; UTF-7 (which writes '<' as "+ADw-") and the
// EBCDIC pages do not, and a document declared in one is read and written as UTF-8 instead.
bool KeepsAscii(const char* iconvName) {
  static std::mutex mutex;
  static std::map<std::string, bool> known;
  std::lock_guard<std::mutex> lock(mutex);
  if (auto it = known.find(iconvName); it != known.end()) return it->second;
  std::string ascii = "\t\r\n";
  for (char c = 0x20; c < 0x7F; ++c) ascii.push_back(c);
  std::string utf16;
  for (char c : ascii) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  std::string out;
  size_t lost = 0;
  const bool keeps = Convert(iconvName, "UTF-16LE", utf16, "?", 2, out, lost) && lost == 0 && out == ascii;
  known.emplace(iconvName, keeps);
  return keeps;
}

std::u16string RemoveNuls(std::u16string text, std::string& result) {
  if (xml::FindChar(text, 0, u'\0') == std::u16string_view::npos) return text;
  size_t count = 0;
  size_t w = 0;
  for (size_t r = 0; r < text.size(); ++r) {
    if (text[r] == 0) {
      ++count;
      continue;
    }
    text[w++] = text[r];
  }
  text.resize(w);
  if (count) result += " (" + std::to_string(count) + " nulls removed)";
  return text;
}

int CodePageOf(std::u16string_view charsetName) {
  return CodePageFromCharsetName(ToUtf8(charsetName));
}

}  // namespace

std::u16string XmlDeclaredEncoding(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && xml::IsBlank(text[i])) ++i;
  if (text.substr(i, 5) != u"<?xml" || i + 5 >= text.size() || !xml::IsBlank(text[i + 5])) return {};
  size_t end = text.find(u"?>", i);
  if (end == std::u16string_view::npos) return {};
  // "xml version=... encoding=..." read like the attributes of a tag named xml.
  auto value = xml::FindTagAttribute(text.substr(i + 2, end - i - 2), u"encoding", false);
  return value ? std::u16string(*value) : std::u16string();
}

std::u16string HtmlMetaCharset(std::u16string_view text) {
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != u'<' || at + 5 > text.size()) continue;
    if (!xml::SameName(text.substr(at + 1, 4), u"meta", true)) continue;
    if (at + 5 < text.size() && !xml::IsBlank(text[at + 5]) && text[at + 5] != u'/') continue;
    size_t end = text.find(u'>', at);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view tag = text.substr(at, end - at);
    auto equiv = xml::FindTagAttribute(tag, u"http-equiv", true);
    auto content = xml::FindTagAttribute(tag, u"content", true);
    if (!equiv || !content || !xml::SameName(*equiv, u"Content-Type", true)) continue;
    std::u16string_view c = *content;
    for (size_t k = 0; k + 8 <= c.size(); ++k) {
      if (!xml::SameName(c.substr(k, 8), u"charset=", true)) continue;
      size_t start = k + 8, stop = start;
      while (stop < c.size() && c[stop] != u';' && !xml::IsBlank(c[stop]) && c[stop] != u'"' && c[stop] != u'\'') ++stop;
      return std::u16string(c.substr(start, stop - start));
    }
  }
  return {};
}

std::u16string DecodeDocumentBytes(std::string_view bytes, int& flags, std::string& result) {
  flags &= ~kDocByteOrderFlags;
  std::string encoding;
  int codePage = 0;
  const auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (startsWith("\xEF\xBB\xBF")) {
    flags |= kDocUtf8Preamble;
    encoding = "UTF-8";
    codePage = kCodePageUtf8;
    bytes.remove_prefix(3);
  } else if (startsWith("\xFF\xFE")) {
    flags |= kDocUtf16LeFile;
    encoding = "UTF-16LE";
    codePage = kCodePageUtf16Le;
    bytes.remove_prefix(2);
  } else if (startsWith("\xFE\xFF")) {
    flags |= kDocUtf16BeFile;
    encoding = "UTF-16BE";
    codePage = kCodePageUtf16Be;
    bytes.remove_prefix(2);
  } else {
    std::u16string head = ToUtf16(bytes.substr(0, kDetectionBytes));
    std::u16string declared = XmlDeclaredEncoding(head);
    if (declared.empty()) declared = HtmlMetaCharset(head);
    if (!declared.empty()) {
      encoding = ToUtf8(declared);
      codePage = CodePageOf(declared);
    } else if (!bytes.empty() && bytes[0] == '<') {
      encoding = "UTF-8";
      codePage = kCodePageUtf8;
    }
  }

  std::u16string text;
  std::string notes;
  bool decoded = true;
  switch (codePage) {
    case kCodePageUtf16Le: text = FromUtf16Bytes(bytes, false); break;
    case kCodePageUtf16Be: text = FromUtf16Bytes(bytes, true); break;
    case kCodePageUtf8: text = ToUtf16(bytes); break;
    case kCodePageAnsi: text = DecodeWindows1252(bytes); break;
    case 0: decoded = false; break;
    default: {
      const char* name = IconvNameForCodePage(codePage);
      std::string utf16;
      size_t lost = 0;
      if (name && KeepsAscii(name) && Convert("UTF-16LE", name, bytes, "\xFD\xFF", 1, utf16, lost)) {
        text = FromUtf16Bytes(utf16, false);
      } else {
        decoded = false;
      }
    }
  }
  if (!decoded) {
    // No encoding we know: UTF-8 if the bytes are well-formed UTF-8, else the ANSI code page.
    if (IsValidUtf8(bytes)) {
      text = ToUtf16(bytes);
      notes = " (used UTF-8 detection)";
    } else {
      text = DecodeWindows1252(bytes);
      notes = " ANSI windows-1252";
    }
  }
  result += encoding.empty() ? std::string("no encoding") : encoding;
  result += notes;
  text = RemoveNuls(std::move(text), result);
  result += " length " + std::to_string(text.size());
  return text;
}

std::string EncodeDocumentText(std::u16string_view text, int flags, std::string& result) {
  std::string out;
  if (flags & kDocUtf16LeFile) {
    result += "UTF-16LE";
    return "\xFF\xFE" + ToUtf16Bytes(text, false);
  }
  if (flags & kDocUtf16BeFile) {
    result += "UTF-16BE";
    return "\xFE\xFF" + ToUtf16Bytes(text, true);
  }
  if (flags & kDocUtf8Preamble) {
    result += "UTF-8";
    return "\xEF\xBB\xBF" + ToUtf8(text);
  }
  std::u16string declared = XmlDeclaredEncoding(text.substr(0, kDetectionBytes));
  int codePage;
  if (!declared.empty()) {
    codePage = CodePageOf(declared);
    if (codePage == 0) codePage = kCodePageUtf8;  // an encoding we do not know: UTF-8 keeps every character
  } else {
    codePage = !text.empty() && text[0] == u'<' ? kCodePageUtf8 : kCodePageAnsi;
  }
  size_t lost = 0;
  switch (codePage) {
    case kCodePageUtf8: result += "UTF-8"; out = ToUtf8(text); break;
    case kCodePageUtf16Le: result += "UTF-16LE"; out = ToUtf16Bytes(text, false); break;
    case kCodePageUtf16Be: result += "UTF-16BE"; out = ToUtf16Bytes(text, true); break;
    case kCodePageAnsi:
      out = EncodeWindows1252(text, &lost);
      if (lost && declared.empty()) {
        // Nothing names the encoding and windows-1252 cannot hold the text (it was read as
        // UTF-8, or given characters since): UTF-8 keeps every character and reads back as such.
        lost = 0;
        out = ToUtf8(text);
        result += "UTF-8";
      } else {
        result += "windows-1252";
      }
      break;
    default: {
      const char* name = IconvNameForCodePage(codePage);
      std::string utf16 = ToUtf16Bytes(text, false);
      if (name && KeepsAscii(name) && Convert(name, "UTF-16LE", utf16, "?", 2, out, lost)) {
        result += name;
      } else {
        result += "UTF-8";
        out = ToUtf8(text);
      }
    }
  }
  if (lost) result += " (chars lost in conversion!)";
  // Bytes that begin like a byte order mark would be read back in another encoding (a text
  // read as windows-1252 that starts with "\u00FF\u00FE"): such a text goes as UTF-8 with its
  // mark, which reads back as the same text.
  for (std::string_view mark : {std::string_view("\xEF\xBB\xBF"), std::string_view("\xFF\xFE"), std::string_view("\xFE\xFF")}) {
    if (out.compare(0, mark.size(), mark) == 0) {
      result += ", written as UTF-8 with its mark";
      return "\xEF\xBB\xBF" + ToUtf8(text);
    }
  }
  return out;
}

}  // namespace orv
