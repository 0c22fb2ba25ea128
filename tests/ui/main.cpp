// Runs the window tests inside one QApplication (offscreen, set by the test environment).
#include <QApplication>

#include <gtest/gtest.h>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CHROMASET_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define CHROMASET_TSAN 1
#endif

#ifdef CHROMASET_TSAN
// Qt converts and scales images on worker threads of its own and hands the work over through
// Qt code built without TSan instrumentation, so each hand-off looks like a race between Qt
// frames. Races in our own code are still reported.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so.6\nrace:libQt6Gui.so.6\n";
}
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
