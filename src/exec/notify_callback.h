// The callback that ibnotify installs.
#pragma once

// Runs on the driver's thread: prints the event and the prompt again, returns 0.
int NotifyCallbackRoutine(int ud, int ibsta, int iberr, int ibcntl, void* refData);
