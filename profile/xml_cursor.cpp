#include "profile/xml_cursor.h"

#include "base/files.h"
#include "base/text.h"
#include "profile/html_entities.h"
#include "profile/numbers.h"
#include "profile/xml_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>


namespace orv {
namespace {

constexpr size_t npos = std::u16string_view::npos;
using xml::FindChar;
constexpr std::u16string_view kLineEnd = u"\r\n";

size_t FindText(std::u16string_view t, size_t from, std::u16string_view what) {
  for (size_t i = FindChar(t, from, what[0]); i != npos; i = FindChar(t, i + 1, what[0])) {
    if (t.substr(i, what.size()) == what) return i;
  }
  return npos;
}

std::string Narrow(std::u16string_view s) { return ToUtf8(s); }

// Appends the character of a reference `&name;` to `out`; false if it is not one we decode.
bool DecodeReference(std::u16string_view name, std::u16string& out) {
  if (name.empty() || name.size() > kMaxEntityNameLength) return false;
  if (name[0] == u'#') {
    uint32_t cp = 0;
    size_t i = 1;
    int base = 10;
    if (i < name.size() && name[i] == u'x') {
      base = 16;
      ++i;
    }
    if (i >= name.size()) return false;
    for (; i < name.size(); ++i) {
      char16_t c = name[i];
      uint32_t d;
      if (c >= u'0' && c <= u'9') d = c - u'0';
      else if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
      else if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
      else return false;
      cp = cp * base + d;
      if (cp > 0x10FFFF) return false;
    }
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    AppendCodePoint(out, cp);
    return true;
  }
  char ascii[kMaxEntityNameLength];
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] > 0x7F) return false;
    ascii[i] = static_cast<char>(name[i]);
  }
  std::string_view n(ascii, name.size());
  char16_t c = LookUpHtmlEntity(n);
  if (!c && (n == "apos" || xml::SameName(name, u"apos", true))) c = u'\'';
  if (!c) return false;
  out.push_back(c);
  return true;
}

void DecodeTextRun(std::u16string_view run, std::u16string& out) {
  for (size_t i = 0; i < run.size();) {
    size_t amp = run.find(u'&', i);
    if (amp == npos) {
      out.append(run.substr(i));
      return;
    }
    out.append(run.substr(i, amp - i));
    size_t semi = run.substr(amp + 1, kMaxEntityNameLength + 1).find(u';');
    if (semi != npos && DecodeReference(run.substr(amp + 1, semi), out)) {
      i = amp + 1 + semi + 1;
    } else {
      out.push_back(u'&');
      i = amp + 1;
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Gap buffer

void XmlCursor::GapText::Assign(std::u16string text) {
  buffer_ = std::move(text);
  gapStart_ = buffer_.size();
  gapLength_ = 0;
}

std::u16string XmlCursor::GapText::Copy(size_t pos, size_t length) const {
  if (pos + length <= gapStart_ || pos >= gapStart_) {
    size_t physical = pos < gapStart_ ? pos : pos + gapLength_;
    return std::u16string(buffer_.data() + physical, length);
  }
  std::u16string out(buffer_.data() + pos, gapStart_ - pos);
  out.append(buffer_.data() + gapStart_ + gapLength_, length - out.size());
  return out;
}

bool XmlCursor::GapText::Equals(size_t pos, std::u16string_view s) const {
  if (pos + s.size() > size()) return false;
  if (pos + s.size() <= gapStart_) return std::u16string_view(buffer_.data() + pos, s.size()) == s;
  if (pos >= gapStart_) return std::u16string_view(buffer_.data() + pos + gapLength_, s.size()) == s;
  for (size_t i = 0; i < s.size(); ++i) {
    if (at(pos + i) != s[i]) return false;
  }
  return true;
}

void XmlCursor::GapText::MoveGap(size_t pos) {
  char16_t* b = buffer_.data();
  if (pos < gapStart_) {
    std::memmove(b + pos + gapLength_, b + pos, (gapStart_ - pos) * sizeof(char16_t));
  } else if (pos > gapStart_) {
    std::memmove(b + gapStart_, b + gapStart_ + gapLength_, (pos - gapStart_) * sizeof(char16_t));
  }
  gapStart_ = pos;
}

void XmlCursor::GapText::Replace(size_t pos, size_t removeLength, std::u16string_view insert) {
  MoveGap(pos);
  gapLength_ += removeLength;
  if (insert.size() > gapLength_) {
    // Grow with room for many more edits: the writers make thousands of small ones.
    size_t tail = buffer_.size() - gapStart_ - gapLength_;
    size_t newGap = insert.size() + std::max<size_t>(4096, size() / 8);
    std::u16string grown(gapStart_ + newGap + tail, u'\0');
    std::memcpy(grown.data(), buffer_.data(), gapStart_ * sizeof(char16_t));
    std::memcpy(grown.data() + gapStart_ + newGap, buffer_.data() + gapStart_ + gapLength_, tail * sizeof(char16_t));
    buffer_ = std::move(grown);
    gapLength_ = newGap;
  }
  std::memcpy(buffer_.data() + gapStart_, insert.data(), insert.size() * sizeof(char16_t));
  gapStart_ += insert.size();
  gapLength_ -= insert.size();
}

std::u16string_view XmlCursor::GapText::Contiguous() {
  MoveGap(size());
  return {buffer_.data(), gapStart_};
}

// ---------------------------------------------------------------------------------------------
// Document

XmlCursor::XmlCursor() { nodes_.resize(1); }

bool XmlCursor::SetDocument(std::u16string_view text) {
  result_.clear();
  flags_ &= ~kDocByteOrderFlags;
  text_.Assign(std::u16string(text));
  Parse();
  return IsWellFormed();
}

bool XmlCursor::LoadFile(const std::string& path, size_t maxBytes) {
  std::string bytes;
  const FileRead outcome = ReadFileBounded(path, bytes, maxBytes);
  if (outcome != FileRead::kRead) {
    result_ = path + ": " + FileReadText(outcome);
    text_.Assign({});
    Parse();
    return false;
  }
  return LoadBytes(bytes);
}

bool XmlCursor::LoadBytes(std::string_view bytes) {
  result_.clear();
  text_.Assign(DecodeDocumentBytes(bytes, flags_, result_));
  Parse();
  return IsWellFormed();
}

std::string XmlCursor::EncodedDocument() {
  result_.clear();
  return EncodeDocumentText(text_.Contiguous(), flags_, result_);
}

bool XmlCursor::SaveFile(const std::string& path) {
  bool ok;
  if ((flags_ & kDocUtf16LeFile) && std::endian::native == std::endian::little) {
    // The text is already UTF-16LE in memory: write it from the buffer as it stands.
    result_ = "UTF-16LE";
    const auto bytesOf = [](std::u16string_view s) {
      return std::string_view(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(char16_t));
    };
    ok = ReplaceFileContents(path, {"\xFF\xFE", bytesOf(text_.Before()), bytesOf(text_.After())});
  } else {
    std::string bytes = EncodedDocument();
    ok = ReplaceFileContents(path, {bytes});
  }
  result_ += " length " + std::to_string(text_.size());
  if (!ok) result_ += "; cannot write " + path;
  return ok;
}

std::u16string XmlCursor::GetDocument() const {
  std::u16string out(text_.Before());
  out.append(text_.After());
  return out;
}

bool XmlCursor::IsWellFormed() const {
  return text_.size() > 0 && topFirst_ != 0 && nodes_[topFirst_].next == 0 && parseErrors_ == 0;
}

void XmlCursor::RecordError(const std::string& message) {
  ++parseErrors_;
  if (!result_.empty()) result_ += "; ";
  result_ += message;
}

int XmlCursor::NewNode() {
  nodes_.push_back(Node{});
  return static_cast<int>(nodes_.size() - 1);
}

void XmlCursor::LinkAfter(int node, int parent, int after) {
  Node& n = nodes_[node];
  n.parent = parent;
  n.prev = after;
  int& first = parent ? nodes_[parent].firstChild : topFirst_;
  int& last = parent ? nodes_[parent].lastChild : topLast_;
  n.next = after ? nodes_[after].next : first;
  if (after) nodes_[after].next = node;
  else first = node;
  if (n.next) nodes_[n.next].prev = node;
  else last = node;
}

void XmlCursor::LinkLast(int node, int parent) { LinkAfter(node, parent, parent ? nodes_[parent].lastChild : topLast_); }

void XmlCursor::Parse() {
  nodes_.clear();
  nodes_.reserve(text_.size() / 64 + 8);
  nodes_.resize(1);
  topFirst_ = topLast_ = 0;
  parent_ = main_ = child_ = 0;
  parseErrors_ = 0;

  const std::u16string_view t = text_.Contiguous();
  const size_t n = t.size();
  if (n == 0) {
    RecordError("Empty document");
    return;
  }
  const bool ignoreCase = IgnoreCase();
  // Start offsets are absolute while parsing and made relative to the parent at the end.
  std::vector<int> open;
  const auto nameAt = [&](int node) { return t.substr(nodes_[node].start + 1, nodes_[node].nameLength); };
  const auto unterminated = [&](const char* kind, size_t at) {
    RecordError(std::string(kind) + " at offset " + std::to_string(at) + " unterminated");
  };

  for (size_t i = FindChar(t, 0, u'<'); i != npos; i = i < n ? FindChar(t, i, u'<') : npos) {
    const char16_t c = i + 1 < n ? t[i + 1] : u'\0';
    if (c == u'!') {
      if (t.substr(i, 4) == u"<!--") {
        size_t end = FindText(t, i + 4, u"-->");
        if (end == npos) { unterminated("Comment", i); break; }
        i = end + 3;
      } else if (t.substr(i, 9) == u"<![CDATA[") {
        size_t end = FindText(t, i + 9, u"]]>");
        if (end == npos) { unterminated("CDATA Section", i); break; }
        i = end + 3;
      } else {
        // A document type declaration: ends at the first '>' outside its internal subset and quotes.
        size_t k = i + 2;
        int depth = 0;
        for (; k < n; ++k) {
          char16_t d = t[k];
          if (d == u'"' || d == u'\'') {
            k = t.find(d, k + 1);
            if (k == npos) break;
          } else if (d == u'[') {
            ++depth;
          } else if (d == u']') {
            if (depth > 0) --depth;
          } else if (d == u'>' && depth == 0) {
            break;
          }
        }
        if (k == npos || k >= n) { unterminated("Doctype", i); break; }
        i = k + 1;
      }
      continue;
    }
    if (c == u'?') {
      size_t end = FindText(t, i + 2, u"?>");
      if (end == npos) { unterminated("Processing instruction", i); break; }
      i = end + 2;
      continue;
    }
    if (c == u'/') {
      size_t nameEnd = i + 2;
      while (nameEnd < n && !xml::EndsName(t[nameEnd])) ++nameEnd;
      size_t end = FindChar(t, i + 2, u'>');
      if (end == npos) { unterminated("Element end tag", i); break; }
      const std::u16string_view name = t.substr(i + 2, nameEnd - i - 2);
      const auto close = [&](int node, size_t endTagEnd, size_t endTagLength) {
        nodes_[node].length = static_cast<int32_t>(endTagEnd - nodes_[node].start);
        nodes_[node].endTagLength = static_cast<int32_t>(endTagLength);
        if (!endTagLength) nodes_[node].flags |= kUnended;
      };
      if (open.empty()) {
        RecordError("No start tag for end tag '" + Narrow(name) + "' at offset " + std::to_string(i));
      } else if (xml::SameName(nameAt(open.back()), name, ignoreCase)) {
        close(open.back(), end + 1, end + 1 - i);
        open.pop_back();
      } else {
        const int inner = open.back();
        RecordError("End tag '" + Narrow(name) + "' at offset " + std::to_string(i) + " does not match start tag '" +
                    Narrow(nameAt(inner)) + "' at offset " + std::to_string(nodes_[inner].start));
        // If an outer element has this name, the elements inside it end here without end tags.
        auto match = std::find_if(open.rbegin(), open.rend(),
                                  [&](int node) { return xml::SameName(nameAt(node), name, ignoreCase); });
        if (match != open.rend()) {
          while (open.back() != *match) {
            close(open.back(), i, 0);
            open.pop_back();
          }
          close(open.back(), end + 1, end + 1 - i);
          open.pop_back();
        }
      }
      i = end + 1;
      continue;
    }
    if (i + 1 >= n || xml::EndsName(c)) {
      RecordError("Incorrect tag name character at offset " + std::to_string(i));
      ++i;
      continue;
    }
    // A start tag or an empty-element tag; quoted attribute values may hold '>'.
    size_t nameEnd = i + 1;
    while (nameEnd < n && !xml::EndsName(t[nameEnd])) ++nameEnd;
    size_t k = nameEnd;
    bool valueNext = false;
    for (; k < n; ++k) {
      char16_t d = t[k];
      if (d == u'>') break;
      if ((d == u'"' || d == u'\'') && valueNext) {
        k = t.find(d, k + 1);
        if (k == npos) break;
        valueNext = false;
      } else if (d == u'=') {
        valueNext = true;
      } else if (!xml::IsBlank(d)) {
        valueNext = false;
      }
    }
    if (k == npos || k >= n) { unterminated("Element tag", i); break; }
    const int node = NewNode();
    Node& e = nodes_[node];
    e.start = static_cast<int32_t>(i);
    e.startTagLength = static_cast<int32_t>(k + 1 - i);
    e.nameLength = static_cast<int32_t>(nameEnd - i - 1);
    LinkLast(node, open.empty() ? 0 : open.back());
    if (t[k - 1] == u'/') {
      e.flags |= kEmptyTag;
      e.length = e.startTagLength;
    } else {
      open.push_back(node);
    }
    i = k + 1;
  }
  while (!open.empty()) {
    Node& e = nodes_[open.back()];
    e.length = static_cast<int32_t>(n - e.start);
    e.flags |= kUnended;
    RecordError("Element '" + Narrow(nameAt(open.back())) + "' at offset " + std::to_string(e.start) + " not ended");
    open.pop_back();
  }
  // Children come after their parents in the index, so going backwards every parent still
  // holds its absolute start when its children are made relative to it.
  for (size_t k = nodes_.size() - 1; k > 0; --k) {
    if (nodes_[k].parent) nodes_[k].start -= nodes_[nodes_[k].parent].start;
  }
  if (topFirst_ == 0) RecordError("No root element");
  else if (nodes_[topFirst_].next != 0) RecordError("Root element has sibling");
}

// ---------------------------------------------------------------------------------------------
// Navigation

size_t XmlCursor::Abs(int node) const {
  size_t pos = 0;
  for (; node; node = nodes_[node].parent) pos += static_cast<size_t>(nodes_[node].start);
  return pos;
}

bool XmlCursor::NameIs(int node, std::u16string_view name) const {
  if (name.empty()) return true;
  if (static_cast<size_t>(nodes_[node].nameLength) != name.size()) return false;
  if (IgnoreCase()) return xml::SameName(NameOf(node), name, true);
  return text_.Equals(Abs(node) + 1, name);
}

std::u16string XmlCursor::NameOf(int node) const {
  if (!node) return {};
  return text_.Copy(Abs(node) + 1, static_cast<size_t>(nodes_[node].nameLength));
}

int XmlCursor::Search(int from, std::u16string_view name) const {
  for (int node = from; node; node = nodes_[node].next) {
    if (NameIs(node, name)) return node;
  }
  return 0;
}

void XmlCursor::ResetPosition() { parent_ = main_ = child_ = 0; }

bool XmlCursor::FindElement(std::u16string_view name) {
  int found = Search(main_ ? nodes_[main_].next : FirstChildOf(parent_), name);
  if (!found) return false;
  main_ = found;
  child_ = 0;
  return true;
}

bool XmlCursor::FindChildElement(std::u16string_view name) {
  if (!main_ && !FindElement()) return false;
  int found = Search(child_ ? nodes_[child_].next : nodes_[main_].firstChild, name);
  if (!found) return false;
  child_ = found;
  return true;
}

bool XmlCursor::EnterElement() {
  if (!main_) return false;
  parent_ = main_;
  main_ = child_;
  child_ = 0;
  return true;
}

bool XmlCursor::LeaveElement() {
  if (!parent_) return false;
  child_ = main_;
  main_ = parent_;
  parent_ = nodes_[parent_].parent;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Content

std::u16string XmlCursor::Escape(std::u16string_view text) {
  if (text.find_first_of(u"<&>") == npos) return std::u16string(text);
  std::u16string out;
  out.reserve(text.size() + 8);
  for (char16_t c : text) {
    switch (c) {
      case u'<': out += u"&lt;"; break;
      case u'&': out += u"&amp;"; break;
      case u'>': out += u"&gt;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::u16string XmlCursor::Decode(std::u16string_view content) {
  std::u16string out;
  if (content.find(u'&') == npos && content.find(u'<') == npos) return std::u16string(content);
  out.reserve(content.size());
  for (size_t i = 0; i < content.size();) {
    size_t lt = content.find(u'<', i);
    DecodeTextRun(content.substr(i, lt == npos ? npos : lt - i), out);
    if (lt == npos) break;
    std::u16string_view rest = content.substr(lt);
    size_t end;
    if (rest.substr(0, 9) == u"<![CDATA[") {
      end = rest.find(u"]]>");
      out.append(rest.substr(9, end == npos ? npos : end - 9));
      end = end == npos ? rest.size() : end + 3;
    } else if (rest.substr(0, 4) == u"<!--") {
      end = rest.find(u"-->", 4);
      end = end == npos ? rest.size() : end + 3;
    } else if (rest.substr(0, 2) == u"<?") {
      end = rest.find(u"?>", 2);
      end = end == npos ? rest.size() : end + 2;
    } else {
      out.push_back(u'<');  // a '<' that starts no markup stays text
      end = 1;
    }
    i = lt + end;
  }
  return out;
}

std::u16string XmlCursor::TextOf(int node) const {
  if (!node) return {};
  const Node& e = nodes_[node];
  if (e.firstChild || (e.flags & kEmptyTag)) return {};
  size_t begin = Abs(node) + static_cast<size_t>(e.startTagLength);
  size_t length = static_cast<size_t>(e.length - e.startTagLength - e.endTagLength);
  return Decode(text_.Copy(begin, length));
}

std::u16string XmlCursor::AttributeOf(int node, std::u16string_view name) const {
  if (!node || name.empty()) return {};
  const Node& e = nodes_[node];
  std::u16string tag = text_.Copy(Abs(node), static_cast<size_t>(e.startTagLength));
  auto value = xml::FindTagAttribute(tag, name, IgnoreCase());
  return value ? Decode(*value) : std::u16string();
}

// ---------------------------------------------------------------------------------------------
// Edits

void XmlCursor::ApplyEdit(int container, size_t pos, size_t removeLength, std::u16string_view insert,
                          int firstShifted) {
  text_.Replace(pos, removeLength, insert);
  const int32_t delta = static_cast<int32_t>(insert.size()) - static_cast<int32_t>(removeLength);
  if (delta == 0) return;
  for (int s = firstShifted; s; s = nodes_[s].next) nodes_[s].start += delta;
  for (int a = container; a; a = nodes_[a].parent) {
    nodes_[a].length += delta;
    for (int s = nodes_[a].next; s; s = nodes_[s].next) nodes_[s].start += delta;
  }
}

void XmlCursor::RemoveChildren(int node) {
  // The removed records stay in the index, unreachable; handles are never reused.
  if (child_ && nodes_[node].firstChild) {
    for (int a = child_; a; a = nodes_[a].parent) {
      if (a == node) {
        child_ = 0;
        break;
      }
    }
  }
  nodes_[node].firstChild = nodes_[node].lastChild = 0;
}

XmlCursor::ElementText XmlCursor::BuildElement(std::u16string core, std::u16string_view name,
                                              std::u16string_view escaped) {
  ElementText e{std::move(core), 0, 0, 0};
  if (escaped.empty()) {
    e.text += u"/>";
    e.startTagLength = static_cast<int32_t>(e.text.size());
    e.flags = kEmptyTag;
  } else {
    e.text += u">";
    e.startTagLength = static_cast<int32_t>(e.text.size());
    e.text += escaped;
    e.text += u"</";
    e.text += name;
    e.text += u">";
    e.endTagLength = static_cast<int32_t>(name.size() + 3);
  }
  return e;
}

void XmlCursor::SetElementShape(Node& node, const ElementText& element, std::u16string_view name) {
  node.length = static_cast<int32_t>(element.text.size());
  node.startTagLength = element.startTagLength;
  node.endTagLength = element.endTagLength;
  node.nameLength = static_cast<int32_t>(name.size());
  node.flags = element.flags;
}

std::u16string XmlCursor::StartTagCore(int node) const {
  std::u16string core = text_.Copy(Abs(node), static_cast<size_t>(nodes_[node].startTagLength));
  core.pop_back();
  while (!core.empty() && core.back() == u'/') core.pop_back();
  return core;
}

bool XmlCursor::SetText(std::u16string_view text) {
  if (!main_) return false;
  const int node = main_;
  const std::u16string escaped = Escape(text);
  const Node& e = nodes_[node];
  const size_t pos = Abs(node);
  // Nothing to do when the element already holds exactly this: saving unchanged values
  // over a large file costs no edits.
  if (!e.firstChild) {
    if (escaped.empty() && (e.flags & kEmptyTag)) return true;
    if (!escaped.empty() && !(e.flags & kEmptyTag) && e.endTagLength) {
      size_t contentLength = static_cast<size_t>(e.length - e.startTagLength - e.endTagLength);
      if (contentLength == escaped.size() && text_.Equals(pos + static_cast<size_t>(e.startTagLength), escaped)) {
        return true;
      }
    }
  }
  const std::u16string name = NameOf(node);
  const ElementText element = BuildElement(StartTagCore(node), name, escaped);
  RemoveChildren(node);
  ApplyEdit(node, pos, static_cast<size_t>(e.length), element.text, 0);
  SetElementShape(nodes_[node], element, name);
  return true;
}

bool XmlCursor::AddElement(std::u16string_view name, int32_t value) { return AddElement(name, FormatInt(value)); }

bool XmlCursor::AddElement(std::u16string_view name, std::u16string_view text) {
  if (name.empty()) return false;
  for (char16_t c : name) {
    if (xml::EndsName(c)) return false;
  }
  const ElementText built = BuildElement(u"<" + std::u16string(name), name, Escape(text));
  const std::u16string& element = built.text;

  int container;       // the element that receives the new one (0: the top level)
  int after;           // the sibling it follows (0: it becomes the first child)
  size_t insertAt;     // where its text goes
  std::u16string insert;
  size_t offsetInInsert = 0;  // where the new element starts within `insert`
  size_t replaceLength = 0;

  // After an element: past the line break that ends it, and ended by one of the same kind.
  const auto placeAfter = [&](int sibling) {
    after = sibling;
    insertAt = Abs(sibling) + static_cast<size_t>(nodes_[sibling].length);
    std::u16string_view lineEnd = kLineEnd;
    if (insertAt < text_.size() && text_.at(insertAt) == u'\n') {
      lineEnd = u"\n";
      insertAt += 1;
    } else if (insertAt + 1 < text_.size() && text_.at(insertAt) == u'\r' && text_.at(insertAt + 1) == u'\n') {
      insertAt += 2;
    }
    insert = element + std::u16string(lineEnd);
  };

  if (main_) {
    container = nodes_[main_].parent;
    if (!container) return false;  // a sibling of the root element
    placeAfter(main_);
  } else if (parent_) {
    container = parent_;
    const Node& p = nodes_[parent_];
    const size_t pos = Abs(parent_);
    if (p.lastChild) {
      placeAfter(p.lastChild);
    } else if (p.flags & kEmptyTag) {
      // <P/> receiving its first child becomes <P>, CR LF, the child, </P>.
      const std::u16string core = StartTagCore(parent_);
      const std::u16string parentName = NameOf(parent_);
      after = 0;
      insertAt = pos;
      replaceLength = static_cast<size_t>(p.length);
      insert = core + u">" + std::u16string(kLineEnd);
      offsetInInsert = insert.size();
      insert += element + std::u16string(kLineEnd) + u"</" + parentName + u">";
      ApplyEdit(container, insertAt, replaceLength, insert, 0);
      Node& changed = nodes_[parent_];
      changed.startTagLength = static_cast<int32_t>(core.size() + 1);
      changed.endTagLength = static_cast<int32_t>(parentName.size() + 3);
      changed.flags &= ~kEmptyTag;
      const int node = NewNode();
      Node& e = nodes_[node];
      e.start = static_cast<int32_t>(offsetInInsert);
      SetElementShape(e, built, name);
      LinkLast(node, parent_);
      main_ = node;
      child_ = 0;
      return true;
    } else {
      after = 0;
      insertAt = pos + static_cast<size_t>(p.length - p.endTagLength);
      if (insertAt > 0 && text_.at(insertAt - 1) != u'\n') insert = kLineEnd;
      offsetInInsert = insert.size();
      insert += element + std::u16string(kLineEnd);
    }
  } else {
    if (topFirst_) return false;  // a document has one root element
    container = 0;
    after = 0;
    insertAt = text_.size();
    if (insertAt > 0 && text_.at(insertAt - 1) != u'\n') insert = kLineEnd;
    offsetInInsert = insert.size();
    insert += element + std::u16string(kLineEnd);
  }

  const int node = NewNode();
  {
    Node& e = nodes_[node];
    e.start = static_cast<int32_t>(insertAt + offsetInInsert - (container ? Abs(container) : 0));
    SetElementShape(e, built, name);
  }
  LinkAfter(node, container, after);
  ApplyEdit(container, insertAt, replaceLength, insert, nodes_[node].next);
  main_ = node;
  child_ = 0;
  return true;
}

std::string XmlCursor::DescribeIndex() const {
  std::string out;
  // Depth-first without recursion; the absolute start follows the walk (a parent starts at
  // its child's start less the child's relative offset).
  int depth = 0;
  int node = topFirst_;
  size_t pos = node ? static_cast<size_t>(nodes_[node].start) : 0;
  while (node) {
    const Node& e = nodes_[node];
    out += std::to_string(depth) + " " + Narrow(text_.Copy(pos + 1, static_cast<size_t>(e.nameLength))) + " " +
           std::to_string(pos) + "+" + std::to_string(e.length) + "\n";
    if (e.firstChild) {
      node = e.firstChild;
      pos += static_cast<size_t>(nodes_[node].start);
      ++depth;
      continue;
    }
    while (node && !nodes_[node].next) {
      pos -= static_cast<size_t>(nodes_[node].start);
      node = nodes_[node].parent;
      --depth;
    }
    if (!node) break;
    pos -= static_cast<size_t>(nodes_[node].start);
    node = nodes_[node].next;
    pos += static_cast<size_t>(nodes_[node].start);
  }
  return out;
}

}  // namespace orv
