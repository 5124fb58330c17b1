// The one message loop of every user-interface thread of both programs.
#pragma once

#include <windows.h>

// Offered each message before it is translated and dispatched; true when it handled the
// message (an accelerator took it), which then goes no further.
using MessageFilter = bool (*)(MSG* message);

// Pumps this thread's messages until WM_QUIT and returns its exit code; 0 when GetMessageW
// fails. `filter` may be null.
int pump_thread_messages(MessageFilter filter) noexcept;
