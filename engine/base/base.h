// Base utilities: random numbers, multiply-divide, memory and string routines and
// the engine's own bounded text formatter. Nothing here allocates or reports errors.
#ifndef PRISMATEL_BASE_H
#define PRISMATEL_BASE_H

#include <stdarg.h>
#include <stdint.h>

#ifdef _WIN32
// kernel32 has a MulDiv of its own that rounds; the engine's truncates. The system's
// declaration comes first, then the engine's takes a name of its own at link level.
#include <windows.h>
#define MulDiv BaseMulDiv
#endif

double Sin(double angle);
double FAbs(double x);
int MulDiv(int a, int b, int c);

// Next value 0..65535 of the process-wide generator; never reseeded.
int Random();

void MemCopy(void* dst, const void* src, int n);
void MemFill(void* dst, int byte, int n);

int StrLen(const char* s);
void StrCopyN(char* dst, const char* src, int n);
int StrCmpNoCase(const char* a, const char* b);

// Formats into out, writing at most size bytes including the NUL; returns the NUL.
char* Format(char* out, int size, const char* format, ...);
char* FormatV(char* out, int size, const char* format, va_list args);

#endif
