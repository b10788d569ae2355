//===- engine/run_failure.h - Where a run was when an error ended it -------===//
///
/// \file
/// The core classes and the file-system layer report failures by throwing,
/// and nothing inside a run catches those throws: they end the run, whose
/// unwinding performs the clean-up. The run adds where it was at that moment
/// by wrapping the exception (std::throw_with_nested) in a RunFailure that
/// holds the base directory and the document in hand, so that the command's
/// entry can name the file even when the error itself carries no name, and
/// can name it as the user gave it after the current directory has been
/// restored.
///
/// DescribeException turns any caught exception (wrapped or not) into the one
/// line a front end shows: "access denied: /srv/docs/a.doc".
///
//===----------------------------------------------------------------------===//
#pragma once

#include <exception>
#include <string>

/// Thrown (with the original exception nested) when an exception that is not
/// the run's own message ends a run inside a base entry, or while it reads
/// the drive list.
class RunFailure : public std::exception {
public:
  /// `directory`: the base entry's directory as the user gave it, ending in
  /// a slash (empty outside a base entry, or for a file entry in the current
  /// directory), so that names read as the user wrote them. `document`: the candidate being
  /// compacted, relative to it (or the file being read outside a base
  /// entry); empty while the entry is being scanned.
  RunFailure(std::string directory, std::string document)
      : directory(std::move(directory)), document(std::move(document)) {}

  const char *what() const noexcept override;

  std::string directory;
  std::string document;
};

/// The text for a caught exception: the error, then ": " and the file it
/// concerns when one is known. Understands the core exceptions, the list
/// texts, the integer codes, the compound-file errors and standard
/// exceptions; a UserAbort gives the empty text (its message was shown).
std::string DescribeException(std::exception_ptr error);

/// DescribeException of the exception being handled; call it in a catch block.
std::string DescribeCurrentException();
