//===- engine/document_lease.cpp - Seeing other programs that open a document =//

#include "engine/document_lease.h"

#include "core/utf8.h"
#include "engine/document_identity.h"
#include "fs/path_names.h"

#include <string_view>
#include <vector>

namespace {

/// Byte length of the first `count` characters of `text` (UTF-8 sequences;
/// a byte that starts none counts as one character).
std::size_t CharacterBytes(std::string_view text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t done = 0; done < count && at < text.size(); ++done) {
    std::size_t length = Utf8SequenceLength(text.substr(at));
    at += length == 0 ? 1 : length;
  }
  return at;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); ++count) {
    std::size_t length = Utf8SequenceLength(text.substr(at));
    at += length == 0 ? 1 : length;
  }
  return count;
}

} // namespace

std::string OfficeOwnerFileOf(const std::string &path) {
  TTString directoryPart, namePart;
  SplitPath(path.c_str(), directoryPart, namePart);
  const std::string directory = directoryPart.CStr();
  const std::string name = namePart.CStr();
  if (name.empty())
    return std::string();

  std::vector<std::string> candidates;
  // Excel (and Word for short names): the whole name.
  candidates.push_back("~$" + name);
  // Word keeps the owner file's name about as long as the document's: of a
  // name whose part before the extension has 7 characters it drops the
  // first, of one with 8 or more the first two.
  const std::size_t dot = name.rfind('.');
  const std::string_view stem =
      std::string_view(name).substr(0, dot == std::string::npos || dot == 0 ? name.size() : dot);
  const std::size_t characters = CharacterCount(stem);
  if (characters >= 7) {
    const std::size_t dropped = CharacterBytes(name, characters == 7 ? 1 : 2);
    candidates.push_back("~$" + name.substr(dropped));
  }
  // LibreOffice.
  candidates.push_back(".~lock." + name + "#");

  for (const std::string &candidate : candidates) {
    DocumentIdentity owner;
    if (ReadDocumentIdentity((directory + candidate).c_str(), owner) == 0)
      return candidate;
  }
  return std::string();
}
