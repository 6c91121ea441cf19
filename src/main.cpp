// The quarn-host executable: everything lives in the host library.
#include "host/run_host.h"

int main() {
  quarn::host::run_host();
  return 0;
}
