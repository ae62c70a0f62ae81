#pragma once

// Gives memory the process no longer uses back to the system, so a large
// passing need (a password check takes 64 MiB) is not counted on top of
// pages that only hold freed blocks.
namespace FreeMemory {

// Returns the free pages of every malloc arena (glibc keeps them otherwise,
// wherever a block still in use sits above them). False where the C library
// offers no way to do it.
bool giveBackFreedHeap();

} // namespace FreeMemory
