// Allocator settings for the tools' pattern of work: many outputs, each allocating and freeing
// the same large encoder buffers.
#pragma once

// Keeps freed memory in the process for the next output instead of handing it back to the
// system and faulting it in again; zlib's encoder state (some hundred KiB an output) is then
// reused. Peak memory is unchanged: it is still the most that is live at once.
void keep_freed_memory();
