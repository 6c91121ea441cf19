/* Runs a program with transparent huge pages turned off for it (and its children):
 *   no_thp PROGRAM [ARG...]
 * The Linux host's working area then lies on 4 KiB pages, as the Windows build's does, so that the
 * two builds can be compared on the same footing. */
#include <stdio.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc < 2) {
    fputs("usage: no_thp PROGRAM [ARG...]\n", stderr);
    return 2;
  }
  if (prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0) {
    perror("no_thp: prctl(PR_SET_THP_DISABLE)");
    return 2;
  }
  execvp(argv[1], argv + 1);
  perror("no_thp: exec");
  return 127;
}
