// A tiny shared library for the library loader's tests.
extern "C" int testLibraryAnswer() { return 42; }
