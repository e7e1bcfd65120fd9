#include "harness/call.h"

extern "C" void kvt_call_thunk(const void* fn, const std::uint32_t* args, std::uint32_t count,
                               const kvt::CallEnv* env, kvt::CallOutcome* out);

// cdecl thunk: keeps the caller's x87 control word and MXCSR, places the argument
// words so that esp at the call sits `misalign` bytes below a 16-byte boundary,
// loads the requested control word and MXCSR, calls, records EAX and the state
// the callee left, and restores the caller's state.
asm(R"(
    .text
    .globl _kvt_call_thunk
_kvt_call_thunk:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $8, %esp
    fnstcw (%esp)
    stmxcsr 4(%esp)
    movl %esp, %ebx
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
2:  movl 8(%ebp), %eax
    fldcw 0(%edi)
    ldmxcsr 4(%edi)
    call *%eax
    movl 24(%ebp), %edi
    movl %eax, 0(%edi)
    fnstcw 4(%edi)
    stmxcsr 8(%edi)
    fnstenv 12(%edi)
    fldcw (%ebx)
    ldmxcsr 4(%ebx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace kvt {

CallOutcome call_raw(const void* fn, const std::uint32_t* args, std::uint32_t count, const CallEnv& env) {
  CallOutcome out{};
  kvt_call_thunk(fn, args, count, &env, &out);
  return out;
}

}  // namespace kvt
