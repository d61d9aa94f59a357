#pragma once

// Off-screen surfaces alive, for finding who holds GDI objects over a long
// run. Only when QUARN_SURFACE_LEDGER names a file: every few seconds the
// live surfaces are written there, counted by the call stack that made them.
namespace skinkit::ledger {

void Made(const void* holder, int width, int height);
void Gone(const void* holder);

}  // namespace skinkit::ledger
