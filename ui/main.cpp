#include <QApplication>

#include "ui/startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return kovant::ui::RunProgram(app);
}
