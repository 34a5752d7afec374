; AY-3-8910 (PSG) demo, identifies as machine type 62. Kelvara has no
; driver stub for this type, so the boot code copies a driver of its own to
; the entry points the board calls: 0x9000 with the sound code in A, and
; 0x9020 on every tick.

        image   8192
        checksum 0x444E0741             ; type 62's row in the ROM database

SELECT  equ     0x16                    ; PSG register select; data at 0x17

        include "music.inc"

        org     0x0000                  ; boot: install the driver, voices off, wait
        di
        ld      sp,0xA000
        im      1
        ld      hl,driver
        ld      de,0x9000
        ld      bc,64
        ldir
        call    silence
idle:   jr      idle

        org     0x0100
        include "psg.inc"
        include "engine.inc"
        include "tunes.inc"
        include "pitch-psg.inc"

driver:                                 ; 64 bytes, run at 0x9000 in RAM
        phase   0x9000
        ld      sp,0xA000               ; command entry, code in A
        call    start
park_cmd:
        jr      park_cmd
        ds      0x9020-$, 0
        ld      sp,0xA000               ; tick entry
        call    tick
park_tick:
        jr      park_tick
        ds      0x9040-$, 0
        dephase
