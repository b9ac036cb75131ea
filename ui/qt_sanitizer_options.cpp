// Linked into every executable that runs Qt under the thread sanitizer (the program, its build
// tools, the window tests). Qt is not built with the sanitizer, and its own threads (the image
// thread pool, the test watchdog) synchronise through locks the sanitizer cannot see: accesses made
// by Qt itself are left out, every access made by our code is still checked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1";
}
#endif
