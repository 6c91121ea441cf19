/* An OpenSSL provider module that does nothing but leave a mark: a line in the file that
   QUARN_TEST_MARKER names, when the module is loaded and when OpenSSL initialises it. The host must
   never load it, whatever configuration file OPENSSL_CONF names. */
#include <stdio.h>
#include <stdlib.h>

static void leave_mark(const char* what) {
  const char* path = getenv("QUARN_TEST_MARKER");
  if (path == NULL) return;
  FILE* file = fopen(path, "a");
  if (file == NULL) return;
  fputs(what, file);
  fclose(file);
}

__attribute__((constructor)) static void on_load(void) { leave_mark("loaded\n"); }

int OSSL_provider_init(const void* handle, const void* in, const void** out, void** context) {
  (void)handle;
  (void)in;
  (void)out;
  (void)context;
  leave_mark("initialised\n");
  return 0;
}
