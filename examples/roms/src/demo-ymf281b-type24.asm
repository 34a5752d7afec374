; YMF281B demo, identifies as machine type 24. The board's built-in type-24
; driver stub leaves codes below 0x7F in RAM at 0x8081; on every tick it
; calls 0x00B3 (here: take a new code), 0x00E2 twice (nothing to do) and
; 0x0038 (the engine's tick).

        image   8192
        checksum 0x015D3C88             ; type 24's row in the ROM database

SELECT  equ     0x0C                    ; OPLL register select; data at 0x0D
NEW_CODE equ    0x8081

        include "music.inc"

        org     0x0000                  ; boot: voices off, then wait
        di
        ld      sp,0xA000
        im      1
        call    silence
idle:   jr      idle

        org     0x0038
        jp      tick
        org     0x00B3
        jp      poll
        org     0x00E2
        ret

        org     0x0100
poll:   ld      a,(NEW_CODE)
        or      a
        ret     z                       ; no new code
        ld      e,a
        xor     a
        ld      (NEW_CODE),a            ; taken
        ld      a,e
        jp      start

        include "opll.inc"
        include "engine.inc"
        include "tunes.inc"
        include "pitch-opll.inc"
