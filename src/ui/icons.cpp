//===- ui/icons.cpp - The program's icons ----------------------------------===//

#include "ui/icons.h"

#include <initializer_list>

// The resources live in a static library; their registration must be called
// for by name, or the linker would leave it out.
static void RegisterResources() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(velkor);
    return true;
  }();
  (void)registered;
}

namespace {

QIcon LoadIcon(const char *name, std::initializer_list<int> sizes) {
  RegisterResources();
  QIcon icon;
  for (int size : sizes)
    icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(name)).arg(size),
                 QSize(size, size));
  return icon;
}

} // namespace

QIcon ApplicationIcon() { return LoadIcon("velkor", {16, 32, 48, 64, 128, 256}); }
QIcon DriveIcon() { return LoadIcon("drive", {16, 32, 64}); }
QIcon FolderIcon() { return LoadIcon("folder", {16, 32, 64}); }
QIcon PageIcon() { return LoadIcon("page", {16, 32, 64}); }
