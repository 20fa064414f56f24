// Executable storage for the per-object entry procedures of the subclass
// filters and hook procedures. Each block holds a few machine instructions
// that load the block's own address as an argument and jump to a shared
// procedure, so every filter has an address of its own that stays valid
// until the block is freed.
#pragma once

#include <cstddef>

namespace marlinbar {

// Blocks are zero-filled and suitably aligned for any object; nullptr when
// no memory is left.
void* AllocateThunkBlock(std::size_t size);
void FreeThunkBlock(void* block);
// Blocks allocated and not yet freed.
long LiveThunkBlocks();
// Gives the executable heap back when no block is left (the module is
// being unloaded).
void ReleaseThunkHeap();

// Writes the entry code of a window procedure at `code`: it replaces the
// first argument (the window handle) by `data` and jumps to `target`, which
// has the signature LRESULT CALLBACK (void* data, UINT, WPARAM, LPARAM).
void WriteWindowProcStub(unsigned char* code, void* data, const void* target);
// Writes the entry code of a hook procedure at `code`: it inserts `data` as
// a new first argument ahead of the hook's three and jumps to `target`,
// which has the signature LRESULT CALLBACK (void* data, int, WPARAM, LPARAM).
void WriteHookProcStub(unsigned char* code, void* data, const void* target);
// Room the stubs need.
constexpr std::size_t kStubSize = 48;

}  // namespace marlinbar
