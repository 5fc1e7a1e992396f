#pragma once

// Points HOME and the XDG folders at a fresh temporary folder of this process
// and forgets SIGROKDECODE_DIR, before anything reads them: neither the user's
// settings nor a decoder of their own (one that hangs, say) reaches the tests
// or the benchmarks, and programs they start inherit the same folders. The
// folder is removed when the process ends.
void UsePrivateUserFolders();
