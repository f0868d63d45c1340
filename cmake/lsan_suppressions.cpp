// Linked into every executable of a sanitizer build. GLib (pulled in by
// GStreamer) allocates in its own library constructor while the process loads
// it, for the life of the process. Built without frame pointers, its stacks end
// inside GLib, so the library is named rather than the loader: leaks of
// GStreamer objects go unseen here, and the backend's memory benchmark watches
// for them instead.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libglib-2.0.so\n"; }
