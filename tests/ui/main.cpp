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
// Qt code built without TSan instrumentation, so memory that Qt allocates on one thread and
// frees on another looks like a race. The interceptors called from inside Qt are ignored;
// accesses made by our own code are still checked, whatever calls them.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\ncalled_from_lib:libQt6Gui.so.6\n";
}
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
