// Linked into every program of a sanitizer build: a library stays loaded to
// the end once opened. The OpenGL driver is otherwise unloaded at exit, and
// LeakSanitizer then no longer sees the memory its globals hold, nor can it
// name the library in a report.
extern "C" int dlclose(void*) {
  return 0;
}
