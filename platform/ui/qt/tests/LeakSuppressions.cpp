// Read by the leak checker of sanitizer builds; unused otherwise.
extern "C" const char* __lsan_default_suppressions() {
  // Fontconfig keeps pattern caches that it never frees; Qt fills them on every font lookup.
  return "leak:libfontconfig.so\n";
}
