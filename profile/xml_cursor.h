#pragma once
// XmlCursor: the one XML reader and writer of both programs. It holds a whole document as
// UTF-16 text, indexes its elements when the text is set or loaded, and walks the tree with
// three positions (parent, main, child). Edits change the text in place and keep the index
// consistent, so finds and reads may follow writes in any order; the text is written back
// in the encoding it came in.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "profile/text_codec.h"

namespace orv {

class XmlCursor {
 public:
  XmlCursor();

  // --- document ---------------------------------------------------------------------------
  // Replaces the text (empty for an absent text), clears the result text and parses.
  // Returns whether the document is well-formed.
  bool SetDocument(std::u16string_view text);
  // Reads a file (byte order marks, declared encodings, UTF-8 detection, ANSI fallback),
  // sets the byte order flags and parses. False if the file cannot be read or the text is
  // not well-formed. Only a regular file of at most `maxBytes` bytes is read, without ever
  // waiting on a FIFO or device (base/files.h); the result text says why one was refused.
  bool LoadFile(const std::string& path, size_t maxBytes);
  // LoadFile from bytes already in memory.
  bool LoadBytes(std::string_view bytes);
  // Replaces the file with the document in its encoding. False if it cannot be written.
  bool SaveFile(const std::string& path);
  // The bytes SaveFile writes.
  std::string EncodedDocument();

  std::u16string GetDocument() const;
  size_t DocumentLength() const { return text_.size(); }
  int GetDocFlags() const { return flags_; }
  void SetDocFlags(int flags) { flags_ = flags; }
  // Diagnostics of the last load, parse or save: encoding, length, errors. Never shown to users.
  const std::string& GetResult() const { return result_; }
  // Not empty, has a root element without a sibling element, and the parser recorded no error.
  bool IsWellFormed() const;

  // --- navigation (an empty name matches any element) --------------------------------------
  void ResetPosition();
  bool FindElement(std::u16string_view name = {});
  bool FindChildElement(std::u16string_view name = {});
  bool EnterElement();
  bool LeaveElement();
  void ResetChildPosition() { child_ = 0; }

  // Positions: non-zero handles of index records; 0 means none.
  int ParentPosition() const { return parent_; }
  int MainPosition() const { return main_; }
  int ChildPosition() const { return child_; }

  // --- content -------------------------------------------------------------------------------
  std::u16string GetTagName() const { return NameOf(main_); }
  std::u16string GetChildTagName() const { return NameOf(child_); }
  // Decoded text of an element that holds only text and CDATA sections; empty for an element
  // with child elements, an empty element or no position.
  std::u16string GetText() const { return TextOf(main_); }
  std::u16string GetChildText() const { return TextOf(child_); }
  std::u16string GetAttribute(std::u16string_view name) const { return AttributeOf(main_, name); }
  std::u16string GetChildAttribute(std::u16string_view name) const { return AttributeOf(child_, name); }

  // --- edits ---------------------------------------------------------------------------------
  // Replaces the content of the main element with the escaped text (an empty text gives an
  // empty-element tag). False without a main position.
  bool SetText(std::u16string_view text);
  // Inserts an element after the main position, or with no main position as the last child of
  // the parent position, or as the root of a document that has none. It becomes the main
  // position; the child position becomes 0. Each added element is followed by CR LF. False for
  // an invalid name or a second top-level element (a document has one root).
  bool AddElement(std::u16string_view name, std::u16string_view text = {});
  bool AddElement(std::u16string_view name, int32_t value);

  // The element index in document order, one line per element: depth, name, absolute start
  // and length. Two cursors over the same text must describe it alike however they got there.
  std::string DescribeIndex() const;

  // Text escaped for element content: only '<', '&' and '>' are replaced.
  static std::u16string Escape(std::u16string_view text);
  // Element content decoded: references replaced, CDATA kept, comments and instructions dropped.
  static std::u16string Decode(std::u16string_view content);

 private:
  // The document text as a gap buffer: edits that walk forward through the document (the
  // update writers do) cost only the distance between them.
  class GapText {
   public:
    void Assign(std::u16string text);
    size_t size() const { return buffer_.size() - gapLength_; }
    char16_t at(size_t pos) const { return buffer_[pos < gapStart_ ? pos : pos + gapLength_]; }
    std::u16string Copy(size_t pos, size_t length) const;
    bool Equals(size_t pos, std::u16string_view s) const;
    void Replace(size_t pos, size_t removeLength, std::u16string_view insert);
    std::u16string_view Contiguous();
    std::u16string_view Before() const { return {buffer_.data(), gapStart_}; }
    std::u16string_view After() const {
      return {buffer_.data() + gapStart_ + gapLength_, buffer_.size() - gapStart_ - gapLength_};
    }

   private:
    void MoveGap(size_t pos);
    std::u16string buffer_;
    size_t gapStart_ = 0;
    size_t gapLength_ = 0;
  };

  enum NodeFlag : uint32_t {
    kEmptyTag = 0x1,  // written as <NAME/>
    kUnended = 0x2,   // no end tag found
  };
  struct Node {
    int32_t start;           // offset from the parent's start; top-level nodes: from the document's
    int32_t length;          // start tag to end tag, inclusive
    int32_t startTagLength;
    int32_t endTagLength;    // 0 for an empty-element tag or an element not ended
    int32_t nameLength;
    int32_t parent, firstChild, lastChild, prev, next;
    uint32_t flags;
  };

  void Parse();
  void RecordError(const std::string& message);
  int NewNode();
  void LinkAfter(int node, int parent, int after);  // after == 0: as first child
  void LinkLast(int node, int parent);
  size_t Abs(int node) const;
  bool NameIs(int node, std::u16string_view name) const;
  std::u16string NameOf(int node) const;
  std::u16string TextOf(int node) const;
  std::u16string AttributeOf(int node, std::u16string_view name) const;
  int FirstChildOf(int parent) const { return parent ? nodes_[parent].firstChild : topFirst_; }
  int Search(int from, std::u16string_view name) const;
  void RemoveChildren(int node);
  // The start tag without its closing "/>" or ">", attributes kept.
  std::u16string StartTagCore(int node) const;
  // An element's text from its start tag's core and its escaped content: <core/> when the
  // content is empty, else <core>content</name>.
  struct ElementText {
    std::u16string text;
    int32_t startTagLength;
    int32_t endTagLength;
    uint32_t flags;
  };
  static ElementText BuildElement(std::u16string core, std::u16string_view name, std::u16string_view escaped);
  static void SetElementShape(Node& node, const ElementText& element, std::u16string_view name);
  // Replaces text inside `container` (0: the top level) and keeps every offset consistent;
  // `firstShifted` starts a chain of the container's children that lie after the edit.
  void ApplyEdit(int container, size_t pos, size_t removeLength, std::u16string_view insert, int firstShifted);
  bool IgnoreCase() const { return (flags_ & kDocIgnoreCase) != 0; }

  GapText text_;
  std::vector<Node> nodes_;
  int topFirst_ = 0;
  int topLast_ = 0;
  int parent_ = 0, main_ = 0, child_ = 0;
  int flags_ = 0;
  int parseErrors_ = 0;
  std::string result_;
};

}  // namespace orv
