//===- tests/cli/report_names.h - Names read back from a JSON report ------===//
///
/// \file
/// A JSON report names each document by `path` and, when the name is not
/// valid UTF-8, also by `pathBytes` (its exact bytes in hexadecimal). This is
/// what a script reading the report does to get the name's bytes back.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace velkor::test {

inline std::string Unhex(const std::string &hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

/// The exact name bytes a reader of the report gets back.
inline std::string NameFromReport(const nlohmann::json &entry) {
  if (entry.contains("pathBytes"))
    return Unhex(entry["pathBytes"].get<std::string>());
  return entry["path"].get<std::string>();
}

} // namespace velkor::test
