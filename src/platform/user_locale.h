// The language of the user's messages.
#pragma once

// True when the first non-empty of LC_ALL, LC_MESSAGES and LANG begins with
// "ja", the way the C library chooses the language of messages.
bool UserLanguageIsJapanese();
