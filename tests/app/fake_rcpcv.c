/* A stand-in for the outside RCP converter, for tests only: whatever the
   source bytes, the result is a format 0 file with one tempo event and one
   note, and the source's byte count stored as the note's key (mod 128). */
#include <stdlib.h>
#include <string.h>

typedef struct {
  unsigned char bytes[64];
  int length;
} Result;

void* rcpcvConvertFileFromBuffer(const void* src, int count, int a, int b, int c, int d, int e) {
  (void)src; (void)a; (void)b; (void)c; (void)d; (void)e;
  static const unsigned char smf[] = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
      'M', 'T', 'r', 'k', 0, 0, 0, 20,
      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
      0x00, 0x90, 0x3C, 0x64,
      0x83, 0x60, 0x80, 0x3C, 0x40,
      0x00, 0xFF, 0x2F, 0x00};
  Result* r = (Result*)malloc(sizeof(Result));
  if (!r) return 0;
  memcpy(r->bytes, smf, sizeof smf);
  r->bytes[31] = (unsigned char)(count & 0x7F);
  r->bytes[36] = (unsigned char)(count & 0x7F);
  r->length = (int)sizeof smf;
  return r;
}
int rcpcvConvertFile(const char* a, const char* b) { (void)a; (void)b; return 0; }
void rcpcvDeleteObject(void* h) { free(h); }
int rcpcvGetSMFLength(void* h) { return ((Result*)h)->length; }
const void* rcpcvGetSMF(void* h) { return ((Result*)h)->bytes; }
int rcpcvSaveSMF(void* h, const char* f) { (void)h; (void)f; return 0; }
