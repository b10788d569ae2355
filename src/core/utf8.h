//===- core/utf8.h - Telling well-formed UTF-8 in file-name bytes ---------===//
///
/// \file
/// File names are bytes, usually but not always UTF-8. The front ends show
/// them as text and must know where a well-formed sequence ends and a stray
/// byte begins; this is the one place that decides it.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <string_view>

/// Length (1 to 4) of the well-formed UTF-8 sequence at the start of
/// `bytes`, or 0 when `bytes` is empty or does not start with one. Overlong
/// forms, surrogates and code points above U+10FFFF are not well-formed
/// (Unicode Table 3-7).
std::size_t Utf8SequenceLength(std::string_view bytes);
