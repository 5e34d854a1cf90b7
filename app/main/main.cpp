// Placeholder entry point; the program grows with its layers.
#include <cstdio>

int main() {
  std::puts("Dirivararez");
  return 0;
}
