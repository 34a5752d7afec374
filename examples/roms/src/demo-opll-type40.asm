; YM2413 (OPLL) demo, identifies as machine type 40. The board's built-in
; type-40 driver stub calls RST 28h with the sound code in A, and 0x0B3B on
; every tick.

        image   8192
        checksum 0x4300BFD3             ; type 40's row in the ROM database

SELECT  equ     0x60                    ; OPLL register select; data at 0x61

        include "music.inc"

        org     0x0000                  ; boot: voices off, then wait
        di
        ld      sp,0xA000
        im      1
        call    silence
idle:   jr      idle

        org     0x0028                  ; command entry
        jp      start

        org     0x0100
        include "opll.inc"
        include "engine.inc"
        include "tunes.inc"
        include "pitch-opll.inc"

        org     0x0B3B                  ; tick entry
        jp      tick
