//===- engine/unix/system_error_words.cpp - The system's words for errno --===//

#include "engine/system_error_words.h"

#include <cstring>

std::string FileSystemErrorWords(std::uint32_t systemError) {
  return std::strerror(static_cast<int>(systemError));
}
