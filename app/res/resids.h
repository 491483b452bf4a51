// Resource identifiers of pelvarn.exe, shared by the resource script and the window code.
#pragma once

#define IDI_PELVARN 1   // the program's icon (first icon: the one the shell shows)
#define IDB_PICTURE 101 // the 32x32 picture of Image1
#define IDB_GLYPHS 102  // button glyphs, 16x16 each: START, PAUSE, RESUME, COPY LOG, HELP,
                        // each as a normal image followed by its disabled image
