//===- bench/gsf_copy.cpp - The peer: a whole-tree copy with libgsf --------===//
///
/// \file
/// velkor-gsf-copy SOURCE DESTINATION [--fsync]: opens SOURCE with Debian's
/// libgsf (a general compound-file library), writes a new compound file at
/// DESTINATION with the same tree (every storage and stream, with the class
/// ids of storages) and closes it; with --fsync it then flushes the copy to
/// disk. It does what Velkor's copy does, the way a program built on a
/// general library would, so the benchmarks can set the two side by side.
/// Exits 0 on success, 1 with a message on standard error otherwise.
///
//===----------------------------------------------------------------------===//

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Copies the children of `in` into `out`, depth first.
bool CopyChildren(GsfInfile *in, GsfOutfile *out) {
  const int count = gsf_infile_num_children(in);
  for (int i = 0; i < count; ++i) {
    GsfInput *child = gsf_infile_child_by_index(in, i);
    if (child == nullptr)
      return false;
    const char *name = gsf_infile_name_by_index(in, i);
    const bool storage = GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
    GsfOutput *target = gsf_outfile_new_child(out, name, storage);
    bool ok = target != nullptr;
    if (ok && storage) {
      guint8 classId[16];
      if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child), classId))
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(target), classId);
      ok = CopyChildren(GSF_INFILE(child), GSF_OUTFILE(target));
    } else if (ok) {
      ok = gsf_input_copy(child, target);
    }
    if (target != nullptr) {
      ok = gsf_output_close(target) && ok;
      g_object_unref(target);
    }
    g_object_unref(child);
    if (!ok)
      return false;
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  const bool flush = argc == 4 && std::strcmp(argv[3], "--fsync") == 0;
  if (argc != 3 && !flush) {
    std::fprintf(stderr, "usage: velkor-gsf-copy SOURCE DESTINATION [--fsync]\n");
    return 2;
  }
  gsf_init();
  GError *error = nullptr;
  GsfInput *input = gsf_input_stdio_new(argv[1], &error);
  GsfInfile *in = input != nullptr ? gsf_infile_msole_new(input, &error) : nullptr;
  if (in == nullptr) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error != nullptr ? error->message : "cannot open");
    return 1;
  }
  GsfOutput *sink = gsf_output_stdio_new(argv[2], &error);
  if (sink == nullptr) {
    std::fprintf(stderr, "%s: %s\n", argv[2], error != nullptr ? error->message : "cannot create");
    return 1;
  }
  GsfOutfile *out = gsf_outfile_msole_new(sink);
  guint8 classId[16];
  if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(in), classId))
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out), classId);
  bool ok = CopyChildren(in, out);
  ok = gsf_output_close(GSF_OUTPUT(out)) && ok;
  g_object_unref(out);
  // Closing the compound file closes its sink as well.
  if (!gsf_output_is_closed(sink))
    ok = gsf_output_close(sink) && ok;
  g_object_unref(sink);
  g_object_unref(in);
  g_object_unref(input);
  if (ok && flush) {
    int fd = ::open(argv[2], O_RDONLY | O_CLOEXEC);
    ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
      ::close(fd);
  }
  gsf_shutdown();
  if (!ok) {
    std::fprintf(stderr, "%s: the copy failed\n", argv[2]);
    return 1;
  }
  return 0;
}
