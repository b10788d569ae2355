//===- ui/display_name.cpp - File-system bytes as readable text -----------===//

#include "ui/display_name.h"

#include "desktop/display_text.h"

QString DisplayName(std::string_view bytes) { return QString::fromStdString(DisplayText(bytes)); }
