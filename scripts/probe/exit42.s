# A static 32-bit Linux program that ends with status 42: whether the
# kernel executes 32-bit x86 code at all.
.globl _start
_start:
  movl $1, %eax
  movl $42, %ebx
  int $0x80
