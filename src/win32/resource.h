// Resource identifiers shared by nimbrel.rc and the code.
#pragma once

#define IDI_NIMBREL 1
// Picture strips: 100 plus the picture size in pixels.
#define IDR_STRIP_16 116
#define IDR_STRIP_20 120
#define IDR_STRIP_24 124
#define IDR_STRIP_32 132
#define IDR_STRIP_48 148
