/* The floor for a whole-process command: start, read the 4 length bytes, exit. */
#include <stdio.h>

int main(void) {
  char length[4];
  return fread(length, 1, sizeof length, stdin) != sizeof length;
}
