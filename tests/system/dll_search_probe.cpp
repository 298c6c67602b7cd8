// The control of the planted-library test: a program without the monitor's safe library search, which
// loads each library named on its command line by name alone, as system code loads its helpers. Placed
// beside planted libraries, it shows that they would be picked up.
#include <windows.h>

int main(int argc, char** argv) {
  int loaded = 0;
  for (int i = 1; i < argc; ++i) {
    if (HMODULE library = LoadLibraryA(argv[i])) {
      ++loaded;
      FreeLibrary(library);
    }
  }
  return loaded;
}
