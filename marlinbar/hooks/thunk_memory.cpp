#include "hooks/thunk_memory.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace marlinbar {
namespace {

// One private heap whose memory may be executed. Created on first use and
// kept for the life of the module: blocks may be freed from inside a window
// procedure, long after the object that made them has gone.
HANDLE g_heap = nullptr;
volatile LONG g_live = 0;

HANDLE ThunkHeap() {
  if (!g_heap) {
    HANDLE heap = HeapCreate(HEAP_CREATE_ENABLE_EXECUTE, 0, 0);
    if (InterlockedCompareExchangePointer(&g_heap, heap, nullptr) != nullptr && heap) {
      HeapDestroy(heap);
    }
  }
  return g_heap;
}

void Put(unsigned char*& at, std::initializer_list<unsigned char> bytes) {
  for (unsigned char b : bytes) *at++ = b;
}

template <class T>
void PutValue(unsigned char*& at, T value) {
  std::memcpy(at, &value, sizeof value);
  at += sizeof value;
}

}  // namespace

void* AllocateThunkBlock(std::size_t size) {
  HANDLE heap = ThunkHeap();
  if (!heap) return nullptr;
  void* block = HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
  if (block) InterlockedIncrement(&g_live);
  return block;
}

void FreeThunkBlock(void* block) {
  if (!block) return;
  HeapFree(g_heap, 0, block);
  InterlockedDecrement(&g_live);
}

long LiveThunkBlocks() { return g_live; }

void ReleaseThunkHeap() {
  if (g_live != 0 || !g_heap) return;
  HeapDestroy(g_heap);
  g_heap = nullptr;
}

#if defined(__x86_64__)

void WriteWindowProcStub(unsigned char* code, void* data, const void* target) {
  unsigned char* at = code;
  Put(at, {0x48, 0xB9});  // mov rcx, data      (first argument)
  PutValue(at, reinterpret_cast<std::uint64_t>(data));
  Put(at, {0x48, 0xB8});  // mov rax, target
  PutValue(at, reinterpret_cast<std::uint64_t>(target));
  Put(at, {0xFF, 0xE0});  // jmp rax
  FlushInstructionCache(GetCurrentProcess(), code, at - code);
}

void WriteHookProcStub(unsigned char* code, void* data, const void* target) {
  // The caller reserved home space for four register arguments, so a fourth
  // argument needs no stack change: shift rcx, rdx, r8 into rdx, r8, r9.
  unsigned char* at = code;
  Put(at, {0x4D, 0x89, 0xC1});  // mov r9, r8
  Put(at, {0x49, 0x89, 0xD0});  // mov r8, rdx
  Put(at, {0x48, 0x89, 0xCA});  // mov rdx, rcx
  Put(at, {0x48, 0xB9});        // mov rcx, data
  PutValue(at, reinterpret_cast<std::uint64_t>(data));
  Put(at, {0x48, 0xB8});  // mov rax, target
  PutValue(at, reinterpret_cast<std::uint64_t>(target));
  Put(at, {0xFF, 0xE0});  // jmp rax
  FlushInstructionCache(GetCurrentProcess(), code, at - code);
}

#elif defined(__i386__)

void WriteWindowProcStub(unsigned char* code, void* data, const void* target) {
  // stdcall: [esp] return address, [esp+4] the window handle.
  unsigned char* at = code;
  Put(at, {0xC7, 0x44, 0x24, 0x04});  // mov dword ptr [esp+4], data
  PutValue(at, reinterpret_cast<std::uint32_t>(data));
  Put(at, {0xB8});  // mov eax, target
  PutValue(at, reinterpret_cast<std::uint32_t>(target));
  Put(at, {0xFF, 0xE0});  // jmp eax
  FlushInstructionCache(GetCurrentProcess(), code, at - code);
}

void WriteHookProcStub(unsigned char* code, void* data, const void* target) {
  // stdcall: the caller pushed three arguments and pops none. Inserting a
  // fourth below the return address lets the four-argument target's
  // "ret 16" remove exactly the caller's three plus this one.
  unsigned char* at = code;
  Put(at, {0x58});  // pop eax              (return address)
  Put(at, {0x68});  // push data
  PutValue(at, reinterpret_cast<std::uint32_t>(data));
  Put(at, {0x50});  // push eax
  Put(at, {0xB8});  // mov eax, target
  PutValue(at, reinterpret_cast<std::uint32_t>(target));
  Put(at, {0xFF, 0xE0});  // jmp eax
  FlushInstructionCache(GetCurrentProcess(), code, at - code);
}

#else
#error "entry stubs are written for x86-64 and i686 only"
#endif

}  // namespace marlinbar
