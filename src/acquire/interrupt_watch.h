#pragma once

// Ctrl+C for the capture command. The first SIGINT is only counted: the run
// sees it (interruptCount) and stops the capture as the Stop button does, reads
// back what was recorded and writes it. A second one ends the process at once
// with status 130, except while a file is being written: then the write is
// cancelled (no file is left, not even a temporary one) and the run ends
// right after it.
namespace interrupt_watch {

void install();
int interruptCount();

// Brackets the writing of a file. When writeCancelled() holds afterwards, the
// caller removes what it wrote and ends with kStatus.
void setWriting(bool writing);
bool writeCancelled();

// The exit status after a Ctrl+C.
constexpr int kStatus = 130;

} // namespace interrupt_watch
