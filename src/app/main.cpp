//===- app/main.cpp - The Velkor desktop program ---------------------------===//

#include "ui/application.h"

int main(int argc, char **argv) {
  Application application(argc, argv);
  return application.Run();
}
