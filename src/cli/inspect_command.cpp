//===- cli/inspect_command.cpp - velkor-cli inspect: a document's tree -----===//

#include "cli/inspect_command.h"

#include "cfb/compound_file.h"
#include "cli/command_support.h"
#include "core/escape_text.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <ostream>

namespace velkor::cli {

namespace {

const char *KindName(cfb::EntryKind kind) {
  switch (kind) {
  case cfb::EntryKind::Root:
    return "root";
  case cfb::EntryKind::Storage:
    return "storage";
  case cfb::EntryKind::Stream:
    return "stream";
  }
  return "?";
}

bool IsZero(const cfb::ClassId &id) {
  for (auto byte : id) {
    if (byte != 0)
      return false;
  }
  return true;
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// Percentage with one decimal, of `part` in `whole`.
std::string Percent(std::uint64_t part, std::uint64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%",
                whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
  return text;
}

constexpr auto kReplaceInvalidUtf8 = nlohmann::json::error_handler_t::replace;

void PrintText(const cfb::Source &source, std::uint64_t copySize, std::ostream &out) {
  const cfb::Tree &tree = source.GetTree();
  std::uint64_t fileSize = source.FileSize();
  size_t storages = 0, streams = 0;
  std::uint64_t streamBytes = 0;
  for (const cfb::Entry &entry : tree.entries) {
    if (entry.kind == cfb::EntryKind::Storage)
      ++storages;
    if (entry.kind == cfb::EntryKind::Stream) {
      ++streams;
      streamBytes += entry.size;
    }
  }
  out << "File:        " << EscapeControlBytes(source.Path()) << '\n'
      << "Format:      compound file, version " << source.MajorVersion() << ", "
      << source.SectorSize() << "-byte sectors\n"
      << "File size:   " << FormatBytes(fileSize) << " bytes\n"
      << "Fresh copy:  " << FormatBytes(copySize) << " bytes\n";
  if (copySize < fileSize) {
    out << "Would save:  " << FormatBytes(fileSize - copySize) << " bytes ("
        << Percent(fileSize - copySize, fileSize) << ")\n";
  } else {
    out << "Would save:  nothing (a fresh copy is not smaller)\n";
  }
  out << "Contents:    " << storages << (storages == 1 ? " storage, " : " storages, ") << streams
      << (streams == 1 ? " stream, " : " streams, ") << FormatBytes(streamBytes)
      << " stream bytes\n\n";

  out << "KIND     "
      << "         SIZE  "
      << "CLASS ID                                "
      << "STATE     NAME\n";
  // Depth of each entry: parents come before children in pre-order.
  std::vector<size_t> depth(tree.entries.size(), 0);
  for (size_t i = 0; i < tree.entries.size(); ++i) {
    const cfb::Entry &entry = tree.entries[i];
    if (entry.parent != cfb::kNoParent && entry.parent < i)
      depth[i] = depth[entry.parent] + 1;
    char line[128];
    std::string size = entry.kind == cfb::EntryKind::Stream ? FormatBytes(entry.size) : "-";
    std::string classId = IsZero(entry.classId) ? "-" : cfb::FormatClassId(entry.classId);
    std::snprintf(line, sizeof line, "%-8s %13s  %-38s  %s  ", KindName(entry.kind), size.c_str(),
                  classId.c_str(), Hex32(entry.stateBits).c_str());
    out << line << std::string(2 * depth[i], ' ') << EscapeControlBytes(entry.displayName) << '\n';
  }
}

void PrintJson(const cfb::Source &source, std::uint64_t copySize, std::ostream &out) {
  const cfb::Tree &tree = source.GetTree();
  nlohmann::json entries = nlohmann::json::array();
  for (size_t i = 0; i < tree.entries.size(); ++i) {
    const cfb::Entry &entry = tree.entries[i];
    entries.push_back({{"path", tree.PathOf(static_cast<std::uint32_t>(i))},
                       {"name", entry.displayName},
                       {"kind", KindName(entry.kind)},
                       {"size", entry.kind == cfb::EntryKind::Stream ? entry.size : 0},
                       {"classId", cfb::FormatClassId(entry.classId)},
                       {"stateBits", entry.stateBits},
                       {"creationTime", entry.creationTime},
                       {"modifiedTime", entry.modifiedTime}});
  }
  std::uint64_t fileSize = source.FileSize();
  nlohmann::json report = {{"file", source.Path()},
                           {"version", source.MajorVersion()},
                           {"sectorSize", source.SectorSize()},
                           {"fileSize", fileSize},
                           {"copySize", copySize},
                           {"saving", copySize < fileSize ? fileSize - copySize : 0},
                           {"entries", entries}};
  out << report.dump(2, ' ', false, kReplaceInvalidUtf8) << '\n';
}

} // namespace

std::string InspectHelpText() {
  return "Usage: velkor-cli inspect [OPTION]... FILE\n"
         "Show a compound document's storage tree (names, kinds, sizes, class ids, state\n"
         "bits), the file's size, the size of a fresh copy and what it would save, or\n"
         "why the file is refused. Nothing is written.\n"
         "\n"
         "Options:\n"
         "      --json            print one JSON object instead of text\n"
         "  -h, --help            display this help and exit\n"
         "\n"
         "Exit status:\n"
         "   0  the document was shown\n"
         "   1  the file is refused or cannot be read\n"
         "   2  bad usage\n"
         "\n"
         "Full documentation: man velkor-cli (before installing: man -l docs/velkor-cli.1)\n";
}

CLI::App *AddInspectCommand(CLI::App &app, InspectOptions &options) {
  CLI::App *command = app.add_subcommand(
      "inspect", "Show a compound document's storage tree and what a fresh copy would save");
  command->add_option("FILE", options.file, "The compound document (.doc, .xls, ...)")->required();
  command->add_flag("--json", options.json, "Print one JSON object instead of text");
  return command;
}

int RunInspect(const InspectOptions &options, std::ostream &out, std::ostream &err) {
  try {
    cfb::Source source = cfb::Source::Open(options.file);
    std::uint64_t copySize = source.PlannedCopySize();
    if (options.json) {
      PrintJson(source, copySize, out);
    } else {
      PrintText(source, copySize, out);
    }
    source.Release();
    return kExitSuccess;
  } catch (const std::exception &error) {
    std::string reason = DescribeError(error);
    err << "velkor-cli: " << EscapeControlBytes(options.file) << ": " << reason << '\n';
    if (options.json) {
      nlohmann::json report = {{"file", options.file}, {"error", reason}};
      if (auto *format = dynamic_cast<const cfb::FormatError *>(&error)) {
        report["reason"] = cfb::ReasonName(format->GetReason());
      }
      out << report.dump(2, ' ', false, kReplaceInvalidUtf8) << '\n';
    }
    return kExitFailure;
  }
}

} // namespace velkor::cli
