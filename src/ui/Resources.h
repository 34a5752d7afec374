// The built-in artwork compiled into the program (res/kelvara.qrc), under
// the resource prefix ":/art/":
//   background.png 352x160, digit.png 256x22 (16 glyphs of 16x22),
//   levelgauge.png 60x136, autoplay.png 40x26 (off at x 0, on at x 20),
//   btn_record/prev/play/pause/stop/next/load/playlist.png: four 20-pixel
//   high states side by side (normal, pressed or on, disabled, hover),
//   magenta RGB(255,0,255) transparent,
//   kelvara.png (program icon, 64x64),
//   about.png (one bit per pixel: index 0 light tone, index 1 dark tone),
//   rom_present/rom_absent/rom_nostub/sort_up/sort_down.png (16x16, alpha).
// The images are drawn by tools/kelvara-artgen; run it to regenerate them.
#pragma once

#include <QString>

// Registers the resources; call once before the first use (main and the
// test main do). Calling it again does no harm.
void InitKelvaraResources();

// ":/art/" + name, the path of one built-in image.
QString ArtPath(const char* name);
