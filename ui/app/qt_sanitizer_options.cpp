// Linked into every executable that runs Qt under a sanitizer (the program, its build tools, the
// window and drawing tests). Qt is not built with the sanitizers.
#if defined(__SANITIZE_THREAD__)
// Qt's own threads (the image thread pool, the test watchdog) synchronise through locks the
// sanitizer cannot see: accesses made by Qt itself are left out, every access made by our code is
// still checked.
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1";
}
#elif defined(__SANITIZE_ADDRESS__)
// Freed memory is overwritten: Qt's reads are not checked, so an object of ours handed to Qt after
// it was freed must fail at once instead of being read intact from the quarantine.
extern "C" const char* __asan_default_options() {
    return "max_free_fill_size=4096";
}
#endif
