// main() of every widget test executable: one QApplication, offscreen unless the
// caller asks for a real display (KELVARO_TEST_DISPLAY=1, used under xvfb-run).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  if (std::getenv("KELVARO_TEST_DISPLAY") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kelvaro");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
