// Any panel file a line engineer may edit: loading its panels reads the
// control numbers and callback names it carries, and must end with a panel
// or a message naming the file and the fault, never a crash.
#include <QApplication>
#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>
#include <string>

#include "platform/qt_panels.h"

namespace {
// Kept to the end of the process: destroying it after the fuzzer's own exit
// handlers have run would touch what they already released.
QApplication* g_app = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  g_app = new QApplication(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file = "/tmp/ffsload-fuzz-panel-" + std::to_string(getpid()) + ".uir";
  {
    QFile f(QString::fromStdString(file));
    if (!f.open(QIODevice::WriteOnly)) return 0;
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  platform::QtPanels panels;
  for (int number : {1, 2}) {
    const int handle = panels.load_panel(0, file, number);
    if (handle >= 0) panels.discard_panel(handle);
  }
  return 0;
}
