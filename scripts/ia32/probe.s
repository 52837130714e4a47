# A static i386 Linux program that tells who runs it: exit code 0 when the
# kernel runs 32-bit programs itself (uname answers x86_64 to a 32-bit process
# on a 64-bit kernel), 1 when an emulator such as qemu-user does (it answers
# i386..i686). A kernel without 32-bit support refuses to start it at all.
        .globl _start
        .text
_start:
        movl $122, %eax          # uname(&buf)
        movl $buf, %ebx
        int $0x80
        movl $1, %ebx
        cmpb $'x', buf+260       # utsname.machine: the fifth field of 65 bytes
        jne 1f
        xorl %ebx, %ebx
1:      movl $1, %eax            # exit(ebx)
        int $0x80
        .bss
buf:    .space 390
