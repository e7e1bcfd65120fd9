#include "harness/call.h"

// cdecl thunk: keeps the caller's x87 control word and MXCSR, places the argument
// words so that esp at the call sits `misalign` bytes below a 16-byte boundary,
// loads the requested control word and MXCSR and marker values in the callee-
// saved registers, calls, records EAX, the state the callee left and what it left
// in those registers and in esp, and restores the caller's state. The thunk's own
// state waits in static storage, since no register survives the call unchecked.
extern "C" {
std::uint32_t kvt_guard_saved_ebp, kvt_guard_saved_esp, kvt_guard_call_esp, kvt_guard_fn, kvt_guard_out;
std::uint32_t kvt_guard_after[6];  // ebx, esi, edi, ebp, esp, eax
void kvt_call_guarded(const void* fn, const std::uint32_t* args, std::uint32_t count, const kvt::CallEnv* env,
                      kvt::CallOutcome* out);
}

asm(R"(
    .text
    .globl _kvt_call_guarded
_kvt_call_guarded:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $8, %esp
    fnstcw (%esp)
    stmxcsr 4(%esp)
    movl %esp, _kvt_guard_saved_esp
    movl %ebp, _kvt_guard_saved_ebp
    movl 24(%ebp), %eax
    movl %eax, _kvt_guard_out
    movl 8(%ebp), %eax
    movl %eax, _kvt_guard_fn
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    movl 20(%ebp), %edi
    leal 0(,%ecx,4), %eax
    movl %esp, %edx
    subl %eax, %edx
    subl $64, %edx
    andl $-16, %edx
    subl 8(%edi), %edx
    movl %edx, %esp
    xorl %eax, %eax
1:  cmpl %ecx, %eax
    je 2f
    movl (%esi,%eax,4), %edx
    movl %edx, (%esp,%eax,4)
    incl %eax
    jmp 1b
2:  movl %esp, _kvt_guard_call_esp
    fldcw 0(%edi)
    ldmxcsr 4(%edi)
    movl $0x5EB1E5B1, %ebx
    movl $0x51E5E5E1, %esi
    movl $0xED1ED1ED, %edi
    movl $0xEB9EB9EB, %ebp
    call *_kvt_guard_fn
    movl %ebx, _kvt_guard_after
    movl %esi, _kvt_guard_after+4
    movl %edi, _kvt_guard_after+8
    movl %ebp, _kvt_guard_after+12
    movl %esp, _kvt_guard_after+16
    movl %eax, _kvt_guard_after+20
    movl _kvt_guard_out, %edi
    movl %eax, 0(%edi)
    fnstcw 4(%edi)
    stmxcsr 8(%edi)
    fnstenv 12(%edi)
    movl _kvt_guard_saved_ebp, %ebp
    movl _kvt_guard_saved_esp, %esp
    fldcw (%esp)
    ldmxcsr 4(%esp)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace kvt {

CallOutcome call_guarded(const void* fn, const std::uint32_t* args, std::uint32_t count, const CallEnv& env,
                         Preserved* preserved) {
  CallOutcome out{};
  kvt_call_guarded(fn, args, count, &env, &out);
  *preserved = {kvt_guard_after[0], kvt_guard_after[1], kvt_guard_after[2], kvt_guard_after[3],
                kvt_guard_after[4] - kvt_guard_call_esp};
  return out;
}

CallOutcome call_raw(const void* fn, const std::uint32_t* args, std::uint32_t count, const CallEnv& env) {
  Preserved ignored;
  return call_guarded(fn, args, count, env, &ignored);
}

}  // namespace kvt
