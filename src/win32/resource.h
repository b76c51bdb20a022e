// Resource identifiers shared by nimbrel.rc and the code.
#pragma once

#define IDI_NIMBREL 1
#define IDR_TOOLBAR_STRIP 101
