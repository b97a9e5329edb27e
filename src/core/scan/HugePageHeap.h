#pragma once
// A scan builds hundreds of thousands of small records. With the heap in
// 4 KiB pages, the page faults of first touching that memory cost more than
// all of the decoding (measured: 27,000 faults, about 40 % of a 1 GiB scan).
// The C library can back its heap with transparent huge pages, but only when
// told so in the environment at process start; this makes sure it is.

namespace er {

// On Linux with the GNU C library: when the environment does not yet ask for
// a huge-page heap, adds that request and restarts the program in place with
// the same arguments. Returns only when no restart happened (already set,
// another platform, or the restart failed); the program then simply runs
// with the ordinary heap. Call first thing in main, before any thread.
void restartWithHugePageHeap(char** argv);

} // namespace er
