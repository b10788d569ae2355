//===- cfb/compound_file.cpp - The four operations over reader and writer --===//
#include "cfb/compound_file.h"

#include "cfb/copy.h"
#include "cfb/layout.h"
#include "cfb/reader.h"
#include "cfb/writer.h"

#include <stdexcept>

namespace cfb {

namespace {

const Reader &Use(const std::unique_ptr<Reader> &reader) {
  if (!reader)
    throw std::logic_error("cfb: the source was released");
  return *reader;
}

} // namespace

Source::Source(std::unique_ptr<Reader> reader) : reader(std::move(reader)) {}
Source::Source(Source &&) noexcept = default;
Source &Source::operator=(Source &&) noexcept = default;
Source::~Source() = default;

Source Source::Open(const std::string &path, FinalLink link, ReadCount *readCount) {
  return Source(Reader::Open(path, link, readCount));
}

Source Source::OpenCopy(const Destination &copy) {
  const Writer &writer = copy.Unreleased();
  return Source(Reader::OpenWritten(writer.Descriptor(), writer.Path()));
}

void Source::CopyTo(Destination &destination) const {
  const Reader &source = Use(reader);
  destination.Write(source.GetTree(), &source);
}

std::uint64_t Source::PlannedCopySize() const {
  return PlanLayout(Use(reader).GetTree()).FileSize();
}

const Tree &Source::GetTree() const { return Use(reader).GetTree(); }

std::size_t Source::ReadStream(std::uint32_t entryIndex, std::uint64_t offset,
                               std::span<std::byte> out) const {
  return Use(reader).ReadStream(entryIndex, offset, out);
}

std::uint64_t Source::FileSize() const { return Use(reader).File().fileSize; }
unsigned Source::MajorVersion() const { return Use(reader).MajorVersion(); }
std::uint32_t Source::SectorSize() const { return Use(reader).File().SectorSize(); }
const std::string &Source::Path() const { return Use(reader).File().path; }
int Source::Descriptor() const { return Use(reader).File().fd; }

void Source::Release() {
  if (reader)
    reader->Close();
  reader.reset();
}

Destination::Destination(std::unique_ptr<Writer> writer) : writer(std::move(writer)) {}
Destination::Destination(Destination &&) noexcept = default;
Destination &Destination::operator=(Destination &&) noexcept = default;
Destination::~Destination() = default;

Destination Destination::Create(const std::string &path, Durability durability,
                                int heldDescriptor) {
  return Destination(Writer::Create(path, durability == Durability::flushed, heldDescriptor));
}

void Destination::Write(const Tree &tree, const Reader *source) {
  if (!writer || writer->released)
    throw std::logic_error("cfb: the destination was released");
  if (writer->filled)
    throw std::logic_error("cfb: the destination already holds a copy");
  Layout layout = PlanLayout(tree);
  writer->filled = true;
  try {
    WriteCompoundFile(tree, layout, source, *writer);
    writer->ShareForReading();
  } catch (...) {
    writer->broken = true;
    throw;
  }
}

const Writer &Destination::Unreleased() const {
  if (!writer || writer->released)
    throw std::logic_error("cfb: the destination was released");
  return *writer;
}

void Destination::Release() {
  if (!writer || writer->released)
    return;
  // Like a freshly created compound file that nothing was copied into:
  // a valid file holding an empty root storage.
  if (!writer->filled)
    Write(EmptyTree(), nullptr);
  writer->released = true;
  if (!writer->broken)
    writer->Sync();
  writer->Close();
  if (writer->broken)
    throw std::logic_error("cfb: the copy into this destination failed; its file is incomplete");
}

void Destination::SetCheckpoint(std::function<void()> check) {
  if (!writer)
    throw std::logic_error("cfb: the destination was moved from");
  writer->checkpoint = std::move(check);
}

const std::string &Destination::Path() const {
  if (!writer)
    throw std::logic_error("cfb: the destination was moved from");
  return writer->Path();
}

} // namespace cfb
