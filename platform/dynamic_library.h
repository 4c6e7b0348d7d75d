// Shared libraries loaded while the program runs (user libraries). The program sees a library as
// a small positive integer handle, never as an address: the command language keeps handles in
// 32-bit integers. A handle of 0 means failure.
#pragma once

#include <string>

namespace platform {

// Loads a library by path or by bare name ('\' accepted). A bare name (no '/') is looked for in
// the program's folder first, then through the system's library search. Returns the handle, or 0
// (library_error_text() says why).
int library_open(const std::string& name);

// The address of an exported symbol, or nullptr when the handle is unknown or the library does
// not export the name.
void* library_symbol(int handle, const std::string& symbol);

// Unloads a library and releases its handle; 0, or kNotFound for an unknown handle, or kFailed.
int library_close(int handle);

// The text of the last failure of the three functions above (empty after a success).
std::string library_error_text();

}  // namespace platform
