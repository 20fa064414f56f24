; blink_hello.a51 - sample firmware for the TARN-C51 downloader.
;
; An AT89S52 (or any 8051) at 11.0592 MHz: sends a greeting over the
; serial port at 9600 baud, then toggles the LED on P1.0, and again.
; Assemble with any 8051 assembler, for example: as31 -Fhex blink_hello.a51
; (blink_hello.hex beside this file is its output, with CR LF line ends).

        .org    0000h
        ljmp    main

        .org    0030h
main:   mov     sp, #60h
        mov     tmod, #20h          ; timer 1, mode 2: baud-rate generator
        mov     th1, #0fdh          ; 9600 baud at 11.0592 MHz
        mov     tl1, #0fdh
        mov     scon, #50h          ; UART mode 1, receiver on
        setb    tr1

loop:   mov     dptr, #message
send:   clr     a
        movc    a, @a+dptr
        jz      blink               ; the text ends with a zero byte
        mov     sbuf, a
wait:   jnb     ti, wait
        clr     ti
        inc     dptr
        sjmp    send

blink:  cpl     p1.0
        acall   delay
        sjmp    loop

delay:  mov     r7, #0fah           ; about 0.14 s
d1:     mov     r6, #0fah
d2:     djnz    r6, d2
        djnz    r7, d1
        ret

message:
        .db     "TARN-C51 demo: hello, 8051!", 0dh, 0ah, 0
        .end
