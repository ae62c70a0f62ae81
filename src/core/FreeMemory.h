#pragma once

// Gives memory the process no longer uses back to the system, so a large
// passing need (a password check takes 64 MiB) is not counted on top of
// pages that only hold freed blocks.
namespace FreeMemory {

// Returns the free pages of every malloc arena (glibc keeps them otherwise,
// wherever a block still in use sits above them). False where the C library
// offers no way to do it.
bool giveBackFreedHeap();

// Keeps freed blocks of up to a few megabytes on the heap for the next
// ones, where glibc would map fresh pages for each large block and unmap
// them when freed, and give back a freed heap top of more than 128 KiB at
// once: a read of thousands of rows then spent more time taking page faults
// than reading (a list of 4,000 tenants 31 -> 10 ms). What stays held this
// way goes back at the points that call giveBackFreedHeap. Called once at
// start; false where the C library offers no such setting.
bool reuseFreedHeap();

} // namespace FreeMemory
