#!/bin/sh
# Makes the tree of the Win32 search tests that needs Linux symbolic links:
# Wine shows "link" (a link to a folder) as a directory with
# FILE_ATTRIBUTE_REPARSE_POINT and "file-link.doc" (a link to a file) as a
# plain file.
#   make_links.sh <folder>
set -eu
folder=$1
rm -rf "$folder"
mkdir -p "$folder/real/inner"
printf 'top' >"$folder/top.doc"
printf 'inner' >"$folder/real/inner/x.doc"
ln -s real "$folder/link"
ln -s real/inner/x.doc "$folder/file-link.doc"
