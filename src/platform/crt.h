// C-runtime file streams and allocations. Drive paths such as
// "c:\temp\..." are the library's own to name; the platform decides where
// they lead.
#pragma once

#include <cstddef>

namespace platform {

struct CrtFile;

CrtFile* crtOpen(const char* path, const char* mode);
size_t crtRead(void* buffer, size_t elementSize, size_t count, CrtFile* file);
char* crtReadLine(char* buffer, int size, CrtFile* file);  // fgets
int crtWrite(const char* text, CrtFile* file);              // fputs
int crtFlush(CrtFile* file);
int crtClose(CrtFile* file);

// C-runtime allocations (the texts a device entry holds).
void* crtAllocZero(size_t bytes);
char* crtDuplicate(const char* text);
void crtFree(void* block);

}  // namespace platform
