//===- fs/wildcard.h - Matching names against wildcard masks --------------===//
///
/// \file
/// A mask matches a whole name. In a mask "?" stands for zero or one byte and
/// "*" for zero or more bytes; every other byte stands for itself, with the
/// ASCII letters compared without regard to case (no locale, bytes from 0x80
/// up compare exactly). The dot is an ordinary byte: "*.*" needs a dot.
///
/// A literal name mask (LiteralNameMask) matches one name exactly, its "?"
/// and "*" included, letters in any case: a file the user picked is a name,
/// never a pattern. It is held as the name behind a slash, which no name and
/// no component of a typed mask path can begin with.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"

/// True when `name` matches `mask`. Time is bounded by the product of the two
/// lengths whatever the mask, so names from any directory are safe to test.
bool MatchWildcard(const TTString &mask, const TTString &name);

/// The mask that matches exactly `name` (letters in any case).
TTString LiteralNameMask(const TTString &name);

/// True when `mask` was made by LiteralNameMask.
bool IsLiteralNameMask(const TTString &mask);

/// True when `text` holds a "?" or a "*", or is a literal name mask: both
/// are matched against a directory's listing, never looked up by name.
bool HasWildcards(const TTString &text);

/// True when some mask of `masks` matches `name` (tried in list order).
bool AnyMaskMatches(const TTStringList &masks, const TTString &name);

/// True when some text of `texts` holds a wildcard.
bool AnyHasWildcards(const TTStringList &texts);
