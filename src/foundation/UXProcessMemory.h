#pragma once
// How the programs hand freed heap memory back to the system.

// Keeps freed memory (up to a few dozen MiB) for reuse instead of returning it at once. A result list
// of tens of thousands of rows is freed and built again each time a screen refreshes it; handing
// its pages back each time makes every refresh fault them in anew. Call once at program start.
void KeepFreedMemory();
