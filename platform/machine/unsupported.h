// What the stand-in leaves out says so: a method it does not implement writes one line to
// standard error the first time it is called, naming itself, as Wine's FIXME lines do, and
// returns its failure. Here with the machine because every library may use it.
#ifndef PRISMATEL_MACHINE_UNSUPPORTED_H
#define PRISMATEL_MACHINE_UNSUPPORTED_H

#include <windows.h>

namespace machine {

// "fixme: <method> is not implemented", once per method; returns `result`.
HRESULT Unsupported(const char* method, HRESULT result);

} // namespace machine

#endif
