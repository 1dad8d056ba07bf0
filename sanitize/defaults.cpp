// The sanitizers' default options, built into every program of a sanitized
// build. The runtimes ask for them before main runs; options given in
// ASAN_OPTIONS, LSAN_OPTIONS or UBSAN_OPTIONS still take precedence.

extern "C" {

// Leaks that are Qt's own are suppressed by name; see lsan.supp for each.
const char *__lsan_default_options()
{
    return "suppressions=" VANTREL_LSAN_SUPPRESSIONS ":print_suppressions=0";
}

// A report of undefined behaviour shows the stack that led to it.
const char *__ubsan_default_options()
{
    return "print_stacktrace=1";
}

} // extern "C"
