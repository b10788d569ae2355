//===- engine/run_failure.cpp - Where a run was when an error ended it -----===//

#include "engine/run_failure.h"

#include "cfb/error.h"
#include "core/exceptions.h"
#include "engine/system_error_words.h"
#include "engine/user_abort.h"
#include "fs/path_names.h"

#include <cstdint>
#include <cstring>
#include <new>

const char *RunFailure::what() const noexcept { return "the run ended on an error"; }

namespace {

/// A relative name made absolute against the base directory; "./" at its
/// front is dropped.
std::string Absolute(const std::string &name, const std::string &directory) {
  if (name.empty() || IsRootedPath(name.c_str()) || directory.empty())
    return name;
  std::string rest = SkipCurrentDirPrefix(name.c_str());
  if (rest == ".")
    rest.clear();
  return directory + rest;
}

/// The error code's text; a code without a useful name also gets the
/// system's own words for the error number.
std::string FileErrorWords(const TTFileException &e) {
  std::string words = FileErrorText(e.code);
  if (e.code == TTFileError::generic && e.systemError != 0) {
    words += " (";
    words += FileSystemErrorWords(e.systemError);
    words += ")";
  }
  return words;
}

/// Describes one exception that is not a RunFailure. `where` is the file the
/// run had in hand (absolute), or empty; `directory` makes relative names
/// absolute.
std::string DescribeOne(std::exception_ptr error, const std::string &where,
                        const std::string &directory) {
  std::string words;
  std::string file = where;
  try {
    std::rethrow_exception(error);
  } catch (const UserAbort &) {
    return std::string();
  } catch (const TTFileWithNameException &e) {
    words = FileErrorWords(e);
    file = Absolute(e.fileName.CStr(), directory);
  } catch (const TTFileException &e) {
    words = FileErrorWords(e);
  } catch (const TTExceptionMessage &e) {
    words = e.Message();
  } catch (const cfb::InUseError &e) {
    words = "in use by another program";
    file = Absolute(e.GetPath(), directory);
  } catch (const cfb::IoError &e) {
    words = std::strerror(e.GetErrorNumber());
    file = Absolute(e.GetPath(), directory);
  } catch (const std::bad_alloc &) {
    words = "out of memory";
  } catch (const std::exception &e) {
    words = e.what();
  } catch (const char *text) {
    words = text != nullptr ? text : "unknown error";
  } catch (std::int32_t code) {
    words = "internal error " + std::to_string(code);
  } catch (...) {
    words = "unknown error";
  }
  if (file.empty())
    return words;
  return words + ": " + file;
}

} // namespace

std::string DescribeException(std::exception_ptr error) {
  if (!error)
    return std::string();
  try {
    std::rethrow_exception(error);
  } catch (const RunFailure &failure) {
    std::string where = failure.document.empty() ? failure.directory
                                                 : Absolute(failure.document, failure.directory);
    if (const auto *nested = dynamic_cast<const std::nested_exception *>(&failure)) {
      if (nested->nested_ptr())
        return DescribeOne(nested->nested_ptr(), where, failure.directory);
    }
    return std::string("unknown error: ") + where;
  } catch (...) {
    return DescribeOne(std::current_exception(), std::string(), std::string());
  }
}

std::string DescribeCurrentException() { return DescribeException(std::current_exception()); }
